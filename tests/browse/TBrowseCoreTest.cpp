// The rules of a browse run, without any window, against the fixture's open news server.
#include "browse/TBrowseCore.h"
#include "browse/FolderPictures.h"
#include "browse/SmartDownloadMemory.h"
#include "message/TmsArticle.h"
#include "net/TmsNNTP.h"
#include "platform/Exception.h"
#include "platform/TRegistry.h"

#include "tests/browse/CoreRun.h"
#include "tests/net/InnServer.h"
#include "tests/support/TempHome.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <vector>

namespace vexil {
namespace {

namespace fs = std::filesystem;
using test::InnServer;
using test::PostedArticle;

// One Go: a fresh connection, the group selected, the core's walk.
class TBrowseCoreTest : public ::testing::Test {
protected:
    struct TRun {
        std::vector<std::int32_t> looked;
        std::vector<std::string> pictures;
        // The server offered its overview to this run.
        bool overview = false;
    };

    TRun Walk(const TMainSettings &settings) {
        test::CoreRun go(inn.Address(), folder, store);
        TmsNNTP &nntp = go.nntp;
        TBrowseCore &core = go.core;
        core.Settings = settings;
        TRun run;
        core.OnHeader = [&](TObject *, int n) {
            run.looked.push_back(nntp.HeaderList().Items(n).Number);
        };
        core.OnPictureStored = [&](TObject *, const std::string &path) {
            run.pictures.push_back(fs::path(path).filename().string());
            // Without the overview, a picture belongs to the header looked at last.
            if (onPicture)
                onPicture(nntp, run.looked.back());
        };
        nntp.SetNewsGroup(InnServer::PictureGroup);
        core.Walk();
        run.overview = nntp.Capabilities().Over;
        nntp.Disconnect();
        return run;
    }

    std::set<std::string> FilesInFolder() const {
        std::set<std::string> names;
        if (fs::exists(folder))
            for (const auto &entry : fs::directory_iterator(folder))
                names.insert(entry.path().filename().string());
        return names;
    }

    // What a later start would find: read through a connection of its own.
    std::optional<std::int32_t> Remembered() const {
        TRegistry later(store.DatabasePath());
        return ReadSmartDownload(later,
                                 SmartDownloadValueName(inn.Address(), InnServer::PictureGroup));
    }

    bool PassesLimits(std::int32_t number) const {
        const int lines = posted.at(static_cast<std::size_t>(number - 1)).lines;
        return lines > 150 && lines < 100000;
    }

    // The last article before number that passed the Lines filter; 0 when there is none.
    std::int32_t LastPassedBefore(std::int32_t number) const {
        for (std::int32_t n = number - 1; n > 0; --n)
            if (PassesLimits(n))
                return n;
        return 0;
    }

    // Runs with each picture stored, given the client and the number of its article.
    std::function<void(TmsNNTP &, std::int32_t)> onPicture;

