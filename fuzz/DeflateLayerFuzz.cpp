// The compressed connection's layer, both ways, over a transport that takes and gives bytes
// in pieces of sizes the input picks and often has none ready. Reading: arbitrary bytes as
// the server's stream must end in bytes, the end, or ESocketError, never in a wait that
// bytes already held could have avoided; a valid stream must come out whole. Writing: what
// the layer sends must inflate to exactly the bytes written.
#include "FuzzCheck.h"
#include "net/NetErrors.h"
#include "net/TDeflateLayer.h"

#include <zlib.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace {

using vexil::TDeflateLayer;

using vexil::fuzz::Check;

// Raw deflate of Bytes, flushed in pieces of Piece bytes as a server flushes each reply.
std::string Deflate(std::string_view bytes, std::size_t piece, bool finish) {
    z_stream z{};
    deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    std::string out;
    for (std::size_t at = 0; at <= bytes.size(); at += piece) {
        const std::string_view part = bytes.substr(at, piece);
        z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(part.data()));
        z.avail_in = static_cast<uInt>(part.size());
        const bool last = at + piece > bytes.size();
        do {
            char buffer[4096];
            z.next_out = reinterpret_cast<Bytef *>(buffer);
            z.avail_out = sizeof buffer;
            deflate(&z, last && finish ? Z_FINISH : Z_SYNC_FLUSH);
            out.append(buffer, sizeof buffer - z.avail_out);
        } while (z.avail_out == 0);
    }
    deflateEnd(&z);
    return out;
}

std::string Inflate(std::string_view bytes) {
    z_stream z{};
    inflateInit2(&z, -15);
    z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(bytes.data()));
    z.avail_in = static_cast<uInt>(bytes.size());
    std::string out;
    int result = Z_OK;
    do {
        char buffer[4096];
        z.next_out = reinterpret_cast<Bytef *>(buffer);
        z.avail_out = sizeof buffer;
        result = inflate(&z, Z_SYNC_FLUSH);
        out.append(buffer, sizeof buffer - z.avail_out);
    } while (z.avail_out == 0 && (result == Z_OK || result == Z_BUF_ERROR));
    inflateEnd(&z);
    Check(result == Z_OK || result == Z_BUF_ERROR);
    return out;
}

// Reads Wire through the layer; the bytes it gave, or nothing when it refused the stream.
struct ReadOutcome {
    std::string bytes;
    bool refused = false;
};

ReadOutcome ReadAll(std::string_view wire, std::size_t piece, int size) {
    std::size_t at = 0;
    bool ready = false;
    TDeflateLayer layer(
        [&](char *buffer, int most) {
            // Every other call finds nothing ready, as a non-blocking socket often does.
            ready = !ready;
            if (!ready)
                return TDeflateLayer::WouldBlock;
            if (at == wire.size())
                return 0;
            const std::size_t n = std::min({piece, wire.size() - at, std::size_t(most)});
            std::copy_n(wire.data() + at, n, buffer);
            at += n;
            return static_cast<int>(n);
        },
        [](const char *, int n) { return n; });
    ReadOutcome outcome;
    std::string buffer(static_cast<std::size_t>(size), '\0');
    try {
        for (int quiet = 0; quiet < 4;) {
            const int n = layer.Read(buffer.data(), size);
            Check(n >= TDeflateLayer::WouldBlock && n <= size);
            if (n == 0)
                break;
            if (n > 0) {
                outcome.bytes.append(buffer.data(), static_cast<std::size_t>(n));
                quiet = 0;
                continue;
            }
            // A wait the held bytes could have spared would spin in the socket's loop.
            Check(!layer.Pending());
            if (at == wire.size())
                ++quiet;
        }
    } catch (const vexil::ESocketError &) {
        outcome.refused = true;
    }
    Check(layer.Inflated() == static_cast<std::int64_t>(outcome.bytes.size()));
    return outcome;
}

void WriteAll(std::string_view bytes, std::size_t piece) {
    std::string wire;
    bool ready = false;
    TDeflateLayer layer([](char *, int) { return TDeflateLayer::WouldBlock; },
                        [&](const char *buffer, int n) {
                            ready = !ready;
                            if (!ready)
                                return TDeflateLayer::WouldBlock;
                            const int taken = std::min(n, static_cast<int>(piece));
                            wire.append(buffer, static_cast<std::size_t>(taken));
                            return taken;
                        });
    for (std::size_t at = 0; at < bytes.size(); at += piece) {
        const std::string_view part = bytes.substr(at, piece);
        int n = TDeflateLayer::WouldBlock;
        // After a wait the same bytes are offered again, as the socket does.
        for (int tries = 0; n == TDeflateLayer::WouldBlock; ++tries) {
            Check(tries < 100000);
            n = layer.Write(part.data(), static_cast<int>(part.size()));
        }
        Check(n == static_cast<int>(part.size()));
        Check(!layer.WantsWrite());
    }
    Check(Inflate(wire) == bytes);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 3)
        return 0;
    const std::size_t piece = 1 + data[0] % 64;
    const int readSize = 1 + data[1];
    const bool valid = data[2] & 1;
    const bool finish = data[2] & 2;
    const std::string_view rest(reinterpret_cast<const char *>(data) + 3, size - 3);
    if (!valid) {
        ReadAll(rest, piece, readSize);
        return 0;
    }
    const ReadOutcome outcome = ReadAll(Deflate(rest, piece * 7, finish), piece, readSize);
    Check(!outcome.refused && outcome.bytes == rest);
    if (!rest.empty())
        WriteAll(rest, piece);
    return 0;
}
