// vexil-nntp: the news client of Vexil on the command line, for scripts, for looking into a
// server's answers (--log keeps the exchange) and for benchmarks. It walks and fetches
// exactly as the picture browser does, through the same client.
#include "message/HeaderText.h"
#include "message/TmsArticle.h"
#include "net/ArticleFilter.h"
#include "net/ReplyWords.h"
#include "net/TmsNNTP.h"
#include "platform/Exception.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using vexil::TmsNNTP;

struct Options {
    std::string server;
    std::string user;
    std::string password;
    std::string log;
    int timeout = 600;
    std::string command;
    std::string group;
    int from = -1;
    int count = 0;
    int minLines = 150;
    int maxLines = 100000;
    std::string folder;
};

int Usage(std::FILE *to) {
    std::fputs(
        "usage: vexil-nntp --server HOST[:PORT] [--user U --password P] [--log FILE]\n"
        "                  [--timeout SECONDS] COMMAND\n"
        "commands:\n"
        "  list                          prints the server's groups: name, last, first, flag\n"
        "  walk GROUP [--from N] [--count K]\n"
        "                                prints one line per header: number, Lines, Subject\n"
        "  fetch GROUP [--from N] [--count K] [--min-lines A] [--max-lines B] -o DIR\n"
        "                                walks as the picture browser does and fetches each\n"
        "                                article with A < Lines < B whose subject is not a\n"
        "                                later part of a post in several parts, saving its\n"
        "                                attachments into DIR (defaults: A 150, B 100000)\n"
        "The walk starts at article N (default: the group's first) and takes K headers\n"
        "(default: all). Without a port the \"nntp\" service entry gives it, else 119.\n"
        "--log FILE writes every command and reply line to FILE at the end.\n"
        "Errors print their message on standard error; the exit status is then 1.\n",
        to);
    return to == stdout ? 0 : 2;
}

bool ReadNumber(const char *text, int &out) {
    out = vexil::StrToIntDef(text, -1);
    return out >= 0 || std::string(text) == "-1";
}

bool ParseArguments(int argc, char **argv, Options &o) {
    std::vector<std::string> words;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        auto number = [&](int &out) { return hasValue && ReadNumber(argv[++i], out); };
        if (arg == "--server" && hasValue)
            o.server = argv[++i];
        else if (arg == "--user" && hasValue)
            o.user = argv[++i];
        else if (arg == "--password" && hasValue)
            o.password = argv[++i];
        else if (arg == "--log" && hasValue)
            o.log = argv[++i];
        else if (arg == "-o" && hasValue)
            o.folder = argv[++i];
        else if (arg == "--timeout") {
            if (!number(o.timeout))
                return false;
        } else if (arg == "--from") {
            if (!number(o.from))
                return false;
        } else if (arg == "--count") {
            if (!number(o.count))
                return false;
        } else if (arg == "--min-lines") {
            if (!number(o.minLines))
                return false;
        } else if (arg == "--max-lines") {
            if (!number(o.maxLines))
                return false;
        } else if (!arg.empty() && arg[0] == '-')
            return false;
        else
            words.push_back(arg);
    }
    if (o.server.empty() || words.empty())
        return false;
    o.command = words[0];
    if (o.command == "list")
        return words.size() == 1;
    if (o.command != "walk" && o.command != "fetch")
        return false;
    if (words.size() != 2 || (o.command == "fetch" && o.folder.empty()))
        return false;
    o.group = words[1];
    return true;
}

void Status(const std::string &text) {
    std::printf("%s\n", text.c_str());
    std::fflush(stdout);
}

// Prints the status texts the main window shows for the client's events.
void ShowEvents(TmsNNTP &nntp, const Options &o) {
    nntp.OnOpen = [](vexil::TObject *) { Status("Opening connection"); };
    nntp.OnClosed = [](vexil::TObject *) { Status("Connection closed"); };
    nntp.OnCancel = [](vexil::TObject *) { Status("Oparation has been canceled"); };
    nntp.OnError = [](vexil::TObject *, std::string &msg) { Status(msg); };
    nntp.OnGroupSelected = [&nntp](vexil::TObject *) {
        Status("Total articles: " + std::to_string(nntp.ArticleCount()));
    };
    nntp.OnLastHeaderRetrieved = [](vexil::TObject *) {
        Status("Last available header retrieved");
    };
    nntp.OnArticleRetrieved = [](vexil::TObject *) { Status("Article retrieved"); };
    auto lastPerc = std::make_shared<int>(-2);
    nntp.OnProgress = [lastPerc](vexil::TObject *, int perc, int) {
        // One line per new figure: a block reports after every chunk.
        if (perc >= 0 && perc != *lastPerc)
            Status(std::to_string(perc) + "% retrieved");
        *lastPerc = perc;
    };
}

