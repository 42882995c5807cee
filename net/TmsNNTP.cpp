#include "net/TmsNNTP.h"

#include "base/AsciiCase.h"
#include "base/MessageTable.h"
#include "base/ReplyWords.h"
#include "base/TLineStream.h"
#include "message/HeaderText.h"
#include "message/TmsArticle.h"
#include "message/TmsHeaders.h"
#include "net/NetErrors.h"
#include "platform/PrintableText.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

namespace vexil {

namespace {

// What an EServerError says when the connection ended before a reply line arrived.
constexpr const char *kNoReply = "The server closed the connection without a reply";
// No server lists more than a few dozen capabilities.
constexpr std::int64_t kMaxCapabilities = 64 * 1024;

// Takes the first article number at or after From out of a LISTGROUP block as it arrives
// and keeps nothing else, however long the list.
class TFirstNumberStream : public TStream {
public:
    explicit TFirstNumberStream(int From) : from_(From) {}

    std::size_t Read(void *, std::size_t) override { return 0; }
    void Write(const void *buffer, std::size_t count) override {
        const std::string_view bytes(static_cast<const char *>(buffer), count);
        size_ += static_cast<std::int64_t>(count);
        for (char c : bytes) {
            if (found_ >= 0)
                return;
            if (c != '\n') {
                // A number line is short; a longer one is no number and is not collected.
                if (line_.size() <= kLongestLine)
                    line_ += c;
                continue;
            }
            const int number = StrToIntDef(TrimText(line_), -1);
            if (number >= from_)
                found_ = number;
            line_.clear();
        }
    }
    std::int64_t Size() const override { return size_; }
    std::int64_t Position() const override { return size_; }
    void SetPosition(std::int64_t) override {}

