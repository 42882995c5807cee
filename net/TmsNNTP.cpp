#include "net/TmsNNTP.h"

#include "message/HeaderText.h"
#include "message/TmsArticle.h"
#include "message/TmsHeaders.h"
#include "net/MessageTable.h"
#include "net/NetErrors.h"
#include "net/ReplyWords.h"
#include "net/TLineStream.h"
#include "platform/PrintableText.h"

#include <cstdint>
#include <cstdio>
#include <strings.h>

namespace vexil {

namespace {

// What an EServerError says when the connection ended before a reply line arrived.
constexpr const char *kNoReply = "The server closed the connection without a reply";

bool SameName(const std::string &a, const std::string &b) {
    return a.size() == b.size() && ::strncasecmp(a.c_str(), b.c_str(), a.size()) == 0;
}

// Fills a header list with the lines of a received block.
void LoadLines(TLineStream &block, TmsHeaders &headers) {
    block.Reset();
    std::string line;
    for (block.ReadLine(line); !block.EndOfData(); block.ReadLine(line))
        headers.Add(line);
}

} // namespace

TmsNNTP::TmsNNTP() {
    SetService("nntp");
    SetDefaultPort(119);
    SetSizeInLines(true);
}

TmsNNTP::~TmsNNTP() {
    try {
        Disconnect();
    } catch (const Exception &e) {
        // A destructor cannot raise; the program's close path calls Disconnect itself first.
        std::fprintf(stderr, "vexil: leaving the news server: %s\n", PrintableMessage(e).c_str());
    }
}

void TmsNNTP::OpenSocket() {
    ClearFlags();
    CheckServer();
    TmsMailBase::OpenSocket();
}

int TmsNNTP::ReadReply() {
    return ReadLine(lastReply_);
}

int TmsNNTP::Command(const std::string &Line) {
    SendLine(Line);
    return ReadReply();
}

void TmsNNTP::RaiseServerError() const {
    throw EServerError(lastReply_.empty() ? kNoReply : lastReply_);
}

void TmsNNTP::RequireArticleReply(int Code) const {
    if (Code < 220 || Code > 223)
        RaiseServerError();
}

void TmsNNTP::RequireGroup() {
    if (newsGroup_.empty())
        RaiseSocketError(kMsgNewsgroupNotSelected);
}

void TmsNNTP::Login() {
    ConnectSocket();
    const int code = ReadReply();
    if (code != 200 && code != 201)
        RaiseServerError();
}

void TmsNNTP::Logout() {
    newsGroup_.clear();
    if (Command("QUIT") != 205)
        RaiseServerError();
    CloseSocket();
}

void TmsNNTP::SetNewsGroup(const std::string &Name) {
    if (SameName(Name, newsGroup_))
        return;
    Connect();
    int code = Command("GROUP " + Name);
    if (code == 480) {
        code = Command("AUTHINFO USER " + UserName);
        if (code == 381)
            code = Command("AUTHINFO PASS " + Password);
        if (code != 211)
            code = Command("GROUP " + Name);
    }
    if (code != 211)
        RaiseServerError();
    articleCount_ = GetWordAsInt(lastReply_, 1);
    firstArticle_ = GetWordAsInt(lastReply_, 2);
    lastArticle_ = GetWordAsInt(lastReply_, 3);
    currentArticle_ = firstArticle_;
    lastRetrieved_ = -1;
    newsGroup_ = Name;
    Fire(OnGroupSelected);
}

void TmsNNTP::SetLastRetrieved(int Number) {
    if (Number != -1)
        RequireGroup();
    lastRetrieved_ = Number;
}

void TmsNNTP::StatArticle(int Number) {
    RequireGroup();
    // Wide enough that no server's figures overflow the window arithmetic.
    const std::int64_t last = lastArticle_;
    const std::int64_t windowStart = last - articleCount_;
    std::int64_t n = Number;
    int code;
    for (;;) {
        code = Command("STAT " + std::to_string(n));
        // Once even the last article is missing there is nothing left to try.
        const bool triedLast = n >= last;
        if (n < windowStart)
            n = windowStart - 1;
        if (n < last)
            ++n;
        if (code != 423 || triedLast)
            break;
    }
    RequireArticleReply(code);
    currentArticle_ = GetWordAsInt(lastReply_, 1);
}

bool TmsNNTP::NextArticle() {
    RequireGroup();
    const int code = Command("NEXT");
    if (code != 223 && code != 421)
        RaiseServerError();
    if (code == 421)
        return false;
    currentArticle_ = GetWordAsInt(lastReply_, 1);
    return true;
}

void TmsNNTP::RetrieveHeader(TmsNgInfoItem &Item) {
    RequireGroup();
    RequireArticleReply(Command("HEAD"));
    Item.Number = GetWordAsInt(lastReply_, 1);
    TLineStream block;
    ReadData(block, -1);
    LoadLines(block, Item);
}

void TmsNNTP::RetrieveHeaders(int Count, bool Append) {
    RequireGroup();
    if (!Append)
        headerList_.Clear();
    if (lastRetrieved_ == -1) {
        StatArticle(firstArticle_);
    } else {
        StatArticle(lastRetrieved_);
        if (!NextArticle()) {
            Fire(OnLastHeaderRetrieved);
            return;
        }
    }
    // At least one header; a Count of 0 or less never matches and walks to the end.
    bool more = true;
    int i = 0;
    do {
        auto item = std::make_unique<TmsNgInfoItem>();
        RetrieveHeader(*item);
        const int index = headerList_.Add(std::move(item));
        if (OnNextHeaderRetrieved)
            OnNextHeaderRetrieved(this, index);
        more = NextArticle();
        ++i;
    } while (more && !Canceled() && i != Count);
    lastRetrieved_ = headerList_.Items(headerList_.Count() - 1).Number;
    if (Canceled())
        throw ECanceledError();
    if (!more)
        Fire(OnLastHeaderRetrieved);
}

void TmsNNTP::RetrieveAllHeaders() {
    RetrieveHeaders(articleCount_, false);
}

void TmsNNTP::RetrieveArticle(int Number) {
    StatArticle(Number);
    FetchCurrentArticle();
}

void TmsNNTP::FetchCurrentArticle() {
    RequireGroup();
    RequireArticleReply(Command("HEAD"));
    TLineStream block;
    ReadData(block, -1);
    TmsHeaders headers;
    LoadLines(block, headers);
    const int lines = StrToIntDef(TrimText(headers.GetHeaderValue("LINES")), -1);
    if (article_ != nullptr)
        article_->Clear();
    block.Clear();

    RequireArticleReply(Command("ARTICLE"));
    ReadData(block, lines);
    block.SetPosition(0);
    if (article_ != nullptr)
        article_->LoadFromStream(block);
    Fire(OnArticleRetrieved);
}

void TmsNNTP::RetrieveNewsGroupList() {
    Connect();
    newsGroupList_.Clear();
    Fire(OnRetrievingNewsGroupList);
    if (Command("LIST") != 215)
        RaiseServerError();
    TMemoryStream block;
    ReadData(block, -1);
    newsGroupList_.LoadFromStream(block);
    Fire(OnNewsGroupListRetrieved);
}

void TmsNNTP::LoadNewsGroupList(const std::string &FileName) {
    newsGroupList_.LoadFromFile(FileName);
}

void TmsNNTP::SaveNewsGroupList(const std::string &FileName) {
    newsGroupList_.SaveToFile(FileName);
}

} // namespace vexil
