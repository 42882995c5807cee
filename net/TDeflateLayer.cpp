#include "net/TDeflateLayer.h"

#include "net/NetErrors.h"

#include <zlib.h>

namespace vexil {

namespace {

// Raw deflate, without zlib's header and check value.
constexpr int kWindowBits = -15;
constexpr int kMemLevel = 8;
constexpr int kReceiveChunk = 16384;

std::string ZlibText(const z_stream &z) {
    return z.msg != nullptr ? z.msg : "unknown error";
}

} // namespace

struct TDeflateLayer::TState {
    z_stream in{};
    z_stream out{};
    bool inReady = false;
    bool outReady = false;

    ~TState() {
        if (inReady)
            inflateEnd(&in);
        if (outReady)
            deflateEnd(&out);
    }
};

TDeflateLayer::TDeflateLayer(TReceive Receive, TSend Send)
    : receive_(std::move(Receive)), send_(std::move(Send)), state_(std::make_unique<TState>()) {
    state_->inReady = inflateInit2(&state_->in, kWindowBits) == Z_OK;
    state_->outReady = deflateInit2(&state_->out, Z_DEFAULT_COMPRESSION, Z_DEFLATED, kWindowBits,
                                    kMemLevel, Z_DEFAULT_STRATEGY) == Z_OK;
    if (!state_->inReady || !state_->outReady)
        throw ESocketError("Not enough memory for a compressed connection");
}

TDeflateLayer::~TDeflateLayer() = default;

bool TDeflateLayer::Pending() const {
    return !ended_ && (outputFull_ || held_ < incoming_.size());
}

int TDeflateLayer::Read(char *Buffer, int Size) {
    z_stream &z = state_->in;
    while (!ended_) {
        if (outputFull_ || held_ < incoming_.size()) {
            z.next_in = reinterpret_cast<Bytef *>(incoming_.data() + held_);
            z.avail_in = static_cast<uInt>(incoming_.size() - held_);
            z.next_out = reinterpret_cast<Bytef *>(Buffer);
            z.avail_out = static_cast<uInt>(Size);
            const int result = inflate(&z, Z_SYNC_FLUSH);
            if (result != Z_OK && result != Z_BUF_ERROR && result != Z_STREAM_END)
                throw ESocketError("The compressed data from the server is damaged (" +
                                   ZlibText(z) + ")");
            held_ = incoming_.size() - z.avail_in;
            if (held_ == incoming_.size()) {
                incoming_.clear();
                held_ = 0;
            }
            // A server that ends its stream has nothing more to say on this connection.
            ended_ = result == Z_STREAM_END;
            outputFull_ = z.avail_out == 0;
            const int produced = Size - static_cast<int>(z.avail_out);
            inflated_ += produced;
            if (produced > 0)
                return produced;
            if (ended_)
                break;
        }
        char chunk[kReceiveChunk];
        const int n = receive_(chunk, kReceiveChunk);
        if (n <= 0)
            return n;
        wireIn_ += n;
        incoming_.append(chunk, static_cast<std::size_t>(n));
    }
    return 0;
}

int TDeflateLayer::Write(const char *Buffer, int Size) {
    if (outgoing_.empty()) {
        z_stream &z = state_->out;
        z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(Buffer));
        z.avail_in = static_cast<uInt>(Size);
        outSent_ = 0;
        // A flushed command needs little more room than its own bytes.
        do {
            const std::size_t start = outgoing_.size();
            const std::size_t room = deflateBound(&z, z.avail_in) + 64;
            outgoing_.resize(start + room);
            z.next_out = reinterpret_cast<Bytef *>(outgoing_.data() + start);
            z.avail_out = static_cast<uInt>(room);
            const int result = deflate(&z, Z_SYNC_FLUSH);
            outgoing_.resize(start + room - z.avail_out);
            if (result != Z_OK && result != Z_BUF_ERROR)
                throw ESocketError("A command could not be compressed (" + ZlibText(z) + ")");
        } while (z.avail_in > 0 || z.avail_out == 0);
        taken_ = Size;
    }
    if (!SendOutgoing())
        return outgoing_.empty() ? Failed : WouldBlock;
    return taken_;
}

bool TDeflateLayer::SendOutgoing() {
    while (outSent_ < outgoing_.size()) {
        const int n =
            send_(outgoing_.data() + outSent_, static_cast<int>(outgoing_.size() - outSent_));
        if (n == Failed) {
            outgoing_.clear();
            return false;
        }
        if (n <= 0)
            return false;
        outSent_ += static_cast<std::size_t>(n);
    }
    outgoing_.clear();
    outSent_ = 0;
    return true;
}

} // namespace vexil
