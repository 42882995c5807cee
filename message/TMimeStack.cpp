#include "message/TMimeStack.h"

#include "base/AsciiCase.h"
#include "message/HeaderText.h"

namespace vexil {

namespace {

bool OnlyBlanks(std::string_view text) {
    return text.find_first_not_of(" \t") == std::string_view::npos;
}

} // namespace

bool TMimeStack::Push(std::string_view contentType) {
    if (frames_.size() >= kMaxDepth)
        return false;
    const std::string type = LowerAscii(FirstWord(contentType));
    const bool alternative = type == "multipart/alternative";
    frames_.push_back(Frame{"--" + GetParameter("boundary", contentType), alternative,
                            type == "multipart/digest"});
    alternatives_ += alternative ? 1 : 0;
    return true;
}

void TMimeStack::PopTo(std::size_t depth) {
    while (frames_.size() > depth) {
        alternatives_ -= frames_.back().alternative ? 1 : 0;
        frames_.pop_back();
    }
}

std::string_view TMimeStack::DefaultPartType() const {
    return !frames_.empty() && frames_.back().digest ? "message/rfc822" : "text/plain";
}

std::optional<TMimeStack::Delimiter> TMimeStack::Find(std::string_view line) const {
    if (line.size() < 2 || line[0] != '-' || line[1] != '-')
        return std::nullopt;
    for (std::size_t level = frames_.size(); level-- > 0;) {
        const std::string &delimiter = frames_[level].delimiter;
        if (line.compare(0, delimiter.size(), delimiter) != 0)
            continue;
        const std::string_view rest = line.substr(delimiter.size());
        if (rest.substr(0, 2) == "--")
            return Delimiter{level, true};
        if (OnlyBlanks(rest))
            return Delimiter{level, false};
    }
    return std::nullopt;
}

} // namespace vexil
