// vexil-nntp: the news client of Vexil on the command line, for scripts, for looking into a
// server's answers (--log keeps the exchange) and for benchmarks. It walks and fetches
// exactly as the picture browser does, through the same client and the same browse core.
#include "base/ReplyWords.h"
#include "browse/TBrowseCore.h"
#include "message/TmsArticle.h"
#include "net/TTlsLayer.h"
#include "net/TmsNNTP.h"
#include "platform/Exception.h"
#include "tools/ToolArguments.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

namespace {

using vexil::TmsNNTP;

struct Options {
    std::string server;
    std::string user;
    std::string password;
    std::string log;
    bool tls = false;
    std::string caFile;
    std::string fingerprint;
    int timeout = 600;
    std::string command;
    std::string group;
    int from = -1;
    int count = 0;
    int minLines = vexil::TMainSettings().MinLines;
    int maxLines = vexil::TMainSettings().MaxLines;
    std::string folder;
    bool join = false;
    bool overview = false;
    bool compress = false;
    int pipeline = vexil::TMainSettings().ArticlesAtOnce;
};

constexpr const char *kTool = "vexil-nntp";

constexpr const char *kUsage =
    "usage: vexil-nntp --server [nntps://]HOST[:PORT] [--tls] [--ca-file FILE]\n"
    "                  [--trust-fingerprint SHA256] [--user U --password P] [--log FILE]\n"
    "                  [--timeout SECONDS] COMMAND\n"
    "commands:\n"
    "  list                          prints the server's groups: name, last, first, flag\n"
    "  walk GROUP [--from N] [--count K] [--overview [--compress]]\n"
    "                                prints one line per header: number, Lines, Subject\n"
    "  fetch GROUP [--from N] [--count K] [--min-lines A] [--max-lines B] [--overview]\n"
    "        [--compress] [--pipeline P] [--join] -o DIR\n"
    "                                walks as the picture browser does and fetches each\n"
    "                                article with A < Lines < B whose subject is not a\n"
    "                                later part of a post in several parts, keeping its\n"
    "                                pictures in DIR under free names and no other\n"
    "                                attachment (defaults: A 150, B 100000); with\n"
    "                                --join every part is fetched and a post in several\n"
    "                                parts is joined once all are in (unfinished ones\n"
    "                                wait in DIR/.parts for a later fetch)\n"
    "The walk starts at article N (default: the group's first) and takes K headers\n"
    "(default: all); --overview reads the headers from the server's overview when it\n"
    "has one; fetch then asks for up to P articles at once (1 to 32, default 8).\n"
    "--compress (with --overview) asks a server that offers it to compress the\n"
    "connection (COMPRESS DEFLATE) before the overview and the articles are read.\n"
    "Without a port the \"nntp\" service entry gives it, else 119.\n"
    "TLS: an nntps:// server, port 563 or --tls connect securely (without a port: 563).\n"
    "The certificate is checked against the system's store (SSL_CERT_FILE, SSL_CERT_DIR)\n"
    "and --ca-file FILE (PEM); --trust-fingerprint takes the one certificate with that\n"
    "SHA-256 fingerprint although its check fails. A refused certificate ends with 1 and\n"
    "a message naming what was wrong, the certificate's subject and its fingerprint.\n"
    "--log FILE writes every command and reply line to FILE at the end.\n"
    "Text from the server is printed with its control characters as \"?\" (a tab as a\n"
    "space). Errors print their message on standard error; the exit status is then 1,\n"
    "or 2 when the command line cannot be used.\n";

// The words after the options: the command and its group.
void ParseCommand(const std::vector<std::string> &words, Options &o) {
    if (words.empty())
        throw vexil::EUsageError("no command given");
    o.command = words[0];
    if (o.command != "list" && o.command != "walk" && o.command != "fetch")
        throw vexil::EUsageError("unknown command \"" + o.command + "\"");
    const std::size_t wanted = o.command == "list" ? 1 : 2;
    if (words.size() < wanted)
        throw vexil::EUsageError(o.command + " needs a GROUP");
    if (words.size() > wanted)
        throw vexil::EUsageError("unexpected argument \"" + words[wanted] + "\"");
    if (wanted == 2)
        o.group = words[1];
    if (o.command == "fetch" && o.folder.empty())
        throw vexil::EUsageError("fetch needs -o DIR");
}

std::string FingerprintOf(const std::string &text) {
    std::string fingerprint = vexil::TTlsLayer::NormalFingerprint(text);
    if (fingerprint.empty())
        throw vexil::EUsageError("--trust-fingerprint \"" + text +
                                 "\" is no SHA-256 fingerprint (32 hexadecimal pairs)");
    return fingerprint;
}

Options ParseArguments(vexil::TToolArguments &arguments) {
    Options o;
    std::vector<std::string> words;
    while (!arguments.AtEnd()) {
        const bool option = arguments.NextIsOption();
        const std::string arg = arguments.Next();
        if (!option)
            words.push_back(arg);
        else if (arg == "--server")
            o.server = arguments.ValueOf(arg);
        else if (arg == "--user")
            o.user = arguments.ValueOf(arg);
        else if (arg == "--password")
            o.password = arguments.ValueOf(arg);
        else if (arg == "--tls")
            o.tls = true;
        else if (arg == "--join")
            o.join = true;
        else if (arg == "--ca-file")
            o.caFile = arguments.ValueOf(arg);
        else if (arg == "--trust-fingerprint")
            o.fingerprint = FingerprintOf(arguments.ValueOf(arg));
        else if (arg == "--log")
            o.log = arguments.ValueOf(arg);
        else if (arg == "-o")
            o.folder = arguments.ValueOf(arg);
        else if (arg == "--timeout")
            o.timeout = arguments.IntegerOf(arg);
        else if (arg == "--overview")
            o.overview = true;
        else if (arg == "--compress")
            o.compress = true;
        else if (arg == "--pipeline")
            o.pipeline = arguments.IntegerOf(arg, 1, TmsNNTP::MaxDepth);
        else if (arg == "--from")
            o.from = arguments.IntegerOf(arg);
        else if (arg == "--count")
            o.count = arguments.IntegerOf(arg);
        else if (arg == "--min-lines")
            o.minLines = arguments.IntegerOf(arg, std::numeric_limits<std::int32_t>::min());
        else if (arg == "--max-lines")
            o.maxLines = arguments.IntegerOf(arg, std::numeric_limits<std::int32_t>::min());
        else
            vexil::TToolArguments::UnknownOption(arg);
    }
    if (o.server.empty())
        throw vexil::EUsageError("--server HOST[:PORT] is missing");
    if (o.compress && !o.overview)
        throw vexil::EUsageError("--compress is used with --overview");
    ParseCommand(words, o);
    return o;
}

// A status line may carry the server's words.
void Status(const std::string &text) {
    vexil::PrintLine(text);
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

void List(TmsNNTP &nntp) {
    nntp.RetrieveNewsGroupList();
    const vexil::TmsNewsGroupList &groups = nntp.NewsGroupList();
    for (int i = 0; i < groups.Count(); ++i) {
        const vexil::TmsNewsgroup &g = groups.Items(i);
        vexil::PrintFields({g.Name, std::to_string(g.Last), std::to_string(g.First),
                            std::string(1, g.Posting != '\0' ? g.Posting : '-')},
                           ' ');
    }
}

// The walk of the browse run from article From on, calling Handle for each header.
void Walk(TmsNNTP &nntp, const Options &o, const std::function<void(int)> &Handle) {
    nntp.SetNewsGroup(o.group);
    nntp.OnNextHeaderRetrieved = [&](vexil::TObject *, int n) { Handle(n); };
    int count = o.count;
    if (o.overview && o.from > nntp.FirstArticle()) {
        // The overview passes over missing articles by itself.
        nntp.SetLastRetrieved(o.from - 1);
        nntp.RetrieveHeaders(count, false);
        return;
    }
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
    vexil::PrintFields({std::to_string(item.Number), item.GetHeaderValue("Lines"),
                        item.GetHeaderValue("Subject")});
}

// The browser's walk without its memory: the tool keeps none between runs.
void Fetch(TmsNNTP &nntp, vexil::TmsArticle &article, const Options &o) {
    vexil::TBrowseCore core(nntp, article);
    core.Settings.SmartDownload = false;
    core.Settings.MinLines = o.minLines;
    core.Settings.MaxLines = o.maxLines;
    core.Settings.JoinParts = o.join;
    core.Settings.UseOverview = o.overview;
    core.Settings.ArticlesAtOnce = o.pipeline;
    core.PictureFolder = o.folder;
    core.MakePictureFolder = true;
    core.OnHeader = [](vexil::TObject *, int n) {
        Status(std::to_string(n + 1) + " headers retrieved");
    };
    core.OnPictureStored = [](vexil::TObject *, const std::string &path) {
        Status("Saved " + std::filesystem::path(path).filename().string());
    };
    core.OnAttachmentsLeftOut = [](vexil::TObject *, const std::string &text) { Status(text); };
    core.OnFileFault = [](vexil::TObject *, const std::string &text) { Status(text); };
    core.OnArticleSkipped = [](vexil::TObject *, const std::string &text) { Status(text); };
    core.RemoveStaleParts();
    Walk(nntp, o, [&](int n) { core.HeaderRetrieved(n); });
}

int Run(const Options &o) {
    TmsNNTP nntp;
    nntp.SetWinsockLoaded(true);
    nntp.SetServer(o.server);
    nntp.SetTimeOut(o.timeout);
    nntp.SetUseTls(o.tls);
    nntp.SetCaFile(o.caFile);
    nntp.SetTrustedFingerprint(o.fingerprint);
    nntp.UserName = o.user;
    nntp.Password = o.password;
    nntp.SetLogFileName(o.log);
    nntp.SetQueryCapabilities(o.overview);
    nntp.SetUseOverview(o.overview);
    nntp.SetUseCompression(o.compress);
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
    return vexil::RunTool(kTool, kUsage, argc, argv, [](vexil::TToolArguments &arguments) {
        return Run(ParseArguments(arguments));
    });
}
