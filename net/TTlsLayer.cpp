#include "net/TTlsLayer.h"

#include "base/AsciiCase.h"
#include "net/NetErrors.h"

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <arpa/inet.h>

#include <cctype>
#include <string_view>

namespace vexil {

struct TTlsLayer::TState {
    TReceive receive;
    TSend send;
    std::string host;
    std::string trusted;
    SSL_CTX *context = nullptr;
    SSL *ssl = nullptr;
    // The first failure the chain check reported; X509_V_OK when none.
    long verifyError = X509_V_OK;
    // The transport itself failed (rather than the peer closing or TLS failing).
    bool transportFailed = false;

    ~TState() {
        SSL_free(ssl);
        SSL_CTX_free(context);
    }
};

namespace {

TTlsLayer::TState *StateOf(BIO *bio) {
    return static_cast<TTlsLayer::TState *>(BIO_get_data(bio));
}

int BioRead(BIO *bio, char *buffer, int size) {
    BIO_clear_retry_flags(bio);
    TTlsLayer::TState *state = StateOf(bio);
    const int n = state->receive(buffer, size);
    if (n == TTlsLayer::WouldBlock)
        BIO_set_retry_read(bio);
    if (n == TTlsLayer::Failed)
        state->transportFailed = true;
    return n < 0 ? -1 : n;
}

int BioWrite(BIO *bio, const char *buffer, int size) {
    BIO_clear_retry_flags(bio);
    TTlsLayer::TState *state = StateOf(bio);
    const int n = state->send(buffer, size);
    if (n == TTlsLayer::WouldBlock)
        BIO_set_retry_write(bio);
    if (n == TTlsLayer::Failed || n == 0)
        state->transportFailed = true;
    return n <= 0 ? -1 : n;
}

long BioControl(BIO *, int command, long, void *) {
    // Every write goes to the transport at once: there is nothing to flush.
    return command == BIO_CTRL_FLUSH ? 1 : 0;
}

int BioCreate(BIO *bio) {
    BIO_set_init(bio, 1);
    return 1;
}

BIO_METHOD *TransportMethod() {
    static BIO_METHOD *method = [] {
        BIO_METHOD *m = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "transport");
        BIO_meth_set_read(m, BioRead);
        BIO_meth_set_write(m, BioWrite);
        BIO_meth_set_ctrl(m, BioControl);
        BIO_meth_set_create(m, BioCreate);
        return m;
    }();
    return method;
}

int StateIndex() {
    static const int index = SSL_get_ex_new_index(0, nullptr, nullptr, nullptr, nullptr);
    return index;
}

// Lets the handshake finish whatever the chain check finds, keeping its first complaint:
// the decision, and a message that can say what was wrong, come after it.
int KeepFirstComplaint(int ok, X509_STORE_CTX *store) {
    if (ok)
        return 1;
    auto *ssl =
        static_cast<SSL *>(X509_STORE_CTX_get_ex_data(store, SSL_get_ex_data_X509_STORE_CTX_idx()));
    auto *state = static_cast<TTlsLayer::TState *>(SSL_get_ex_data(ssl, StateIndex()));
    if (state != nullptr && state->verifyError == X509_V_OK)
        state->verifyError = X509_STORE_CTX_get_error(store);
    return 1;
}

bool IsIpAddress(const std::string &host) {
    in_addr address{};
    return ::inet_pton(AF_INET, host.c_str(), &address) == 1;
}

std::string OpenSslReason() {
    const unsigned long code = ERR_peek_last_error();
    ERR_clear_error();
    if (code == 0)
        return {};
    const char *reason = ERR_reason_error_string(code);
    return reason != nullptr ? reason : "error " + std::to_string(ERR_GET_REASON(code));
}

std::string SubjectOf(X509 *certificate) {
    BIO *out = BIO_new(BIO_s_mem());
    X509_NAME_print_ex(out, X509_get_subject_name(certificate), 0, XN_FLAG_RFC2253);
    char *data = nullptr;
    const long size = BIO_get_mem_data(out, &data);
    std::string subject(data, static_cast<std::size_t>(size > 0 ? size : 0));
    BIO_free(out);
    return subject;
}

std::string FingerprintOf(X509 *certificate) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    X509_digest(certificate, EVP_sha256(), digest, &size);
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string text;
    for (unsigned i = 0; i < size; ++i) {
        if (i > 0)
            text += ':';
        text += kHex[digest[i] >> 4];
        text += kHex[digest[i] & 15];
    }
    return text;
}

