#include "message/TmsCustomMessage.h"

#include "base/AsciiCase.h"
#include "base/MessageTable.h"
#include "message/AttachmentFile.h"
#include "message/HeaderText.h"
#include "message/MessageErrors.h"
#include "platform/Exception.h"
#include "platform/ShortText.h"

#include <cstdio>
#include <string>

#include <unistd.h>

namespace vexil {

namespace {

bool StartsWithNoCaseAll(const TmsAttList &list, std::string_view prefix) {
    if (list.Count() == 0)
        return false;
    for (int i = 0; i < list.Count(); ++i)
        if (!StartsWithNoCase(FileNamePart(list.Items(i).FileName()), prefix))
            return false;
    return true;
}

bool IsPlainFileName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find('\0') == std::string_view::npos;
}

} // namespace

void TmsCustomMessage::SetSubject(std::string_view subject) {
    subject_ = ShortText(subject);
}

void TmsCustomMessage::SetAttachments(TmsAttList attachments) {
    attachments_ = std::move(attachments);
    contentType_ = attachments_.Count() == 0 ? "text/plain" : "multipart/mixed";
}

std::string TmsCustomMessage::ContentType() {
    SetContentType(ComputedContentType());
    return contentType_;
}

std::string TmsCustomMessage::ComputedContentType() const {
    std::string type;
    const int count = attachments_.Count();
    if (encoding_ == meUU) {
        type.clear();
    } else if (StartsWithNoCaseAll(attachments_, "_alt.")) {
        type = "multipart/alternative";
    } else if (count == 1 && body_.empty() &&
               EqualsNoCase(FileNamePart(attachments_.Items(0).FileName()), "_rtfbody.rtf")) {
        type = "text/rtf";
    } else if (count == 1 && body_.empty() &&
               EqualsNoCase(FileNamePart(attachments_.Items(0).FileName()), "_htmbody.htm")) {
        type = "text/html";
    } else if (body_.empty()) {
        type = count == 1 ? attachments_.Items(0).ContentType()
                          : (count > 1 ? "multipart/mixed" : "text/plain");
    } else if (count > 0) {
        type = "multipart/mixed";
    } else {
        type = contentType_.empty() ? "text/plain" : contentType_;
    }
    return type;
}

void TmsCustomMessage::SetContentType(std::string_view contentType) {
    contentType_ = LowerAscii(ShortText(contentType));
}

void TmsCustomMessage::Validate() {
    if (sender_.Address().empty())
        throw EMessageError(kMsgSenderRequired);
}

void TmsCustomMessage::Clear() {
    body_.clear();
    attachments_.Clear();
    sender_.Clear();
    headers_.Clear();
    subject_.clear();
    encoding_ = meMIME;
    charSet_ = csUSASCII;
    contentType_.clear();
    AttachmentsLeftOut = 0;
}

void TmsCustomMessage::Assign(const TObject &source) {
    const auto *other = dynamic_cast<const TmsCustomMessage *>(&source);
    if (other == nullptr)
        throw Exception("Cannot assign this object to a message");
    if (other == this)
        return;
    sender_.Assign(other->sender_);
    subject_ = other->subject_;
    encoding_ = other->encoding_;
    charSet_ = other->charSet_;
    headers_.Assign(other->headers_.Lines());
    body_ = other->body_;
    attachments_.Assign(other->attachments_);
    SetContentType(other->ComputedContentType());
    Tag = other->Tag;
}

void TmsCustomMessage::Loaded() {
    for (int i = 0; i < attachments_.Count(); ++i) {
        TmsAttItem &item = attachments_.Items(i);
        item.Data.LoadFromFile(item.FileName());
    }
}

void TmsCustomMessage::SaveAttachment(int index, std::string_view folder) const {
    const TmsAttItem &item = attachments_.Items(index);
    const std::string base = AddBackslash(folder);
    const std::string_view name = FileNamePart(item.FileName());
    const std::string path = base + std::string(name);
    if (!IsPlainFileName(name))
        throw EFCreateError(path);
    // Through a temporary file, so that a failed write never leaves a cut file in place of
    // one that was there.
    const std::string temp = WriteTempFile(base, path, item.Data.Bytes());
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        ::unlink(temp.c_str());
        throw EFCreateError(path);
    }
}

} // namespace vexil
