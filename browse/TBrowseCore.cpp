#include "browse/TBrowseCore.h"

#include "base/ExtractNumber.h"
#include "browse/AttachmentStep.h"
#include "browse/SmartDownloadMemory.h"
#include "browse/TPartJoiner.h"
#include "browse/TSourceArticle.h"
#include "message/TmsArticle.h"
#include "net/ArticleFilter.h"
#include "net/TmsNNTP.h"

#include <algorithm>
#include <filesystem>
#include <optional>

namespace vexil {

TBrowseCore::TBrowseCore(TmsNNTP &Client, TmsArticle &Article) : Client(Client), Article(Article) {
    Client.SetArticle(&Article);
    Client.OnNextHeaderRetrieved = [this](TObject *, int n) { HeaderRetrieved(n); };
    Client.OnOverviewRangeDone = [this](TObject *) { FetchPending(); };
}

TBrowseCore::~TBrowseCore() {
    // The client may outlive the core, and must not call into it then.
    Client.OnNextHeaderRetrieved = nullptr;
    Client.OnOverviewRangeDone = nullptr;
}

void TBrowseCore::Walk() {
    memoryName_ = SmartDownloadValueName(Client.Server(), Client.NewsGroup());
    Client.SetUseOverview(Settings.UseOverview);
    // The next connection then learns at its login what the server offers.
    if (Settings.UseOverview)
        Client.SetQueryCapabilities(true);
    // An empty group has no first article to stand on.
    if (Client.ArticleCount() <= 0 || Client.LastArticle() < Client.FirstArticle()) {
        if (OnEmptyGroup)
            OnEmptyGroup(this);
        return;
    }
    RemoveStaleParts();
    if (Settings.SmartDownload)
        WalkWithMemory();
    else
        Client.RetrieveAllHeaders();
}

void TBrowseCore::RemoveStaleParts() {
    // Posts left unfinished by runs long ago would otherwise pile up in the picture folder.
    if (Settings.JoinParts)
        TPartJoiner(PictureFolder).RemoveStale();
}

void TBrowseCore::WalkWithMemory() {
    TRegistry *store = Store();
    if (store == nullptr)
        return; // the window closed while the group was being selected
    // With nothing remembered the walk starts at the first article itself (-1), so that it
    // is looked at like every other.
    const std::optional<std::int32_t> remembered = ReadSmartDownload(*store, memoryName_);
    Client.SetLastRetrieved(remembered ? std::min(*remembered, Client.LastArticle()) : -1);
    Client.RetrieveHeaders(MaxHeadersPerRun, false);
}

bool TBrowseCore::PassesLinesFilter(const TmsNgInfoItem &Item) const {
    const double lines = ExtractNumber(Item.GetHeaderValue("Lines"));
    return Settings.MinLines < lines && lines < Settings.MaxLines;
}

void TBrowseCore::HeaderRetrieved(int n) {
    if (OnHeader)
        OnHeader(this, n);
    const TmsNgInfoItem &item = Client.HeaderList().Items(n);
    // Copied: the nested fetch below runs the event loop, and the list may change meanwhile.
    const std::int32_t number = item.Number;
    if (!PassesLinesFilter(item))
        return;
    if (Client.InOverviewWalk()) {
        // Fetched together at the range's end; the memory waits for them.
        pending_.push_back({number, static_cast<int>(ExtractNumber(item.GetHeaderValue("Lines"))),
                            Settings.JoinParts || !IsLaterPart(item.GetHeaderValue("Subject"))});
        return;
    }
    DownloadArticle(n);
    if (Settings.SmartDownload)
        Remember(number);
}

void TBrowseCore::DownloadArticle(int n) {
    const TmsNgInfoItem &item = Client.HeaderList().Items(n);
    const std::int32_t number = item.Number;
    if (Settings.JoinParts)
        return DownloadJoining(number);
    if (IsLaterPart(item.GetHeaderValue("Subject")))
        return;
    Client.RetrieveArticle(number);
    StoreAttachments(Article, number);
}

void TBrowseCore::DownloadJoining(std::int32_t Number) {
    TSourceArticle &source = SourceArticle();
    Client.SetArticle(&source);
    try {
        Client.RetrieveArticle(Number);
    } catch (...) {
        Client.SetArticle(&Article);
        throw;
    }
    Client.SetArticle(&Article);
    JoinFetched(Number);
}

TSourceArticle &TBrowseCore::SourceArticle() {
    if (!source_)
        source_ = std::make_unique<TSourceArticle>();
    return *source_;
}

void TBrowseCore::JoinFetched(std::int32_t Number) {
    const auto part = TPartJoiner::Recognise(source_->Subject(), source_->Source());
    if (!part)
        return StoreAttachments(*source_, Number);
    if (MakePictureFolder)
        std::filesystem::create_directories(PictureFolder);
    TPartJoiner joiner(PictureFolder);
    if (joiner.Add(*part, source_->Sender().Address(), Number, source_->Source(), Article) ==
        TPartJoiner::TResult::Joined)
        StoreAttachments(Article, Number);
}

void TBrowseCore::FetchPending() {
    std::vector<TPending> pending;
    pending.swap(pending_);
    // A cancel while the range's headers were handled fetches nothing of it.
    if (Client.Canceled())
        return;
    pending_ = std::move(pending);
    settled_ = 0;
    std::vector<TmsNNTP::TArticleRequest> requests;
    for (const TPending &p : pending_)
        if (p.Fetch)
            requests.push_back({p.Number, p.Lines});
    // With joining, each article keeps its text for the joiner, as one fetched alone does.
    if (Settings.JoinParts)
        Client.SetArticle(&SourceArticle());
    try {
        Client.RetrieveArticles(requests, Settings.ArticlesAtOnce,
                                [this](std::int32_t number, bool found) {
                                    if (!found && OnArticleSkipped)
                                        OnArticleSkipped(this, "Article " + std::to_string(number) +
                                                                   " is no longer on the server");
                                    else if (found && Settings.JoinParts)
                                        JoinFetched(number);
                                    else if (found)
                                        StoreAttachments(Article, number);
                                    Settle(number);
                                });
    } catch (...) {
        Client.SetArticle(&Article);
        pending_.clear();
        throw;
    }
    Client.SetArticle(&Article);
    if (!pending_.empty())
        Settle(pending_.back().Number);
    pending_.clear();
}

void TBrowseCore::Settle(std::int32_t Number) {
    for (; settled_ < pending_.size() && pending_[settled_].Number <= Number; ++settled_)
        if (Settings.SmartDownload)
            Remember(pending_[settled_].Number);
}

void TBrowseCore::StoreAttachments(const TmsCustomMessage &Message, std::int32_t Number) {
    for (int i = 0; i < Message.Attachments().Count(); ++i) {
        // Made with the first file, so that a run that stores nothing leaves no folder.
        if (MakePictureFolder)
            std::filesystem::create_directories(PictureFolder);
        const std::optional<std::string> picture = StoreAttachment(PictureFolder, Message, i);
        if (picture && OnPictureStored)
            OnPictureStored(this, *picture);
        if (Message.Attachments().Items(i).Fault != YEncProblem::None && OnFileFault)
            OnFileFault(this, FileFaultText(Message, i, picture));
    }
    if (Message.AttachmentsLeftOut > 0 && OnAttachmentsLeftOut)
        OnAttachmentsLeftOut(this, AttachmentsLeftOutText(Number));
}

void TBrowseCore::Remember(std::int32_t Number) {
    // After the window has closed (and written its settings) the run is only unwinding.
    if (TRegistry *store = Store())
        WriteSmartDownload(*store, memoryName_, Number);
}

TRegistry *TBrowseCore::Store() const {
    return SettingsStore ? SettingsStore() : nullptr;
}

} // namespace vexil
