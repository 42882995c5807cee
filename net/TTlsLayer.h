#pragma once
// TLS between the news framing and the byte transport. It never waits: the handshake, reads
// and writes say when they need the transport readable or writable, and the socket
// component's own wait loop does the waiting, so Stop and the time-out work as they do for
// plain reads. The transport is reached through two callbacks with the result convention
// below; the layer knows nothing of sockets.

#include <cstddef>
#include <functional>
#include <memory>
#include <string>

namespace vexil {

class TTlsLayer {
public:
    // Transport results: bytes moved (> 0), 0 for the peer's close, or one of these.
    static constexpr int WouldBlock = -1;
    static constexpr int Failed = -2;
    using TReceive = std::function<int(char *Buffer, int Size)>;
    using TSend = std::function<int(const char *Buffer, int Size)>;

    struct TOptions {
        // The server's name or IPv4 address: sent as SNI (names only) and checked against
        // the certificate.
        std::string Host;
        // Extra trusted authorities in PEM, beside the system's store; empty for none.
        std::string CaFile;
        // A certificate the user trusts for this server although its check fails (the
        // fingerprint as Fingerprint() writes it, or any letter case or without colons).
        std::string TrustedFingerprint;
    };

    enum class TStep { Done, WantRead, WantWrite };

    TTlsLayer(const TOptions &Options, TReceive Receive, TSend Send);
    ~TTlsLayer();
    TTlsLayer(const TTlsLayer &) = delete;
    TTlsLayer &operator=(const TTlsLayer &) = delete;

    // One step of the handshake. A failed handshake raises ESocketError, a certificate that
    // fails the check and is not the trusted one ECertificateError.
    TStep Handshake();
    // Decrypted bytes (> 0), 0 when the server closed, WouldBlock; failures raise
    // ESocketError.
    int Read(char *Buffer, int Size);
    // Bytes taken (> 0) or WouldBlock; failures raise ESocketError. After WouldBlock the
    // same bytes must be offered again.
    int Write(const char *Buffer, int Size);
    // Whether the last Read or Write waits for the transport to be writable.
    bool WantsWrite() const { return wantsWrite_; }
    // Decrypted bytes already held, which no wait on the transport would announce.
    std::size_t Pending() const;

    // Of the server's certificate, once the handshake is done.
    const std::string &Subject() const { return subject_; }
    const std::string &Fingerprint() const { return fingerprint_; }
    // "TLSv1.3" and the like.
    std::string Protocol() const;

    // Brings a fingerprint as a user may write it into the form Fingerprint() has; empty
    // when Text is not 32 hexadecimal pairs.
    static std::string NormalFingerprint(const std::string &Text);

    // OpenSSL's side, opaque here; public so that OpenSSL's callbacks can reach it.
    struct TState;

private:
    void CheckCertificate();
    [[noreturn]] void RaiseFailure(int Result, const char *Doing);
    // What a read's or write's result means: bytes moved, WouldBlock, 0 at the end of a
    // read; anything else raises.
    int Outcome(int Result, bool Reading);

    std::unique_ptr<TState> state_;
    std::string subject_;
    std::string fingerprint_;
    bool wantsWrite_ = false;
};

} // namespace vexil