    // -1 when the block held no such number.
    int Found() const { return found_; }

private:
    static constexpr std::size_t kLongestLine = 32;
    int from_;
    int found_ = -1;
    std::string line_;
    std::int64_t size_ = 0;
};

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

int TmsNNTP::Exchange(const std::string &Line) {
    SendLine(Line);
    return ReadReply();
}

int TmsNNTP::Command(const std::string &Line) {
    const int code = Exchange(Line);
    if (code != 480)
        return code;
    // A server may ask for the login before any command; it is then asked once more.
    Authenticate();
    return Exchange(Line);
}

void TmsNNTP::Authenticate() {
    int code = Exchange("AUTHINFO USER " + UserName);
    if (code == 381)
        code = Exchange("AUTHINFO PASS " + Password);
    // Refused, out of sequence or not offered: going on would only hide this reply.
    if (code == 481 || code == 482 || code == 502)
        RaiseServerError();
    // A server may offer more to a client it knows.
    if (code == 281 && capabilitiesAsked_) {
        const std::string reply = lastReply_;
        ReadCapabilities("CAPABILITIES", 101);
        lastReply_ = reply;
    }
}

bool TmsNNTP::ReadCapabilities(const std::string &Line, int Expected) {
    if (Exchange(Line) != Expected)
        return false;
    capabilities_ = TNntpCapabilities::Parse(ReadBlock(-1, kMaxCapabilities));
    return true;
}

void TmsNNTP::LearnCapabilities() {
    capabilitiesAsked_ = true;
    const int code = Exchange("CAPABILITIES");
    if (code == 101) {
        capabilities_ = TNntpCapabilities::Parse(ReadBlock(-1, kMaxCapabilities));
    } else if (code == 500 || code == 501) {
        // A server older than the list; it may still name its extensions.
        ReadCapabilities("LIST EXTENSIONS", 202);
    }
    if (!capabilities_.ModeReader || capabilities_.Reader)
        return;
    const int mode = Exchange("MODE READER");
    if (mode != 200 && mode != 201)
        RaiseServerError();
    ReadCapabilities("CAPABILITIES", 101);
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
    capabilities_ = TNntpCapabilities();
    capabilitiesAsked_ = false;
    compressionAsked_ = false;
    overviewFormat_.reset();
    ConnectSocket();
    const int code = ReadReply();
    if (code != 200 && code != 201)
        RaiseServerError();
    if (queryCapabilities_ || Secure())
        LearnCapabilities();
}

void TmsNNTP::Logout() {
    newsGroup_.clear();
    if (Exchange("QUIT") != 205)
        RaiseServerError();
    CloseSocket();
}

void TmsNNTP::SetNewsGroup(const std::string &Name) {
    if (EqualsNoCase(Name, newsGroup_))
        return;
    Connect();
    if (Command("GROUP " + Name) != 211)
        RaiseServerError();
    const int count = GetWordAsInt(lastReply_, 1);
    const int first = GetWordAsInt(lastReply_, 2);
    const int last = GetWordAsInt(lastReply_, 3);
    // Figures that are no article numbers would send the walk after articles that cannot be.
    if (count < 0 || first < 0 || last < 0)
        RaiseServerError();
    articleCount_ = count;
    firstArticle_ = first;
    lastArticle_ = last;
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
    int code = Command("STAT " + std::to_string(Number));
    if (code == 423)
        code = StatFirstFrom(Number);
    RequireArticleReply(code);
    currentArticle_ = GetWordAsInt(lastReply_, 1);
}

int TmsNNTP::StatFirstFrom(int Number) {
    const std::string missing = lastReply_;
    // Groups have long expired gaps: one command finds what lies beyond one.
    const int code = Command("LISTGROUP " + newsGroup_ + " " + std::to_string(Number) + "-");
    if (code == 500 || code == 501) {
        lastReply_ = missing;
        return StepFrom(Number);
    }
    if (code != 211)
        RaiseServerError();
    TFirstNumberStream numbers(Number);
    ReadData(numbers, -1);
    if (numbers.Found() < 0) {
        lastReply_ = missing;
        return 423;
    }
    return Command("STAT " + std::to_string(numbers.Found()));
}

int TmsNNTP::StepFrom(int Number) {
    // Wide enough that no server's figures overflow the window arithmetic.
    const std::int64_t last = lastArticle_;
    const std::int64_t windowStart = last - articleCount_;
    std::int64_t n = Number;
    int code = 423;
    // Once even the last article is missing there is nothing left to try.
    while (code == 423 && n < last) {
        if (n < windowStart)
            n = windowStart - 1;
        ++n;
        if (Canceled())
            RaiseCanceled();
        code = Command("STAT " + std::to_string(n));
    }
    return code;
}

bool TmsNNTP::NextArticle() {
    RequireGroup();
    const int code = Command("NEXT");
    if (code != 223 && code != 421)
        RaiseServerError();
    if (code == 421)
        return false;
    const int number = GetWordAsInt(lastReply_, 1);
    // A server that does not move forward would keep the walk going for ever.
    if (number <= currentArticle_)
        RaiseServerError();
    currentArticle_ = number;
    return true;
}

void TmsNNTP::RetrieveHeader(TmsNgInfoItem &Item) {
    RequireGroup();
    RequireArticleReply(Command("HEAD"));
    Item.Number = GetWordAsInt(lastReply_, 1);
    TLineStream block;
    ReadData(block, -1, MaxHeaderBlock);
    LoadLines(block, Item);
}

void TmsNNTP::HandleHeader(std::unique_ptr<TmsNgInfoItem> Item) {
    const int index = headerList_.Add(std::move(Item));
    if (OnNextHeaderRetrieved)
        OnNextHeaderRetrieved(this, index);
    // The handler may have emptied the list (the group was changed while it ran).
    if (index < headerList_.Count())
        headerList_.Items(index).KeepHandledHeaders();
}

void TmsNNTP::RetrieveHeaders(int Count, bool Append) {
    RequireGroup();
    if (!Append)
        headerList_.Clear();
    if (useOverview_ && RetrieveOverviewHeaders(Count))
        return;
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
    int number = 0;
    do {
        auto item = std::make_unique<TmsNgInfoItem>();
        RetrieveHeader(*item);
        number = item->Number;
        HandleHeader(std::move(item));
        more = NextArticle();
        ++i;
    } while (more && !Canceled() && i != Count);
    lastRetrieved_ = number;
    if (Canceled())
        throw ECanceledError();
    if (!more)
        Fire(OnLastHeaderRetrieved);
}

bool TmsNNTP::RetrieveOverviewHeaders(int Count) {
    if (!capabilitiesAsked_)
        LearnCapabilities();
    if (!capabilities_.Over && !capabilities_.XOver)
        return false;
    AskForCompression();
    // Wide enough that the last range of a group near the top of the numbers ends.
    std::int64_t from = lastRetrieved_ == -1 ? std::int64_t{firstArticle_} : lastRetrieved_ + 1;
    const std::int64_t last = lastArticle_;
    inOverviewWalk_ = true;
    struct TWalkEnd {
        bool &flag;
        ~TWalkEnd() { flag = false; }
    } walkEnd{inOverviewWalk_};
    int handled = 0;
    bool countEnded = false;
    while (from <= last && !countEnded) {
        const std::int64_t to = std::min(from + OverviewRange - 1, last);
        std::vector<TOverviewEntry> entries =
            ReadOverview(static_cast<std::int32_t>(from), static_cast<std::int32_t>(to));
        for (TOverviewEntry &entry : entries) {
            auto item = std::make_unique<TmsNgInfoItem>();
            item->Number = entry.Number;
            item->Add("Subject: " + entry.Subject);
            item->Add("Lines: " + entry.Lines);
            HandleHeader(std::move(item));
            currentArticle_ = entry.Number;
            lastRetrieved_ = entry.Number;
            if (Canceled()) {
                Fire(OnOverviewRangeDone);
                throw ECanceledError();
            }
            // Ending on the group's last entry is the end of the group all the same.
            countEnded = ++handled == Count && (&entry != &entries.back() || to < last);
            if (countEnded)
                break;
        }
        Fire(OnOverviewRangeDone);
        // Nothing past the last entry handled is passed over when the count ends the walk.
        if (!countEnded)
            lastRetrieved_ = static_cast<std::int32_t>(std::max<std::int64_t>(lastRetrieved_, to));
        from = to + 1;
    }
    if (Canceled())
        throw ECanceledError();
    if (!countEnded)
        Fire(OnLastHeaderRetrieved);
    return true;
}

void TmsNNTP::AskForCompression() {
    if (!useOverview_ || !useCompression_ || compressionAsked_ || !capabilities_.CompressDeflate)
        return;
    compressionAsked_ = true;
    // Any other answer (403 for a failure, 502 once compressed) leaves the connection as it
    // is; it only costs the speed.
    if (Exchange("COMPRESS DEFLATE") == 206)
        TagSocket::StartCompression();
}

std::vector<TOverviewEntry> TmsNNTP::ReadOverview(std::int32_t First, std::int32_t Last) {
    if (!overviewFormat_) {
        overviewFormat_ = TOverviewFormat();
        if (Command("LIST OVERVIEW.FMT") == 215)
            overviewFormat_ = TOverviewFormat::Parse(ReadBlock(-1, kMaxCapabilities));
    }
    const std::string verb = capabilities_.Over ? "OVER " : "XOVER ";
    const int code = Command(verb + std::to_string(First) + "-" + std::to_string(Last));
    if (code == 423 || code == 420)
        return {};
    if (code != 224)
        RaiseServerError();
    TOverviewStream overview(*overviewFormat_, First, Last);
    ReadData(overview, -1);
    return std::move(overview.Entries());
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
    ReadData(block, -1, MaxHeaderBlock);
    TmsHeaders headers;
    LoadLines(block, headers);
    const int lines = StrToIntDef(TrimText(headers.GetHeaderValue("LINES")), -1);
    if (article_ != nullptr)
        article_->Clear();

    RequireArticleReply(Command("ARTICLE"));
    LoadArticle(lines);
}

void TmsNNTP::LoadArticle(int Lines) {
    TMemoryStream article(ReadBlock(Lines));
    if (article_ != nullptr)
        article_->LoadFromStream(article);
    Fire(OnArticleRetrieved);
}

void TmsNNTP::RetrieveArticles(const std::vector<TArticleRequest> &Requests, int Depth,
                               const std::function<void(std::int32_t, bool)> &Each) {
    RequireGroup();
    try {
        AskForCompression();
        PipelineArticles(Requests, std::clamp(Depth, 1, MaxDepth), Each);
    } catch (...) {
        newsGroup_.clear();
        CloseSocket();
        throw;
    }
}

void TmsNNTP::PipelineArticles(const std::vector<TArticleRequest> &Requests, int Depth,
                               const std::function<void(std::int32_t, bool)> &Each) {
    std::size_t sent = 0;
    for (const TArticleRequest &request : Requests) {
        const std::size_t done = static_cast<std::size_t>(&request - Requests.data());
        for (; sent < Requests.size() && sent - done < static_cast<std::size_t>(Depth); ++sent)
            SendLine("ARTICLE " + std::to_string(Requests[sent].Number));
        const int code = ReadReply();
        const bool found = code == 220;
        if (!found && code != 423 && code != 430)
            RaiseServerError();
        // Replies come in the order asked: one naming another article is out of step.
        if (found && GetWordAsInt(lastReply_, 1) != request.Number)
            RaiseServerError();
        if (found) {
            if (article_ != nullptr)
                article_->Clear();
            LoadArticle(request.Lines);
        }
        if (Each)
            Each(request.Number, found);
        if (Canceled())
            RaiseCanceled();
    }
}

void TmsNNTP::RetrieveNewsGroupList() {
    Connect();
    newsGroupList_.Clear();
    Fire(OnRetrievingNewsGroupList);
    if (Command("LIST") != 215)
        RaiseServerError();
    newsGroupList_.LoadFromText(ReadBlock(-1));
    Fire(OnNewsGroupListRetrieved);
}

void TmsNNTP::LoadNewsGroupList(const std::string &FileName) {
    newsGroupList_.LoadFromFile(FileName);
}

void TmsNNTP::SaveNewsGroupList(const std::string &FileName) {
    newsGroupList_.SaveToFile(FileName);
}

} // namespace vexil
