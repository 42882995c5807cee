#include "message/TmsArticle.h"

#include "base/MessageTable.h"
#include "message/HeaderText.h"
#include "message/MessageErrors.h"
#include "message/TmsArticleDecoder.h"
#include "message/TmsArticleEncoder.h"

namespace vexil {

void TmsArticle::Assign(const TObject &source) {
    TmsCustomMessage::Assign(source);
    if (const auto *article = dynamic_cast<const TmsArticle *>(&source))
        newsGroups_ = article->newsGroups_;
}

void TmsArticle::Validate() {
    TmsCustomMessage::Validate();
    if (newsGroups_.empty())
        throw EMessageError(kMsgNewsgroupHeaderRequired);
    if (Subject().empty())
        throw EMessageError(kMsgSubjectRequired);
}

void TmsArticle::SaveToStream(TStream &stream) {
    TmsArticleEncoder encoder(*this);
    encoder.Stream = &stream;
    encoder.Encode();
}

void TmsArticle::LoadFromStream(TStream &stream) {
    TmsArticleDecoder decoder(stream);
    decoder.Message = this;
    decoder.Decode();
}

void TmsArticle::Clear() {
    newsGroups_.clear();
    TmsCustomMessage::Clear();
}

void TmsArticle::ProcessHeaders(const TmsHeaders &headerLines) {
    ParseAddress(headerLines.GetHeaderValue("FROM"), Sender());
    path_ = headerLines.GetHeaderValue("PATH");
    newsGroups_ = headerLines.GetHeaderValue("NEWSGROUPS");
    messageID_ = headerLines.GetHeaderValue("MESSAGE-ID");
    const std::string subject = headerLines.GetHeaderValue("Subject");
    if (!subject.empty())
        SetSubject(subject);
    SetHeaders(headerLines);
}

} // namespace vexil
