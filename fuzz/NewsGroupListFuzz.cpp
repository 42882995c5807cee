// Loads arbitrary bytes as a group list (a LIST reply or a group-list file), saves what was
// read and loads that again: the second load must give the same groups.
#include "net/TmsNewsGroupList.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    vexil::TMemoryStream in(std::string(reinterpret_cast<const char *>(data), size));
    vexil::TmsNewsGroupList list;
    list.LoadFromStream(in);
    vexil::TMemoryStream saved;
    list.SaveToStream(saved);
    vexil::TmsNewsGroupList again;
    again.LoadFromStream(saved);
    if (again.Count() != list.Count())
        std::abort();
    for (int i = 0; i < list.Count(); ++i) {
        const vexil::TmsNewsgroup &a = list.Items(i);
        const vexil::TmsNewsgroup &b = again.Items(i);
        if (a.Name != b.Name || a.Last != b.Last || a.First != b.First)
            std::abort();
    }
    return 0;
}
