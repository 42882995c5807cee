#pragma once
// A news article: the message with its newsgroups, Message-ID and Path. The news client
// clears it and loads each retrieved article into it; posting writes it out again.

#include "message/TmsCustomMessage.h"

#include <string>
#include <string_view>

namespace vexil {

class TmsArticle : public TmsCustomMessage {
public:
    using TmsCustomMessage::TmsCustomMessage;

    // The comma-separated groups of the Newsgroups header.
    const std::string &NewsGroups() const { return newsGroups_; }
    void SetNewsGroups(std::string_view groups) { newsGroups_ = groups; }
    // Of the last decoded article.
    const std::string &MessageID() const { return messageID_; }
    const std::string &Path() const { return path_; }

    void Assign(const TObject &source) override;
    // Sender, then Newsgroups, then Subject must be there (EMessageError 57100, 57115,
    // 57116, in that order).
    void Validate() override;
    // Writes the article as header lines and a MIME or uuencoded body, from the stream's
    // start.
    void SaveToStream(TStream &stream) override;
    // Decodes an article as it was posted (header block, empty line, body), read from the
    // stream's start. A structural fault becomes a note in the body and the article itself
    // as the attachment "original.eml".
    void LoadFromStream(TStream &stream) override;
    void Clear() override;
    void ProcessHeaders(const TmsHeaders &headerLines) override;

private:
    std::string newsGroups_;
    std::string messageID_;
    std::string path_;
};

} // namespace vexil
