// vexil-decode [-o DIR] [--body] FILE...: loads each saved article as the news client does,
// writes its attachments into DIR and tells what it found, so that pictures can be taken
// out of saved articles and articles that decode wrongly can be looked into.
#include "message/TmsArticle.h"
#include "platform/Exception.h"
#include "platform/TStream.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

struct Options {
    std::string folder = ".";
    bool body = false;
    std::vector<std::string> files;
};

int Usage(std::FILE *to) {
    std::fputs("usage: vexil-decode [-o DIR] [--body] FILE...\n"
               "Decodes each FILE, one raw news article (header block, empty line, body; CR LF or\n"
               "LF line ends, dot-stuffed as a server sends it, with or without the final \".\"\n"
               "line), the way Vexil decodes the articles it fetches, and saves its attachments\n"
               "into DIR (default: the current folder).\n"
               "For each FILE it prints a line with the subject, the content type and the number\n"
               "of body lines, then one line per attachment: file name, size in bytes, content\n"
               "type, separated by tabs. With --body it prints the body lines instead.\n"
               "Errors go to standard error; the exit status is 1 when any file failed.\n",
               to);
    return to == stdout ? 0 : 2;
}

// Returns false when the command line is not usable.
bool ParseArguments(int argc, char **argv, Options &options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "-o" && i + 1 < argc)
            options.folder = argv[++i];
        else if (arg == "--body")
            options.body = true;
        else if (arg == "--")
            for (++i; i < argc; ++i)
                options.files.emplace_back(argv[i]);
        else if (!arg.empty() && arg[0] == '-')
            return false;
        else
            options.files.push_back(arg);
    }
    return !options.files.empty();
}

// The file's bytes, read in one piece of the file's size.
std::string ReadWholeFile(const std::string &path) {
    vexil::TFileStream file(path, vexil::TFileStream::Mode::Read);
    std::string bytes(static_cast<std::size_t>(file.Size()), '\0');
    std::size_t got = 0;
    while (got < bytes.size()) {
        const std::size_t n = file.Read(bytes.data() + got, bytes.size() - got);
        if (n == 0)
            break;
        got += n;
    }
    bytes.resize(got);
    // A file that grew while it was read (or a pipe) is read to its end.
    char more[65536];
    for (std::size_t n; (n = file.Read(more, sizeof more)) > 0;)
        bytes.append(more, n);
    return bytes;
}

void PrintSummary(vexil::TmsArticle &article) {
    std::printf("%s\t%s\t%zu\n", article.Subject().c_str(), article.ContentType().c_str(),
                article.Body().size());
    const vexil::TmsAttList &list = article.Attachments();
    for (int i = 0; i < list.Count(); ++i) {
        const vexil::TmsAttItem &item = list.Items(i);
        std::printf("%s\t%zu\t%s\n", item.FileName().c_str(), item.Data.Bytes().size(),
                    item.ContentType().c_str());
    }
}

void PrintBody(const vexil::TmsArticle &article) {
    for (const std::string &line : article.Body()) {
        std::fwrite(line.data(), 1, line.size(), stdout);
        std::fputc('\n', stdout);
    }
}

// Decodes one file; returns false when something failed (already reported).
bool DecodeFile(const std::string &file, const Options &options, vexil::TmsArticle &article) {
    try {
        vexil::TMemoryStream stream(ReadWholeFile(file));
        article.Clear();
        article.LoadFromStream(stream);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "vexil-decode: %s: %s\n", file.c_str(), e.what());
        return false;
    }
    bool ok = true;
    for (int i = 0; i < article.Attachments().Count(); ++i) {
        try {
            article.SaveAttachment(i, options.folder);
        } catch (const std::exception &e) {
            std::fprintf(stderr, "vexil-decode: %s: %s\n", file.c_str(), e.what());
            ok = false;
        }
    }
    if (options.body)
        PrintBody(article);
    else
        PrintSummary(article);
    return ok;
}

} // namespace

int main(int argc, char **argv) {
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0))
        return Usage(stdout);
    Options options;
    if (!ParseArguments(argc, argv, options))
        return Usage(stderr);
    std::error_code error;
    std::filesystem::create_directories(options.folder, error);
    if (error) {
        std::fprintf(stderr, "vexil-decode: cannot create folder %s: %s\n", options.folder.c_str(),
                     error.message().c_str());
        return 1;
    }
    vexil::TmsArticle article;
    bool ok = true;
    for (const std::string &file : options.files) {
        if (options.files.size() > 1 && !options.body)
            std::printf("==> %s <==\n", file.c_str());
        ok = DecodeFile(file, options, article) && ok;
        std::fflush(stdout);
    }
    return ok ? 0 : 1;
}