// What was wrong, in words for the user, to follow "The certificate of the news server".
std::string Complaint(long error, const std::string &host) {
    switch (error) {
    case X509_V_ERR_CERT_HAS_EXPIRED:
        return "has expired";
    case X509_V_ERR_CERT_NOT_YET_VALID:
        return "is not valid yet";
    case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
        return "is self-signed, and so not trusted";
    case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
    case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
    case X509_V_ERR_CERT_UNTRUSTED:
        return "is not trusted: no authority this computer trusts has issued it";
    case X509_V_ERR_HOSTNAME_MISMATCH:
        return "was issued for another name, not for " + host;
    case X509_V_ERR_IP_ADDRESS_MISMATCH:
        return "was issued for another address, not for " + host;
    case X509_V_ERR_CERT_REVOKED:
        return "has been revoked";
    default:
        return std::string("could not be verified (") + X509_verify_cert_error_string(error) + ")";
    }
}

} // namespace

TTlsLayer::TTlsLayer(const TOptions &Options, TReceive Receive, TSend Send)
    : state_(std::make_unique<TState>()) {
    state_->receive = std::move(Receive);
    state_->send = std::move(Send);
    state_->host = Options.Host;
    state_->trusted = NormalFingerprint(Options.TrustedFingerprint);
    ERR_clear_error();
    state_->context = SSL_CTX_new(TLS_client_method());
    if (state_->context == nullptr)
        throw ESocketError("A secure (TLS) connection cannot be set up: " + OpenSslReason());
    SSL_CTX *context = state_->context;
    SSL_CTX_set_min_proto_version(context, TLS1_2_VERSION);
    // A server that closes without TLS's goodbye reads as an ordinary close; the news
    // framing (a reply line, a block's "." line) tells a cut-off reply from a whole one.
    SSL_CTX_set_options(context, SSL_OP_NO_COMPRESSION | SSL_OP_IGNORE_UNEXPECTED_EOF);
    SSL_CTX_set_mode(context, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    // SSL_CERT_FILE and SSL_CERT_DIR choose the store, as for every OpenSSL program.
    SSL_CTX_set_default_verify_paths(context);
    if (!Options.CaFile.empty() &&
        SSL_CTX_load_verify_locations(context, Options.CaFile.c_str(), nullptr) != 1)
        throw ESocketError("The certificate file " + Options.CaFile +
                           " cannot be read: " + OpenSslReason());
    SSL_CTX_set_verify(context, SSL_VERIFY_PEER, KeepFirstComplaint);

    state_->ssl = SSL_new(context);
    SSL *ssl = state_->ssl;
    SSL_set_ex_data(ssl, StateIndex(), state_.get());
    if (IsIpAddress(Options.Host)) {
        X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl), Options.Host.c_str());
    } else {
        SSL_set_tlsext_host_name(ssl, Options.Host.c_str());
        SSL_set1_host(ssl, Options.Host.c_str());
    }
    BIO *bio = BIO_new(TransportMethod());
    BIO_set_data(bio, state_.get());
    SSL_set_bio(ssl, bio, bio);
    SSL_set_connect_state(ssl);
}

TTlsLayer::~TTlsLayer() = default;

TTlsLayer::TStep TTlsLayer::Handshake() {
    ERR_clear_error();
    const int result = SSL_do_handshake(state_->ssl);
    if (result == 1) {
        CheckCertificate();
        return TStep::Done;
    }
    switch (SSL_get_error(state_->ssl, result)) {
    case SSL_ERROR_WANT_READ:
        return TStep::WantRead;
    case SSL_ERROR_WANT_WRITE:
        return TStep::WantWrite;
    default:
        RaiseFailure(result, "handshake");
    }
}