int HeaderLines(const vexil::TmsNgInfoItem &item) {
    return vexil::StrToIntDef(vexil::TrimText(item.GetHeaderValue("Lines")), 0);
}

void List(TmsNNTP &nntp) {
    nntp.RetrieveNewsGroupList();
    const vexil::TmsNewsGroupList &groups = nntp.NewsGroupList();
    for (int i = 0; i < groups.Count(); ++i) {
        const vexil::TmsNewsgroup &g = groups.Items(i);
        std::printf("%s %d %d %c\n", g.Name.c_str(), g.Last, g.First,
                    g.Posting != '\0' ? g.Posting : '-');
    }
}

// The walk of the browse run from article From on, calling Handle for each header.
void Walk(TmsNNTP &nntp, const Options &o, const std::function<void(int)> &Handle) {
    nntp.SetNewsGroup(o.group);
    nntp.OnNextHeaderRetrieved = [&](vexil::TObject *, int n) { Handle(n); };
    int count = o.count;
    if (o.from > nntp.FirstArticle()) {
        // Start exactly at the first article at or after From, even when From - 1 is gone.
        nntp.StatArticle(o.from);
        nntp.SetLastRetrieved(nntp.CurrentArticle());
        nntp.HeaderList().Clear();
        auto item = std::make_unique<vexil::TmsNgInfoItem>();
        nntp.RetrieveHeader(*item);
        Handle(nntp.HeaderList().Add(std::move(item)));
        if (count == 1)
            return;
        nntp.RetrieveHeaders(count > 0 ? count - 1 : 0, true);
        return;
    }
    nntp.RetrieveHeaders(count, false);
}

void PrintHeader(TmsNNTP &nntp, int n) {
    const vexil::TmsNgInfoItem &item = nntp.HeaderList().Items(n);
    std::printf("%d\t%s\t%s\n", item.Number, item.GetHeaderValue("Lines").c_str(),
                item.GetHeaderValue("Subject").c_str());
}

void Fetch(TmsNNTP &nntp, vexil::TmsArticle &article, const Options &o) {
    std::filesystem::create_directories(o.folder);
    nntp.SetArticle(&article);
    Walk(nntp, o, [&](int n) {
        Status(std::to_string(n + 1) + " headers retrieved");
        const vexil::TmsNgInfoItem &item = nntp.HeaderList().Items(n);
        const int lines = HeaderLines(item);
        if (!(o.minLines < lines && lines < o.maxLines) ||
            vexil::IsLaterPart(item.GetHeaderValue("Subject")))
            return;
        nntp.RetrieveArticle(item.Number);
        for (int i = 0; i < article.Attachments().Count(); ++i) {
            article.SaveAttachment(i, o.folder);
            Status("Saved " + article.Attachments().Items(i).FileName());
        }
    });
}

int Run(const Options &o) {
    TmsNNTP nntp;
    nntp.SetWinsockLoaded(true);
    nntp.SetServer(o.server);
    nntp.SetTimeOut(o.timeout);
    nntp.UserName = o.user;
    nntp.Password = o.password;
    nntp.SetLogFileName(o.log);
    vexil::TmsArticle article;
    if (o.command == "fetch")
        ShowEvents(nntp, o);
    if (o.command == "list")
        List(nntp);
    else if (o.command == "walk")
        Walk(nntp, o, [&](int n) { PrintHeader(nntp, n); });
    else
        Fetch(nntp, article, o);
    nntp.Disconnect();
    if (!o.log.empty()) {
        nntp.SaveLog();
        nntp.SetLogFileName({}); // written once, here, where a failure can be reported
    }
    return 0;
}

} // namespace

int main(int argc, char **argv) {
    Options options;
    if (argc == 2 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h"))
        return Usage(stdout);
    if (!ParseArguments(argc, argv, options))
        return Usage(stderr);
    try {
        return Run(options);
    } catch (const vexil::Exception &e) {
        std::fprintf(stderr, "vexil-nntp: %s\n", e.what());
        return 1;
    }
}
