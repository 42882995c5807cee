#pragma once
// The command-line handling the tools share. Arguments are taken one by one; a command line
// that cannot be used ends the tool with one message that names the argument and what is
// wrong with it (and points to --help), rather than with the whole usage text.

#include "platform/Exception.h"

#include <cstdint>
#include <exception>
#include <functional>
#include <initializer_list>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

namespace vexil {

// A command line the tool cannot use: the message says which argument and why.
class EUsageError : public Exception {
public:
    using Exception::Exception;
};

class TToolArguments {
public:
    TToolArguments(int argc, char **argv);

    bool AtEnd() const { return next_ >= words_.size(); }
    // The next argument, which is taken; an EUsageError when there is none.
    std::string Next();
    // True when the next argument begins with "-" and is more than "-".
    bool NextIsOption() const;
    // The value given after Option, taken from the arguments.
    std::string ValueOf(const std::string &Option);
    // A whole number from Min to Max given after Option.
    std::int32_t IntegerOf(const std::string &Option, std::int32_t Min = 0,
                           std::int32_t Max = std::numeric_limits<std::int32_t>::max());
    // Ends the parse for an option the tool does not know; --help and -h ask for the usage.
    [[noreturn]] static void UnknownOption(const std::string &Option);

private:
    std::vector<std::string> words_;
    std::size_t next_ = 0;
};

// Text as a whole number from Min to Max; What names the text in the message of the
// EUsageError raised otherwise.
std::int32_t WholeNumberOf(std::string_view Text, const std::string &What,
                           std::int32_t Min = std::numeric_limits<std::int32_t>::min(),
                           std::int32_t Max = std::numeric_limits<std::int32_t>::max());

// "Tool: Message" on standard error, with control characters replaced.
void ReportToolError(const char *Tool, std::string_view Message);

// Writes Text and a line end to standard output, with control characters replaced; for
// text that came from a server or an article.
void PrintLine(std::string_view Text);
// The same for a line of fields, each made printable on its own and then joined by Separator.
void PrintFields(std::initializer_list<std::string_view> Fields, char Separator = '\t');

// The whole life of a tool: Main parses and runs. "--help" or "-h" print Usage and end with
// 0; an EUsageError ends with 2, any other failure with 1, each after its message.
int RunTool(const char *Tool, const char *Usage, int argc, char **argv,
            const std::function<int(TToolArguments &)> &Main);

} // namespace vexil
