#pragma once
// The news client: greets the server, selects a group (logging in when the server asks),
// walks the article headers with STAT, HEAD and NEXT, fetches whole articles into the
// article object, fetches the group list with LIST and leaves with QUIT. Every operation
// blocks the caller while its waits keep the interface alive; the events fire inside them,
// and a handler may start a nested fetch (an article inside the header walk).

#include "net/TNntpCapabilities.h"
#include "net/TOverviewLine.h"
#include "net/TmsMailBase.h"
#include "net/TmsNewsGroupList.h"
#include "net/TmsNgInfoList.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vexil {

class TmsArticle;

class TmsNNTP : public TmsMailBase {
public:
    TmsNNTP();
    // Leaves the server (QUIT) when still connected.
    ~TmsNNTP() override;

    const std::string &LastReply() const { return lastReply_; }

    // Whether the client asks the server what it can do (CAPABILITIES after the greeting and
    // after a login, MODE READER only when listed). Always done over TLS; off otherwise, so
    // that the original exchange stays as it was unless a faster way of reading is chosen.
    bool QueryCapabilities() const { return queryCapabilities_; }
    void SetQueryCapabilities(bool Value) { queryCapabilities_ = Value; }
    // What the server of the open connection said it can do; nothing Known when not asked
    // or when the server does not say.
    const TNntpCapabilities &Capabilities() const { return capabilities_; }
    // Whether the header walk reads the server's overview (OVER or XOVER, one command for up
    // to OverviewRange articles) when the server offers one; the capabilities are asked on
    // the open connection if they were not at the login. Off, the walk is the original one.
    bool UseOverview() const { return useOverview_; }
    void SetUseOverview(bool Value) { useOverview_ = Value; }
    static constexpr int OverviewRange = 5000;
    // Whether the overview walk and the pipelined fetch ask a server that offers it for a
    // compressed connection ("COMPRESS DEFLATE"), once a connection, after any login. On by
    // default, so compression follows the overview; a server's refusal goes on uncompressed.
    bool UseCompression() const { return useCompression_; }
    void SetUseCompression(bool Value) { useCompression_ = Value; }
    // True while the header walk reads the overview.
    bool InOverviewWalk() const { return inOverviewWalk_; }

    // The selected group, empty when none. Selecting another name (letter case aside)
    // connects when needed, sends GROUP and logs in on 480.
    const std::string &NewsGroup() const { return newsGroup_; }
    void SetNewsGroup(const std::string &Name);

    int ArticleCount() const { return articleCount_; }
    int FirstArticle() const { return firstArticle_; }
    int LastArticle() const { return lastArticle_; }
    int CurrentArticle() const { return currentArticle_; }
    // The article after which the next header walk goes on; -1 for the group's first.
    int LastRetrieved() const { return lastRetrieved_; }
    void SetLastRetrieved(int Number);

    TmsNgInfoList &HeaderList() { return headerList_; }
    TmsNewsGroupList &NewsGroupList() { return newsGroupList_; }

    // Where retrieved articles are loaded; not owned. Without one, an article is fetched
    // and dropped.
    TmsArticle *Article() const { return article_; }
    void SetArticle(TmsArticle *Value) { article_ = Value; }

    // Sent only when the server asks for authentication.
    std::string UserName;
    std::string Password;

    // Positions the server on the first existing article at or after Number: STAT, and after
    // a 423 one LISTGROUP from Number on; only a server without LISTGROUP is asked number by
    // number.
    void StatArticle(int Number);
    // True when the server moved on to a next article. A 223 reply that does not name a
    // later article than the current one raises EServerError with it.
    bool NextArticle();
    // The header block of the current article, with its number; a block over
    // MaxHeaderBlock bytes ends the connection with "Message too long".
    void RetrieveHeader(TmsNgInfoItem &Item);
    // The header walk: at most Count headers (all for 0 or less) into HeaderList, which is
    // emptied first unless Append. Once OnNextHeaderRetrieved has returned, an entry keeps
    // only its Number and its Lines and Subject headers (TmsNgInfoItem::KeepHandledHeaders).
    void RetrieveHeaders(int Count, bool Append);
    void RetrieveAllHeaders();
    // Fetches article Number into Article.
    void RetrieveArticle(int Number);
    struct TArticleRequest {
        std::int32_t Number = 0;
        // Expected size in lines for the progress; -1 when not known.
        int Lines = -1;
    };
    // Fetches Requests in order with "ARTICLE n", up to Depth (1 to MaxDepth) requests in
    // flight, without STAT or HEAD. Each runs for every request in order, after the article
    // was loaded into Article (Found) or the server said it has no such article (423, 430).
    // A failure or a cancel closes the connection, as replies still on their way would put
    // the next exchange out of step; the next command connects afresh.
    void RetrieveArticles(const std::vector<TArticleRequest> &Requests, int Depth,
                          const std::function<void(std::int32_t Number, bool Found)> &Each);
    static constexpr int MaxDepth = 32;
    void RetrieveNewsGroupList();
    void LoadNewsGroupList(const std::string &FileName);
    void SaveNewsGroupList(const std::string &FileName);

