#pragma once
// The compressed connection a news server offers after "COMPRESS DEFLATE": both directions
// become one raw deflate stream each, every command and reply flushed to a byte boundary.
// It sits between the news framing and the transport below (TCP, or TLS when that is on)
// and never waits: like TTlsLayer it says WouldBlock and lets the socket component's wait
// loop do the waiting, so Stop and the time-out work as they do for plain reads.

#include "net/TTlsLayer.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace vexil {

class TDeflateLayer {
public:
    // The transport below, with TTlsLayer's result convention: bytes moved (> 0), 0 for the
    // peer's close, WouldBlock or Failed. It may raise ESocketError (a TLS failure).
    static constexpr int WouldBlock = TTlsLayer::WouldBlock;
    static constexpr int Failed = TTlsLayer::Failed;
    using TReceive = TTlsLayer::TReceive;
    using TSend = TTlsLayer::TSend;

    TDeflateLayer(TReceive Receive, TSend Send);
    ~TDeflateLayer();
    TDeflateLayer(const TDeflateLayer &) = delete;
    TDeflateLayer &operator=(const TDeflateLayer &) = delete;

    // Inflated bytes (> 0), 0 once the server closed or ended its stream, WouldBlock, or
    // Failed when the transport failed. Data that does not inflate raises ESocketError.
    int Read(char *Buffer, int Size);
    // Bytes taken (> 0), WouldBlock, or Failed. After WouldBlock the same bytes must be
    // offered again: they were taken already and only their compressed form waits to go.
    int Write(const char *Buffer, int Size);
    // Whether compressed bytes of a write wait for the transport to take them.
    bool WantsWrite() const { return !outgoing_.empty(); }
    // Whether a Read can give bytes without the transport: the last one filled its buffer.
    bool Pending() const;

    // Bytes received and sent on the wire so far, and the bytes they stood for.
    std::int64_t WireReceived() const { return wireIn_; }
    std::int64_t Inflated() const { return inflated_; }

    struct TState;

private:
    // Sends what waits; true once all is gone.
    bool SendOutgoing();

    TReceive receive_;
    TSend send_;
    std::unique_ptr<TState> state_;
    // Compressed bytes received and not yet inflated, from held_ on.
    std::string incoming_;
    std::size_t held_ = 0;
    // Compressed bytes of the last write that the transport has not taken yet.
    std::string outgoing_;
    std::size_t outSent_ = 0;
    // The size of the write whose bytes wait in outgoing_.
    int taken_ = 0;
    bool outputFull_ = false;
    bool ended_ = false;
    std::int64_t wireIn_ = 0;
    std::int64_t inflated_ = 0;
};

} // namespace vexil
