// The version label reads an executable from disk: any bytes may be there. The input is
// taken both as an ELF file holding the section and as the block text itself.
#include "platform/VersionBlock.h"

#include <cstdint>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string bytes(reinterpret_cast<const char *>(data), size);
    const vexil::TByteReader read = [&bytes](std::uint64_t offset, std::size_t count, void *out) {
        if (offset > bytes.size() || count > bytes.size() - offset)
            return false;
        std::memcpy(out, bytes.data() + offset, count);
        return true;
    };
    if (const auto section = vexil::ReadElfSection(read, bytes.size(), vexil::kVersionSectionName))
        vexil::TVersionBlock::Parse(*section);
    if (const auto block = vexil::TVersionBlock::Parse(bytes)) {
        for (const auto &t : block->Translations())
            (void)t;
        (void)block->StringValue("040904E4", "FileVersion");
    }
    return 0;
}