void TTlsLayer::CheckCertificate() {
    X509 *certificate = SSL_get0_peer_certificate(state_->ssl);
    if (certificate == nullptr)
        throw ESocketError("The news server " + state_->host + " sent no certificate.");
    subject_ = SubjectOf(certificate);
    fingerprint_ = FingerprintOf(certificate);
    if (state_->verifyError == X509_V_OK || fingerprint_ == state_->trusted)
        return;
    std::string message = "The certificate of the news server " + state_->host + " " +
                          Complaint(state_->verifyError, state_->host) + " (subject: " + subject_ +
                          "; SHA-256 fingerprint: " + fingerprint_ + ").";
    if (!state_->trusted.empty())
        message += " It is not the certificate you trusted for this server.";
    throw ECertificateError(message, subject_, fingerprint_);
}

int TTlsLayer::Read(char *Buffer, int Size) {
    ERR_clear_error();
    wantsWrite_ = false;
    return Outcome(SSL_read(state_->ssl, Buffer, Size), true);
}

int TTlsLayer::Write(const char *Buffer, int Size) {
    ERR_clear_error();
    wantsWrite_ = false;
    return Outcome(SSL_write(state_->ssl, Buffer, Size), false);
}

int TTlsLayer::Outcome(int Result, bool Reading) {
    if (Result > 0)
        return Result;
    switch (SSL_get_error(state_->ssl, Result)) {
    case SSL_ERROR_WANT_READ:
        return WouldBlock;
    case SSL_ERROR_WANT_WRITE:
        wantsWrite_ = true;
        return WouldBlock;
    case SSL_ERROR_ZERO_RETURN:
        // The peer's goodbye ends a read like a close; a write after it has failed.
        if (Reading)
            return 0;
        [[fallthrough]];
    default:
        RaiseFailure(Result, Reading ? "read" : "write");
    }
}

std::size_t TTlsLayer::Pending() const {
    return static_cast<std::size_t>(SSL_pending(state_->ssl));
}

std::string TTlsLayer::Protocol() const {
    return SSL_get_version(state_->ssl);
}

void TTlsLayer::RaiseFailure(int Result, const char *Doing) {
    const int error = SSL_get_error(state_->ssl, Result);
    const bool endOfInput =
        error == SSL_ERROR_SYSCALL || error == SSL_ERROR_ZERO_RETURN ||
        ERR_GET_REASON(ERR_peek_last_error()) == SSL_R_UNEXPECTED_EOF_WHILE_READING;
    const std::string reason = OpenSslReason();
    const bool handshake = std::string_view(Doing) == "handshake";
    if (state_->transportFailed)
        throw ESocketError("The connection to the news server broke during the secure (TLS) " +
                           std::string(Doing) + ".");
    if (endOfInput && handshake)
        throw ESocketError("The news server " + state_->host +
                           " closed the connection during the secure (TLS) handshake; it may "
                           "not offer TLS on this port.");
    if (endOfInput)
        throw ESocketError("The news server " + state_->host +
                           " closed the secure (TLS) connection without ending it properly.");
    if (handshake)
        throw ESocketError("The news server " + state_->host +
                           " did not answer as a secure (TLS) server (" + reason +
                           "); it may not offer TLS on this port.");
    throw ESocketError("The secure (TLS) connection to the news server " + state_->host +
                       " failed (" + reason + ").");
}

std::string TTlsLayer::NormalFingerprint(const std::string &Text) {
    std::string digits;
    for (char c : Text) {
        if (c == ':' || c == ' ')
            continue;
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return {};
        digits += UpperAsciiChar(c);
    }
    if (digits.size() != 64)
        return {};
    std::string text;
    for (std::size_t i = 0; i < digits.size(); i += 2) {
        if (i > 0)
            text += ':';
        text.append(digits, i, 2);
    }
    return text;
}

} // namespace vexil
