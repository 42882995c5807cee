// vexil-decode [-o DIR] [--body] FILE...: loads each saved article as the news client does,
// writes its attachments into DIR and tells what it found, so that pictures can be taken
// out of saved articles and articles that decode wrongly can be looked into.
#include "message/TmsArticle.h"
#include "net/TNntpFramer.h"
#include "platform/Exception.h"
#include "platform/PrintableText.h"
#include "platform/TStream.h"
#include "tools/ToolArguments.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <string>
#include <vector>

namespace {

constexpr const char *kTool = "vexil-decode";

constexpr const char *kUsage =
    "usage: vexil-decode [-o DIR] [--body] FILE...\n"
    "Decodes each FILE, one raw news article (header block, empty line, body; CR LF or\n"
    "LF line ends, dot-stuffed as a server sends it, with or without the final \".\"\n"
    "line), the way Vexil decodes the articles it fetches, and saves its attachments\n"
    "into DIR (default: the current folder; created when an attachment is saved).\n"
    "For each FILE it prints a line with the subject, the content type and the number\n"
    "of body lines, then one line per attachment: file name, size in bytes, content\n"
    "type, separated by tabs. With --body it prints the body lines instead. Control\n"
    "characters of the articles are printed as \"?\" (a tab as a space).\n"
    "Errors go to standard error; the exit status is 1 when any file failed, 2 when\n"
    "the command line cannot be used.\n";

struct Options {
    std::string folder = ".";
    bool body = false;
    std::vector<std::string> files;
};

Options ParseArguments(vexil::TToolArguments &arguments) {
    Options options;
    bool optionsEnded = false;
    while (!arguments.AtEnd()) {
        const bool option = !optionsEnded && arguments.NextIsOption();
        const std::string arg = arguments.Next();
        if (!option)
            options.files.push_back(arg);
        else if (arg == "-o")
            options.folder = arguments.ValueOf(arg);
        else if (arg == "--body")
            options.body = true;
        else if (arg == "--")
            optionsEnded = true;
        else
            vexil::TToolArguments::UnknownOption(arg);
    }
    if (options.files.empty())
        throw vexil::EUsageError("no FILE given");
    return options;
}

// The file's bytes, read with as few reads as its size allows into a buffer that is not
// zero-filled first; read to the end, so that a file that grows while it is read, or a
// pipe, is whole. A folder is refused here: reading one as a file gives nonsense sizes.
class TRawFile {
public:
    explicit TRawFile(const std::string &path) {
        std::error_code error;
        if (std::filesystem::is_directory(path, error))
            throw vexil::Exception("is a folder, not an article file");
        vexil::TFileStream file(path, vexil::TFileStream::Mode::Read);
        const auto size = std::filesystem::file_size(path, error);
        Grow(error ? 65536 : static_cast<std::size_t>(size) + 1);
        for (std::size_t n; (n = file.Read(bytes_.get() + size_, capacity_ - size_)) > 0;) {
            size_ += n;
            if (size_ == capacity_)
                Grow(2 * capacity_);
        }
    }
    std::string_view Bytes() const { return {bytes_.get(), size_}; }

private:
    void Grow(std::size_t capacity) {
        std::unique_ptr<char[]> grown(new char[capacity]);
        if (size_ > 0)
            std::memcpy(grown.get(), bytes_.get(), size_);
        bytes_ = std::move(grown);
        capacity_ = capacity;
    }

    std::unique_ptr<char[]> bytes_;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

void PrintSummary(vexil::TmsArticle &article) {
    vexil::PrintFields(
        {article.Subject(), article.ContentType(), std::to_string(article.Body().size())});
    const vexil::TmsAttList &list = article.Attachments();
    for (int i = 0; i < list.Count(); ++i) {
        const vexil::TmsAttItem &item = list.Items(i);
        const std::string size = std::to_string(item.Data.Bytes().size());
        // A yEnc file that failed its check is written all the same; the line says why.
        if (item.Fault != vexil::YEncProblem::None)
            vexil::PrintFields(
                {item.FileName(), size, item.ContentType(), vexil::YEncProblemText(item.Fault)});
        else
            vexil::PrintFields({item.FileName(), size, item.ContentType()});
    }
}

void PrintBody(const vexil::TmsArticle &article) {
    for (const std::string &line : article.Body())
        vexil::PrintLine(line);
}

void Report(const std::string &file, const std::exception &error) {
    vexil::ReportToolError(kTool, file + ": " + vexil::PrintableMessage(error));
}

// Saves every attachment of the article; false when one failed (already reported).
bool SaveAttachments(const std::string &file, const Options &options,
                     const vexil::TmsArticle &article) {
    if (article.Attachments().Count() == 0)
        return true;
    std::error_code error;
    std::filesystem::create_directories(options.folder, error);
    if (error) {
        vexil::ReportToolError(kTool,
                               options.folder + ": cannot create folder: " + error.message());
        return false;
    }
    bool ok = true;
    for (int i = 0; i < article.Attachments().Count(); ++i) {
        try {
            article.SaveAttachment(i, options.folder);
        } catch (const std::exception &e) {
            Report(file, e);
            ok = false;
        }
    }
    return ok;
}

// Decodes one file; returns false when something failed (already reported).
bool DecodeFile(const std::string &file, const Options &options, vexil::TmsArticle &article) {
    try {
        // Saved as the server sent it: framed here as the news client frames it.
        // The framing copies the bytes into the article while they are still in the cache.
        vexil::TMemoryStream stream(vexil::TNntpFramer::FrameWhole(TRawFile(file).Bytes()));
        article.Clear();
        article.LoadFromStream(stream);
    } catch (const std::exception &e) {
        Report(file, e);
        return false;
    }
    const bool ok = SaveAttachments(file, options, article);
    if (options.body)
        PrintBody(article);
    else
        PrintSummary(article);
    return ok;
}

int Decode(vexil::TToolArguments &arguments) {
    const Options options = ParseArguments(arguments);
    vexil::TmsArticle article;
    bool ok = true;
    for (const std::string &file : options.files) {
        if (options.files.size() > 1 && !options.body)
            vexil::PrintLine("==> " + file + " <==");
        ok = DecodeFile(file, options, article) && ok;
        std::fflush(stdout);
    }
    return ok ? 0 : 1;
}

} // namespace

int main(int argc, char **argv) {
#ifdef __GLIBC__
    // Every article and picture is a large buffer of its own. Kept in the heap once freed,
    // the next one reuses pages already mapped in, where a fresh mapping would fault in
    // every page again.
    mallopt(M_MMAP_THRESHOLD, 256 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 512 * 1024 * 1024);
#endif
    return vexil::RunTool(kTool, kUsage, argc, argv, Decode);
}