    TmsNumNotifyEvent OnNextHeaderRetrieved;
    TNotifyEvent OnArticleRetrieved;
    TNotifyEvent OnGroupSelected;
    TNotifyEvent OnLastHeaderRetrieved;
    // The overview walk has handed over every header of one range.
    TNotifyEvent OnOverviewRangeDone;
    TNotifyEvent OnRetrievingNewsGroupList;
    TNotifyEvent OnNewsGroupListRetrieved;
    // Declared for posting clients; nothing here fires them.
    TNotifyEvent OnPosted;
    TNotifyEvent OnPosting;

    void OpenSocket() override;

protected:
    void Login() override;
    void Logout() override;

private:
    // Sends Line and reads the reply into LastReply; returns its code.
    int Exchange(const std::string &Line);
    // Exchange, but a 480 reply logs in and sends Line once more: every command but the
    // login itself and QUIT goes through here.
    int Command(const std::string &Line);
    // AUTHINFO USER, and PASS when asked for; a 481, 482 or 502 raises EServerError.
    void Authenticate();
    int ReadReply();
    // CAPABILITIES, on an older server LIST EXTENSIONS; then MODE READER when the server
    // wants it (and CAPABILITIES again, as the answer may have changed).
    void LearnCapabilities();
    bool ReadCapabilities(const std::string &Command, int Expected);
    // COMPRESS DEFLATE when wanted, offered and not yet tried on this connection.
    void AskForCompression();
    // After a 423 for Number: the STAT of the first article at or after it, or 423.
    int StatFirstFrom(int Number);
    // The same for a server without LISTGROUP: one STAT a number, a cancel ending it.
    int StepFrom(int Number);
    // The header walk over the overview; false when the server offers none.
    bool RetrieveOverviewHeaders(int Count);
    // The entries of First..Last (an empty range gives none).
    std::vector<TOverviewEntry> ReadOverview(std::int32_t First, std::int32_t Last);
    // Adds an entry to HeaderList and fires OnNextHeaderRetrieved for it.
    void HandleHeader(std::unique_ptr<TmsNgInfoItem> Item);
    [[noreturn]] void RaiseServerError() const;
    void RequireGroup();
    void RequireArticleReply(int Code) const;
    void FetchCurrentArticle();
    // Reads one ARTICLE reply's block into Article.
    void LoadArticle(int Lines);
    void PipelineArticles(const std::vector<TArticleRequest> &Requests, int Depth,
                          const std::function<void(std::int32_t, bool)> &Each);
    void Fire(const TNotifyEvent &Event) {
        if (Event)
            Event(this);
    }

    std::string lastReply_;
    std::string newsGroup_;
    int articleCount_ = 0;
    int firstArticle_ = 0;
    int lastArticle_ = 0;
    int currentArticle_ = 0;
    int lastRetrieved_ = -1;
    TmsNgInfoList headerList_;
    TmsNewsGroupList newsGroupList_;
    TmsArticle *article_ = nullptr;
    bool queryCapabilities_ = false;
    // Asked on this connection: a login asks again.
    bool capabilitiesAsked_ = false;
    TNntpCapabilities capabilities_;
    bool useOverview_ = false;
    // Read once a connection, with LIST OVERVIEW.FMT.
    std::optional<TOverviewFormat> overviewFormat_;
    bool inOverviewWalk_ = false;
    bool useCompression_ = true;
    // Asked on this connection: never twice, whatever the answer.
    bool compressionAsked_ = false;
};

} // namespace vexil
