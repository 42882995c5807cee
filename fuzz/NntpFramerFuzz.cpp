// Frames arbitrary bytes as a data block, fed at once and fed in pieces of a size the input
// picks, with the framed bytes kept or passed on as they come, and checks that every way
// gives the same block and leaves the same bytes after it, and that framing never makes
// anything longer.
#include "FuzzCheck.h"
#include "net/TNntpFramer.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace {

using vexil::TNntpFramer;

struct Outcome {
    std::string block;
    std::string after;
    TNntpFramer::TStatus status;
    std::int64_t wire;
};

using vexil::fuzz::Check;

// Piece 0 feeds everything at once; Step limits how much one Frame call takes.
Outcome Run(std::string_view bytes, std::size_t piece, std::size_t step, bool passOn) {
    TNntpFramer framer;
    framer.StartBlock(std::int64_t{1} << 40);
    Outcome out{{}, {}, TNntpFramer::TStatus::NeedMore, 0};
    const std::size_t size = piece == 0 ? bytes.size() : piece;
    std::size_t at = 0;
    while (at < bytes.size() || framer.Unexamined() > 0) {
        if (framer.Unexamined() == 0) {
            framer.Feed(bytes.substr(at, size));
            at += size;
        }
        out.status = framer.Frame(step);
        Check(framer.Block().size() <= static_cast<std::size_t>(framer.BlockWireSize()));
        if (passOn) {
            out.block += framer.Block();
            framer.DropBlock();
        }
        if (out.status == TNntpFramer::TStatus::Complete)
            break;
    }
    out.wire = framer.BlockWireSize();
    out.block += framer.TakeBlock();
    if (at < bytes.size())
        framer.Feed(bytes.substr(at));
    // What stays after the block, framed as the next block, shows which bytes were left.
    framer.StartBlock(std::int64_t{1} << 40);
    framer.Finish();
    out.after = framer.TakeBlock();
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 2)
        return 0;
    const std::size_t piece = data[0];
    const std::size_t step = data[1] == 0 ? SIZE_MAX : data[1];
    const std::string_view bytes(reinterpret_cast<const char *>(data + 2), size - 2);

    const Outcome whole = Run(bytes, 0, SIZE_MAX, false);
    Check(whole.block.size() <= bytes.size());
    Check(whole.wire <= static_cast<std::int64_t>(bytes.size()));
    Check(whole.status != TNntpFramer::TStatus::NeedMore ||
          whole.wire + 2 >= static_cast<std::int64_t>(bytes.size()));
    for (bool passOn : {false, true}) {
        const Outcome pieces = Run(bytes, piece, step, passOn);
        Check(pieces.block == whole.block);
        Check(pieces.after == whole.after);
        Check(pieces.status == whole.status);
        Check(pieces.wire == whole.wire);
    }

    std::string file(bytes);
    TNntpFramer::FrameWhole(file);
    Check(TNntpFramer::FrameWhole(bytes) == file);
    Check(file.size() <= bytes.size());
    if (whole.status == TNntpFramer::TStatus::Complete)
        Check(file == whole.block);
    else
        Check(file.compare(0, whole.block.size(), whole.block) == 0);

    // Reply lines never come out longer than the limit, nor longer than what was fed.
    TNntpFramer lines;
    lines.Feed(bytes);
    std::string line;
    std::size_t total = 0;
    while (lines.TakeLine(line) == TNntpFramer::TStatus::Complete) {
        Check(line.size() <= TNntpFramer::MaxReplyLine);
        total += line.size() + 1;
    }
    Check(total <= bytes.size());
    return 0;
}
