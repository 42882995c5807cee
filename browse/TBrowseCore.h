#pragma once
// The rules of a browse run, in one place for the window, vexil-nntp and the benchmark: on
// the group the client has selected, walk the headers (from the Smart Download memory, at
// most 90000 of them, or the whole group without it), fetch each article whose Lines header
// lies strictly between the limits and whose subject marks no later part of a post in
// several parts (with JoinParts: every part, joined once all are in), store its attachments
// (pictures stay, anything else goes), and move the memory after each article that passed the Lines
// filter.
//
// The core drives the client's header walk and article fetch; the client's other events
// (connection, progress, errors) stay with whoever shows them.

#include "browse/TMainSettings.h"
#include "platform/Object.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vexil {

class TmsArticle;
class TmsCustomMessage;
class TSourceArticle;
class TmsNgInfoItem;
class TmsNNTP;
class TRegistry;

class TBrowseCore : public TObject {
public:
    // The most headers one Smart Download run walks.
    static constexpr int MaxHeadersPerRun = 90000;

    // Binds the client's header event; the client and the article outlive the core.
    TBrowseCore(TmsNNTP &Client, TmsArticle &Article);
    ~TBrowseCore() override;
    TBrowseCore(const TBrowseCore &) = delete;
    TBrowseCore &operator=(const TBrowseCore &) = delete;

    // Read at the moment they are needed, so that a change in Setup reaches a running walk.
    TMainSettings Settings;
    // Where attachments are stored; made with the first file when MakePictureFolder is set.
    std::string PictureFolder;
    bool MakePictureFolder = false;
    // The store of the Smart Download memory; a missing function, or one that gives null
    // (the window has closed), leaves the memory alone.
    std::function<TRegistry *()> SettingsStore;

    // Header n of the client's HeaderList has arrived, before any rule is applied.
    std::function<void(TObject *Sender, int n)> OnHeader;
    // A picture was written to Path.
    std::function<void(TObject *Sender, const std::string &Path)> OnPictureStored;
    // A file of the article failed its yEnc size or CRC check; it was stored all the same (as
    // any other file: pictures stay). Text names it (FileFaultText).
    std::function<void(TObject *Sender, const std::string &Text)> OnFileFault;
    // An article held more attachments than are kept; Text says so.
    std::function<void(TObject *Sender, const std::string &Text)> OnAttachmentsLeftOut;
    // An article the overview named was gone when it was asked for; Text says so.
    std::function<void(TObject *Sender, const std::string &Text)> OnArticleSkipped;
    // The selected group has no articles, so the walk ended before it began.
    std::function<void(TObject *Sender)> OnEmptyGroup;

    // The walk of Go on the group the client has selected; returns when it ends.
    void Walk();
    // With JoinParts: removes the posts kept aside too long ago to be completed. Walk does
    // it first; a walk of its own calls it before it starts.
    void RemoveStaleParts();
    // The header handler: applies the Lines filter to header n of the client's HeaderList,
    // fetches the article when it passes, and moves the memory.
    void HeaderRetrieved(int n);
    // Fetches article n of HeaderList and stores its attachments, unless its subject marks a
    // later part; with JoinParts a part is kept aside until its post is complete.
    void DownloadArticle(int n);

    bool PassesLinesFilter(const TmsNgInfoItem &Item) const;

private:
    // With JoinParts: the article's text is kept, and a part goes to the joiner.
    void DownloadJoining(std::int32_t Number);
    TSourceArticle &SourceArticle();
    // Hands the article just fetched into the source article to the joiner.
    void JoinFetched(std::int32_t Number);
    void StoreAttachments(const TmsCustomMessage &Message, std::int32_t Number);

    // An article that passed the Lines filter during the overview walk, waiting for the
    // range's end to be fetched with the others.
    struct TPending {
        std::int32_t Number;
        int Lines;
        bool Fetch;
    };
    void WalkWithMemory();
    void FetchPending();
    // Remembers every pending article up to Number, which is done with.
    void Settle(std::int32_t Number);
    void Remember(std::int32_t Number);
    TRegistry *Store() const;

    TmsNNTP &Client;
    TmsArticle &Article;
    std::unique_ptr<TSourceArticle> source_;
    // Server and group of the running walk: a server changed in Setup meanwhile does not
    // move the memory of the server the walk still talks to.
    std::string memoryName_;
    std::vector<TPending> pending_;
    std::size_t settled_ = 0;
};

} // namespace vexil
