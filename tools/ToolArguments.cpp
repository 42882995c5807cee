#include "tools/ToolArguments.h"

#include "platform/PrintableText.h"

#include <charconv>
#include <cstdio>

namespace vexil {

namespace {

// Thrown for --help wherever an option may stand.
struct HelpRequest {};

std::string Quoted(std::string_view text) {
    return "\"" + std::string(text) + "\"";
}

} // namespace

TToolArguments::TToolArguments(int argc, char **argv) : words_(argv + 1, argv + argc) {}

std::string TToolArguments::Next() {
    if (AtEnd())
        throw EUsageError("an argument is missing");
    return words_[next_++];
}

bool TToolArguments::NextIsOption() const {
    return !AtEnd() && words_[next_].size() > 1 && words_[next_][0] == '-';
}

std::string TToolArguments::ValueOf(const std::string &Option) {
    if (AtEnd())
        throw EUsageError(Option + " needs a value");
    return words_[next_++];
}

std::int32_t TToolArguments::IntegerOf(const std::string &Option, std::int32_t Min,
                                       std::int32_t Max) {
    return WholeNumberOf(ValueOf(Option), Option, Min, Max);
}

void TToolArguments::UnknownOption(const std::string &Option) {
    if (Option == "--help" || Option == "-h")
        throw HelpRequest();
    throw EUsageError("unknown option " + Option);
}

std::int32_t WholeNumberOf(std::string_view Text, const std::string &What, std::int32_t Min,
                           std::int32_t Max) {
    std::int32_t value = 0;
    const char *end = Text.data() + Text.size();
    const auto [at, error] = std::from_chars(Text.data(), end, value);
    if (Text.empty() || error != std::errc() || at != end || value < Min || value > Max)
        throw EUsageError(What + ": " + Quoted(Text) + " is not a whole number from " +
                          std::to_string(Min) + " to " + std::to_string(Max));
    return value;
}

void ReportToolError(const char *Tool, std::string_view Message) {
    const std::string line = std::string(Tool) + ": " + PrintableText(Message) + "\n";
    std::fflush(stdout);
    std::fwrite(line.data(), 1, line.size(), stderr);
}

void PrintLine(std::string_view Text) {
    const std::string line = PrintableText(Text) + "\n";
    std::fwrite(line.data(), 1, line.size(), stdout);
}

void PrintFields(std::initializer_list<std::string_view> Fields, char Separator) {
    std::string line;
    for (const std::string_view field : Fields)
        line += PrintableText(field) + Separator;
    if (!line.empty())
        line.back() = '\n';
    std::fwrite(line.data(), 1, line.size(), stdout);
}

int RunTool(const char *Tool, const char *Usage, int argc, char **argv,
            const std::function<int(TToolArguments &)> &Main) {
    TToolArguments arguments(argc, argv);
    try {
        return Main(arguments);
    } catch (const HelpRequest &) {
        std::fputs(Usage, stdout);
        return 0;
    } catch (const EUsageError &error) {
        ReportToolError(Tool, error.Message());
        std::fprintf(stderr, "Try '%s --help' for more information.\n", Tool);
        return 2;
    } catch (const std::exception &error) {
        ReportToolError(Tool, PrintableMessage(error));
        return 1;
    }
}

} // namespace vexil
