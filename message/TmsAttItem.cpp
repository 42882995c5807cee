#include "message/TmsAttItem.h"

#include "base/AsciiCase.h"
#include "message/HeaderText.h"
#include "platform/ShortText.h"

namespace vexil {

std::string_view AttEncodingName(TAttEncoding encoding) {
    switch (encoding) {
    case aeBase64:
        return "Base64";
    case aeQuotedPrintable:
        return "Quoted-Printable";
    case aeSevenBit:
        break;
    }
    return "7 bit";
}

void TmsAttItem::SetFileName(std::string_view fileName) {
    fileName_ = ShortText(fileName);
    if (fileName_.empty())
        return;
    contentType_ = ShortText(ContentTypeOfFile(fileName_));
    const std::string type = UpperAscii(contentType_);
    if (type == "TEXT/PLAIN" || type == "TEXT/RTF" || type == "TEXT/HTML")
        transferEncoding_ = aeQuotedPrintable;
    else if (type == "MESSAGE/RFC822")
        transferEncoding_ = aeSevenBit;
    else
        transferEncoding_ = aeBase64;
}

void TmsAttItem::SetContentType(std::string_view contentType) {
    contentType_ = ShortText(contentType);
}

void TmsAttItem::Assign(const TmsAttItem &source) {
    if (&source == this)
        return;
    Data.Assign(std::string(source.Data.Bytes()));
    Fault = source.Fault;
    contentType_ = source.contentType_;
    transferEncoding_ = source.transferEncoding_;
    fileName_ = source.fileName_;
}

} // namespace vexil
