#pragma once
// A message held in memory: sender, subject, header lines, text body and attachments. The
// news article (TmsArticle) derives from it; decoding and encoding are the descendants' part.

#include "message/TmsAttList.h"
#include "message/TmsHeaders.h"
#include "message/TmsMailAddress.h"
#include "platform/Object.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vexil {

class TStream;

enum TMsgEncoding : std::uint8_t { meMIME = 0, meUU = 1 };
enum TCharSet : std::uint8_t { csUSASCII = 0, csISO8859 = 1 };

class TmsCustomMessage : public TObject {
public:
    explicit TmsCustomMessage(TObject *owner = nullptr) : owner_(owner) {}
    TmsCustomMessage(const TmsCustomMessage &) = delete;
    TmsCustomMessage &operator=(const TmsCustomMessage &) = delete;
    ~TmsCustomMessage() override = default;

    TObject *Owner() const { return owner_; }

    TmsMailAddress &Sender() { return sender_; }
    const TmsMailAddress &Sender() const { return sender_; }
    // Short text: cut at 255 characters.
    const std::string &Subject() const { return subject_; }
    void SetSubject(std::string_view subject);
    TMsgEncoding Encoding() const { return encoding_; }
    void SetEncoding(TMsgEncoding encoding) { encoding_ = encoding; }
    TCharSet CharSet() const { return charSet_; }
    void SetCharSet(TCharSet charSet) { charSet_ = charSet; }
    TmsHeaders &Headers() { return headers_; }
    const TmsHeaders &Headers() const { return headers_; }
    void SetHeaders(const TmsHeaders &headers) { headers_.Assign(headers.Lines()); }
    // The text body, one entry per line, without line ends.
    std::vector<std::string> &Body() { return body_; }
    const std::vector<std::string> &Body() const { return body_; }
    void SetBody(std::vector<std::string> body) { body_ = std::move(body); }
    TmsAttList &Attachments() { return attachments_; }
    const TmsAttList &Attachments() const { return attachments_; }
    // Takes the given items over (pass a copy to keep them), then stores "text/plain" or
    // "multipart/mixed" as the content type.
    void SetAttachments(TmsAttList attachments);

    // The content type as the message's state gives it (attachments, body, encoding); the
    // result is also stored.
    std::string ContentType();
    // Stored lower-cased, cut at 255 characters.
    void SetContentType(std::string_view contentType);

    // The component tag, copied by Assign.
    int Tag = 0;
    // Attachments the decoder left out because the article held more than it keeps
    // (TmsCustomDecoder::MaxAttachments); 0 after Clear.
    int AttachmentsLeftOut = 0;

    // Raises EMessageError 57100 when the sender's address is empty.
    virtual void Validate();
    virtual void SaveToStream(TStream &stream) = 0;
    virtual void LoadFromStream(TStream &stream) = 0;
    // Empties body, attachments, sender, headers and subject; encoding, charset and the
    // stored content type go back to their start values (the content type to empty text).
    virtual void Clear();
    virtual void ProcessHeaders(const TmsHeaders &headerLines) = 0;
    // Copies another message (attachments as copies); any other source raises Exception.
    virtual void Assign(const TObject &source);
    // Loads every attachment's bytes from the file its FileName names; a missing file
    // raises EFOpenError.
    void Loaded();

    // Writes attachment index into folder under the name part of its FileName, replacing a
    // file of that name. The file never lands outside folder: a name part that is empty,
    // "." or "..", or holds a NUL byte, raises EFCreateError with the path, as does a file
    // the system refuses to create; a failed write (a full disk) raises EInOutError and
    // leaves an existing file of that name as it was.
    void SaveAttachment(int index, std::string_view folder) const;

private:
    std::string ComputedContentType() const;

    TObject *owner_;
    TmsMailAddress sender_;
    std::string subject_;
    TMsgEncoding encoding_ = meMIME;
    TCharSet charSet_ = csUSASCII;
    TmsHeaders headers_;
    std::vector<std::string> body_;
    TmsAttList attachments_;
    std::string contentType_ = "text/plain";
};

} // namespace vexil
