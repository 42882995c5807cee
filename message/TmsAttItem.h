#pragma once
// One attached file of a message: its decoded bytes, its name, MIME type and the transfer
// encoding it travels in.

#include "message/YEncFileCheck.h"
#include "platform/Object.h"
#include "platform/TStream.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace vexil {

enum TAttEncoding : std::uint8_t { aeSevenBit = 0, aeBase64 = 1, aeQuotedPrintable = 2 };

// "7 bit", "Base64" or "Quoted-Printable", as the encoder writes them.
std::string_view AttEncodingName(TAttEncoding encoding);

class TmsAttItem : public TObject {
public:
    // The decoded bytes, owned by the item.
    TMemoryStream Data;
    // What the check of a yEnc file found wrong; its bytes are kept all the same.
    YEncProblem Fault = YEncProblem::None;

    const std::string &FileName() const { return fileName_; }
    // Stores the name (cut at 255 characters); a non-empty name also sets ContentType to
    // the type registered for its extension and TransferEncoding by that type.
    void SetFileName(std::string_view fileName);
    const std::string &ContentType() const { return contentType_; }
    void SetContentType(std::string_view contentType);
    TAttEncoding TransferEncoding() const { return transferEncoding_; }
    void SetTransferEncoding(TAttEncoding encoding) { transferEncoding_ = encoding; }

    // Copies the bytes, the fault, the type, the encoding and the name (without the name's
    // side effects).
    void Assign(const TmsAttItem &source);

private:
    std::string fileName_;
    std::string contentType_;
    TAttEncoding transferEncoding_ = aeSevenBit;
};

} // namespace vexil
