#pragma once
// The header block of an article or a MIME part: one entry per line exactly as it arrived;
// a folded header keeps its continuation lines (beginning with a blank or a tab) as entries
// of their own. The news client's header records derive from it.

#include "platform/Object.h"

#include <string>
#include <string_view>
#include <vector>

namespace vexil {

class TmsHeaders : public TObject {
public:
    TmsHeaders() = default;
    explicit TmsHeaders(std::vector<std::string> lines) : lines_(std::move(lines)) {}

    int Count() const { return static_cast<int>(lines_.size()); }
    // Throws EListError outside 0 .. Count() - 1.
    const std::string &Strings(int index) const;
    void Add(std::string line) { lines_.push_back(std::move(line)); }
    void Clear() { lines_.clear(); }
    // Copies the given lines in place of the present ones.
    void Assign(const std::vector<std::string> &lines) { lines_ = lines; }
    const std::vector<std::string> &Lines() const { return lines_; }
    std::vector<std::string> &Lines() { return lines_; }

    // See GetHeaderValue and RemoveHeader in HeaderText.h.
    std::string GetHeaderValue(std::string_view name) const;
    void RemoveHeader(std::string_view name);

private:
    std::vector<std::string> lines_;
};

} // namespace vexil