    test::TempHome home;
    TRegistry store;
    InnServer inn;
    const std::vector<PostedArticle> posted = inn.Articles(InnServer::PictureGroup);
    const std::string folder = home.Home() + "pictures/";
};

TEST_F(TBrowseCoreTest, SmartDownloadFetchesThePicturesBetweenTheLimitsAndCarriesOnNextTime) {
    const TRun first = Walk({});
    // Nothing remembered: every article is looked at, the first one too.
    ASSERT_EQ(first.looked.size(), posted.size());
    EXPECT_EQ(first.looked.front(), 1);
    std::vector<std::string> wanted;
    std::int32_t lastPassed = 0;
    int others = 0;
    for (std::size_t i = 0; i < posted.size(); ++i) {
        if (!(posted[i].lines > 150 && posted[i].lines < 100000))
            continue;
        lastPassed = static_cast<std::int32_t>(i + 1);
        if (posted[i].kind == "part")
            continue;
        for (const std::string &name : posted[i].attachments)
            if (IsPictureFile(name))
                wanted.push_back(name);
            else
                ++others;
    }
    ASSERT_FALSE(wanted.empty());
    ASSERT_GT(others, 0); // a PNG is no picture type of the browser's, and is deleted
    EXPECT_EQ(first.pictures, wanted);
    // Only the pictures stay; each holds what was posted.
    EXPECT_EQ(FilesInFolder(), std::set<std::string>(wanted.begin(), wanted.end()));
    for (const std::string &name : wanted)
        EXPECT_EQ(test::ReadFile(folder + name), inn.Original(InnServer::PictureGroup, name));
    // The memory stands on the last article that passed the Lines filter, a later part or not.
    EXPECT_EQ(Remembered(), lastPassed);

    const TRun second = Walk({});
    for (std::int32_t number : second.looked)
        EXPECT_GT(number, lastPassed);
    EXPECT_TRUE(second.pictures.empty());
    EXPECT_EQ(Remembered(), lastPassed);
}

TEST_F(TBrowseCoreTest, TheOverviewWalkLooksAtStoresAndRemembersTheSame) {
    TMainSettings overview;
    overview.UseOverview = true;
    const TRun fast = Walk(overview);
    const std::set<std::string> fastFiles = FilesInFolder();
    const std::optional<std::int32_t> fastMemory = Remembered();
    ASSERT_FALSE(fast.pictures.empty());
    ASSERT_TRUE(fast.overview);

    fs::remove_all(folder);
    ASSERT_TRUE(ResetSmartDownload(store));
    const TRun usual = Walk({});
    EXPECT_FALSE(usual.overview); // not even asked
    EXPECT_EQ(fast.looked, usual.looked);
    EXPECT_EQ(fast.pictures, usual.pictures);
    EXPECT_EQ(fastFiles, FilesInFolder());
    EXPECT_EQ(fastMemory, Remembered());

    // Carrying on from the memory looks only past it and finds nothing new.
    const TRun again = Walk(overview);
    ASSERT_TRUE(fastMemory);
    for (std::int32_t number : again.looked)
        EXPECT_GT(number, *fastMemory);
    EXPECT_TRUE(again.pictures.empty());
    EXPECT_EQ(fastMemory, Remembered());
}

TEST_F(TBrowseCoreTest, WithoutSmartDownloadTheLimitsAreStrictAndNothingIsRemembered) {
    // A limit equal to an article's Lines passes that article over.
    const PostedArticle *picture = nullptr;
    for (const PostedArticle &a : posted)
        if (a.kind == "uu" && picture == nullptr)
            picture = &a;
    ASSERT_NE(picture, nullptr);
    TMainSettings settings;
    settings.SmartDownload = false;
    settings.MinLines = picture->lines - 1;
    settings.MaxLines = picture->lines;
    TRun run = Walk(settings);
    EXPECT_EQ(run.looked.size(), posted.size());
    EXPECT_TRUE(run.pictures.empty());
    EXPECT_FALSE(fs::exists(folder)); // made only with the first file
    settings.MaxLines = picture->lines + 1;
    run = Walk(settings);
    std::vector<std::string> wanted;
    for (const PostedArticle &a : posted)
        if (a.lines == picture->lines && a.kind != "part")
            for (const std::string &name : a.attachments)
                if (IsPictureFile(name))
                    wanted.push_back(name);
    EXPECT_EQ(run.pictures, wanted);
    EXPECT_FALSE(Remembered());
}

TEST_F(TBrowseCoreTest, AStoppedRunRemembersTheLastArticleStoredAndTheNextCarriesOnFromIt) {
    int stored = 0;
    std::int32_t stoppedIn = 0;
    onPicture = [&](TmsNNTP &nntp, std::int32_t number) {
        if (++stored == 2) {
            stoppedIn = number;
            nntp.Cancel();
        }
    };
    // Stopped between two waits, the client's next command finds the socket closed.
    EXPECT_THROW(Walk({}), Exception);
    ASSERT_GT(stoppedIn, 0);
    // The article whose picture came with the Stop was stored whole before the walk ended.
    EXPECT_EQ(Remembered(), stoppedIn);
    const std::set<std::string> before = FilesInFolder();

    onPicture = nullptr;
    const TRun rest = Walk({});
    ASSERT_FALSE(rest.looked.empty());
    EXPECT_GT(rest.looked.front(), stoppedIn);
    // Between them the two runs stored every picture once, as one run does.
    std::set<std::string> both = before;
    both.insert(rest.pictures.begin(), rest.pictures.end());
    EXPECT_EQ(both.size(), before.size() + rest.pictures.size());
    fs::remove_all(folder);
    ASSERT_TRUE(ResetSmartDownload(store));
    Walk({});
    EXPECT_EQ(both, FilesInFolder());
}

TEST_F(TBrowseCoreTest, ARunThatFailsRemembersNoArticleItDidNotFinish) {
    std::int32_t failedIn = 0;
    onPicture = [&](TmsNNTP &, std::int32_t number) {
        if (number > 2 && failedIn == 0) {
            failedIn = number;
            throw EInOutError("Cannot write file: No space left on device");
        }
    };
    EXPECT_THROW(Walk({}), EInOutError);
    ASSERT_GT(failedIn, 0);
    const std::int32_t finished = LastPassedBefore(failedIn);
    ASSERT_GT(finished, 0);
    EXPECT_EQ(Remembered(), finished);

    // The next Go looks at the failed article again.
    onPicture = nullptr;
    const TRun again = Walk({});
    ASSERT_FALSE(again.looked.empty());
    EXPECT_EQ(again.looked.front(), finished + 1);
}

TEST_F(TBrowseCoreTest, TheStoreNeverHoldsAnArticleNotYetStoredAndLosesNoneThatWas) {
    // What the store holds while a picture is being stored is what a crash would leave.
    int checked = 0;
    onPicture = [&](TmsNNTP &, std::int32_t number) {
        EXPECT_EQ(Remembered().value_or(0), LastPassedBefore(number));
        ++checked;
    };
    Walk({});
    EXPECT_GT(checked, 1);
    EXPECT_EQ(Remembered(), LastPassedBefore(static_cast<std::int32_t>(posted.size()) + 1));
}

} // namespace
} // namespace vexil
