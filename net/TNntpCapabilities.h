#pragma once
// What a news server says it can do: its CAPABILITIES list, or on an older server the list
// of LIST EXTENSIONS. The client keeps one per connection; the faster ways of reading a
// group ask it before they use a command the original exchange never sends.

#include <cstddef>
#include <string_view>

namespace vexil {

struct TNntpCapabilities {
    // The server answered CAPABILITIES (or LIST EXTENSIONS); when false nothing below is
    // known and only the original commands are used.
    bool Known = false;
    // From "VERSION"; 0 when not given.
    int Version = 0;
    bool Reader = false;
    // The server must be told "MODE READER" before it reads news to a client.
    bool ModeReader = false;
    bool Over = false;
    // The pre-standard name of OVER, listed by older servers' LIST EXTENSIONS.
    bool XOver = false;
    bool Hdr = false;
    bool CompressDeflate = false;
    bool AuthInfoUser = false;

    // A list as received: one capability a line, its label first, arguments after blanks.
    // Lines of any length and content are taken; a label or argument the client does not
    // know is passed over.
    static TNntpCapabilities Parse(std::string_view Block);
    // Adds what one line says; the same rules.
    void AddLine(std::string_view Line);

    // Lines longer than this carry nothing the client reads and are passed over.
    static constexpr std::size_t MaxLine = 512;
};

} // namespace vexil
