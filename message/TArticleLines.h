#pragma once
// Walks the lines of an article held in memory by pointer: each line is a view into the
// article's own bytes, so the article is never copied to be read. Lines break at CR LF, LF
// or CR, and a last piece without a line break is a line of its own, as in TLineStream.

#include <cstddef>
#include <string_view>

namespace vexil {

class TArticleLines {
public:
    TArticleLines() = default;
    // The bytes must stay unchanged while lines are read from them.
    explicit TArticleLines(std::string_view bytes);

    // The next line without its line break; false at the end of the bytes.
    bool Next(std::string_view &line);
    // Where the next line starts; SetPosition(Position()) goes back to a line read later.
    std::size_t Position() const { return pos_; }
    void SetPosition(std::size_t position);
    void SkipToEnd() { pos_ = bytes_.size(); }
    bool AtEnd() const { return pos_ >= bytes_.size(); }
    std::string_view Bytes() const { return bytes_; }
    // The bytes from Position() to the end.
    std::string_view Rest() const { return bytes_.substr(pos_); }

private:
    std::size_t Find(char c) const;

    std::string_view bytes_;
    std::size_t pos_ = 0;
    // The next CR and LF at or after pos_ (the size when there is none), found once each:
    // a text with LF line ends is not searched for a CR at every line.
    std::size_t nextCR_ = 0;
    std::size_t nextLF_ = 0;
};

} // namespace vexil
