#pragma once
// The multiparts an article decoder is inside of, outermost first, with the delimiter lines
// that end their parts. An explicit stack keeps deep nesting off the call stack.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vexil {

class TMimeStack {
public:
    // Multiparts nested deeper than this are read as plain parts.
    static constexpr std::size_t kMaxDepth = 64;

    // A delimiter line: the multipart it belongs to (0 is the outermost) and whether it
    // closes that multipart.
    struct Delimiter {
        std::size_t level;
        bool closing;
    };

    // Opens the multipart of a Content-Type value; false when the stack is full.
    bool Push(std::string_view contentType);
    // Keeps the outermost depth multiparts.
    void PopTo(std::size_t depth);
    std::size_t Depth() const { return frames_.size(); }
    // True inside any multipart/alternative.
    bool InAlternative() const { return alternatives_ > 0; }
    // The type of a part that declares none: message/rfc822 in a multipart/digest.
    std::string_view DefaultPartType() const;

    // The multipart the line is a delimiter of, innermost first: "--" and the boundary,
    // then nothing but blanks (transport padding), or "--" for the closing one.
    std::optional<Delimiter> Find(std::string_view line) const;

private:
    struct Frame {
        std::string delimiter;
        bool alternative;
        bool digest;
    };

    std::vector<Frame> frames_;
    std::size_t alternatives_ = 0;
};

} // namespace vexil
