#pragma once
// The framing of the news protocol, apart from any socket: fed the bytes as they arrive, it
// gives reply lines and multi-line data blocks. A block is un-stuffed (a doubled leading dot
// loses one) in place, inside the one buffer the bytes were fed into, and ends at its "."
// line, which is not part of it; the finished block is handed out without a copy. Lines of
// a block end at LF (CR LF or LF alone); a CR alone ends none.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vexil {

class TNntpFramer {
public:
    // A reply line longer than this (line break aside) is refused, and so is a data block
    // larger than the limit it was started with: a hostile server must not exhaust memory.
    static constexpr std::size_t MaxReplyLine = 64 * 1024;
    static constexpr std::int64_t MaxDataBlock = std::int64_t{256} * 1024 * 1024;

    enum class TStatus { NeedMore, Complete, TooLong };

    void Feed(std::string_view Bytes);
    // Forgets everything fed and any block begun.
    void Clear();
    // Bytes fed that no TakeLine or Frame has looked at yet: while there are some, there is
    // no need to wait for the network.
    std::size_t Unexamined() const { return buf_.size() - seen_; }
    // Bytes fed and not yet taken, as a line or into a block.
    std::size_t Pending() const { return buf_.size() - in_; }

    // The next reply line without its line break; NeedMore until its line feed has come.
    // Not while a block is being framed.
    TStatus TakeLine(std::string &Line);

    // Starts a block; Limit counts its bytes as received, "." line included.
    void StartBlock(std::int64_t Limit = MaxDataBlock);
    // Frames at most Most of the pending bytes into the block; Complete once its "." line
    // was taken (what follows stays pending), TooLong once the block passed its limit.
    TStatus Frame(std::size_t Most = SIZE_MAX);
    // The end of the input ends the block too: a last "." line without its line break is
    // still the terminator, and bytes held back to see what follows a dot are kept.
    void Finish();
    // The block's bytes as received so far, "." line included.
    std::int64_t BlockWireSize() const { return wire_; }
    // The block's framed bytes so far.
    std::string_view Block() const { return std::string_view(buf_).substr(0, out_); }
    // Forgets the framed bytes, once passed on; the block goes on.
    void DropBlock();
    // Hands out the framed bytes; the bytes after the block stay pending.
    std::string TakeBlock();

    // A whole data block in the server's form (dot-stuffed, with or without its "." line),
    // framed in place: what follows a "." line is dropped.
    static void FrameWhole(std::string &Bytes);
    // The same for bytes that cannot be changed (a mapped file): they are framed into a new
    // string, reserved once, in as few pieces as there are dot lines.
    static std::string FrameWhole(std::string_view Bytes);

private:
    // Drops the bytes already taken when that frees much, so the buffer does not grow with
    // every block of a long session.
    void Compact();
    // At a line start with a dot at in: how many bytes the dot line start takes and what
    // it means; 0 when the bytes to tell have not come yet.
    enum class TDot { Stuffed, Plain, Terminator };
    std::size_t ReadDot(std::size_t in, TDot &dot) const;
    void Put(std::size_t from, std::size_t count);

    // [0, out_) framed bytes of the block; [in_, size) bytes fed and not yet taken; the
    // gap between is free. out_ <= in_ <= seen_ <= size.
    std::string buf_;
    std::size_t out_ = 0;
    std::size_t in_ = 0;
    std::size_t seen_ = 0;
    std::int64_t wire_ = 0;
    std::int64_t limit_ = MaxDataBlock;
    bool lineStart_ = true;
    bool done_ = false;
};

} // namespace vexil
