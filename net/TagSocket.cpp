#include "net/TagSocket.h"

#include "base/AsciiCase.h"
#include "base/MessageTable.h"
#include "net/NetErrors.h"
#include "net/ServerAddress.h"
#include "net/TagWinsock.h"
#include "platform/MessagePump.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <strings.h>
#include <unistd.h>

namespace vexil {

namespace {

TagWinsock &Winsock() {
    return TagWinsock::Instance();
}

// The longest wait of one pass, so that Cancel and the time-out are noticed at once.
constexpr int kPollMs = 10;
constexpr int kChunk = 16384;
// Large enough that a picture article of the usual size takes a read or two: every read
// costs a system call, a quick-ACK renewal and a progress report.
constexpr int kReceiveChunk = 64 * 1024;
constexpr std::size_t kMaxBuffered = kReceiveChunk;
constexpr std::string_view kPasswordCommand = "AUTHINFO PASS ";
// Of a fixed length, so that the log does not tell how long the password is.
constexpr std::string_view kPasswordMask = "********";
constexpr const char *kClosedMidBlock =
    "The server closed the connection before the end of the data";

int Fd(wsock::SOCKET s) {
    return s == wsock::INVALID_SOCKET ? -1 : static_cast<int>(s);
}

long SelectReply(long event, int error) {
    return wsock::WSAMAKEASYNCREPLY(static_cast<unsigned>(event), static_cast<unsigned>(error));
}

// Round half to even, as the percentage of a data block is rounded. A size header that lies
// must not make the progress run past the end.
int RoundedPercent(std::int64_t size, std::int64_t expected) {
    const std::int64_t scaled = size * 100;
    std::int64_t q = scaled / expected;
    const std::int64_t twice = (scaled % expected) * 2;
    if (twice > expected || (twice == expected && q % 2 != 0))
        ++q;
    return static_cast<int>(std::min<std::int64_t>(q, 100));
}

// The line as the command log keeps it: a password never reaches the file.
std::string LoggedLine(std::string_view Line) {
    if (StartsWithNoCase(Line, kPasswordCommand))
        return std::string(Line.substr(0, kPasswordCommand.size())) + std::string(kPasswordMask);
    return std::string(Line);
}

void WriteAll(int fd, std::string_view bytes, const std::string &path) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw EInOutError("Cannot write file " + path + ": " + std::strerror(errno));
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
}

} // namespace

TagSocket::TagSocket() : receiveBuffer_(std::make_unique_for_overwrite<char[]>(kReceiveChunk)) {
    SetWinsockLoaded(false);
}

TagSocket::~TagSocket() {
    try {
        if (Winsock().Loaded()) {
            CancelLookup();
            if (Connected())
                Winsock().closesocket(socket_);
            for (; startupTotal_ > 0; --startupTotal_)
                Winsock().WSACleanup();
        }
    } catch (const Exception &e) {
        std::fprintf(stderr, "vexil: closing the connection: %s\n", e.what());
    }
    if (logFileName_.empty())
        return;
    try {
        SaveLog();
    } catch (const Exception &e) {
        // A destructor cannot raise; SaveLog lets callers see the failure themselves.
        std::fprintf(stderr, "vexil: %s\n", e.what());
    }
}

bool TagSocket::WinsockLoaded() const {
    return Winsock().Loaded();
}

void TagSocket::SetWinsockLoaded(bool Value) {
    if (Value)
        Winsock().Load();
    else
        Winsock().Unload();
}

void TagSocket::ClearFlags() {
    canceled_ = false;
    counter_.SetTimedOut(false);
    hostResolved_ = servResolved_ = connectSeen_ = false;
    readSeen_ = writeSeen_ = closeSeen_ = errorSeen_ = false;
    asyncHandle_ = 0;
}

int TagSocket::ReplyCode(std::string_view Line) {
    if (Line.size() < 3)
        return -1;
    int code = 0;
    for (char c : Line.substr(0, 3)) {
        if (c < '0' || c > '9')
            return -1;
        code = code * 10 + (c - '0');
    }
    return code;
}

void TagSocket::CheckServer() {
    if (server_.empty())
        RaiseSocketError(kMsgServerRequired);
    try {
        CheckServerAddress(server_);
    } catch (const ESocketError &e) {
        RaiseFailure(e.Message());
    }
}

void TagSocket::OpenSocket() {
    if (OnOpen)
        OnOpen(this);
    CheckServer();
    if (Winsock().WSAStartup(0x0101, &startupData_) != 0)
        RaiseSocketError(kMsgInvalidWinsockVersion);
    ++startupTotal_;
    GetLocalName();
    ResolveHost();
    ResolvePort();
    CreateSocket();
}

std::string TagSocket::HostPart() const {
    return SplitServerAddress(server_).Host;
}

void TagSocket::GetLocalName() {
    char name[512] = {};
    if (Winsock().gethostname(name, sizeof name) != 0)
        localHost_ = HostPart();
    else
        localHost_ = name;
}

void TagSocket::ResolveHost() {
    // The host travels as a string of its own: a name of any length reaches the lookup
    // whole, and one that cannot exist fails there as "Host not found".
    const std::string host = HostPart();
    const wsock::u_long addr = Winsock().inet_addr(host.c_str());
    if (addr != wsock::WS_INADDR_NONE) {
        remoteAddr_ = addr;
        return;
    }
    // A flag left from an earlier lookup must not stand for this one.
    hostResolved_ = false;
    std::memset(hostBuffer_, 0, sizeof hostBuffer_);
    asyncHandle_ = Winsock().WSAAsyncGetHostByName(window_.Handle(), WM_HOSTRESOLVED, host.c_str(),
                                                   hostBuffer_, sizeof hostBuffer_);
    if (asyncHandle_ == 0)
        RaiseSocketError(static_cast<std::uint16_t>(Winsock().WSAGetLastError()));
    Wait(hostResolved_, false);
    if (hostResolved_)
        asyncHandle_ = 0;
    if (errorSeen_)
        RaiseSocketError(lastError_);
    if (counter_.TimedOut())
        RaiseTimedOut();
    if (canceled_)
        RaiseCanceled();
    ProcessMessages(0);

    const auto *entry = reinterpret_cast<const wsock::hostent *>(hostBuffer_);
    unsigned char bytes[4] = {};
    if (entry->h_addr_list != nullptr && entry->h_addr_list[0] != nullptr)
        std::memcpy(bytes, entry->h_addr_list[0], 4);
    remoteIP_ = std::to_string(bytes[0]) + "." + std::to_string(bytes[1]) + "." +
                std::to_string(bytes[2]) + "." + std::to_string(bytes[3]);
    remoteAddr_ = Winsock().inet_addr(remoteIP_.c_str());
    if (remoteAddr_ == wsock::WS_INADDR_NONE)
        RaiseSocketError(kMsgErrorResolvingHost);
}

void TagSocket::ResolvePort() {
    // CheckServer has refused a port that is no number from 1 to 65535.
    const ServerAddress address = SplitServerAddress(server_);
    if (address.Port != 0) {
        port_ = address.Port;
        return;
    }
    if (address.Secure || useTls_) {
        port_ = kSecureNewsPort;
        return;
    }
    if (service_.empty())
        RaiseSocketError(kMsgServiceRequired);
    if (canceled_)
        RaiseCanceled();
    servResolved_ = false;
    std::memset(servBuffer_, 0, sizeof servBuffer_);
    asyncHandle_ =
        Winsock().WSAAsyncGetServByName(window_.Handle(), WM_SERVRESOLVED, service_.c_str(), "tcp",
                                        servBuffer_, sizeof servBuffer_);
    if (asyncHandle_ == 0) {
        port_ = defaultPort_;
        return;
    }
    Wait(servResolved_, false);
    if (servResolved_)
        asyncHandle_ = 0;
    else
        CancelLookup();
    if (!errorSeen_ && !counter_.TimedOut()) {
        if (canceled_)
            RaiseCanceled();
        const auto *entry = reinterpret_cast<const wsock::servent *>(servBuffer_);
        port_ = Winsock().htons(static_cast<wsock::u_short>(entry->s_port));
    } else {
        port_ = defaultPort_;
    }
}

void TagSocket::CreateSocket() {
    socket_ = Winsock().socket(wsock::WS_AF_INET, wsock::WS_SOCK_STREAM, 0);
    if (socket_ == wsock::INVALID_SOCKET)
        RaiseSocketError(static_cast<std::uint16_t>(Winsock().WSAGetLastError()));
    framer_.Clear();
}

void TagSocket::ConnectSocket() {
    if (canceled_)
        RaiseCanceled();
    try {
        ConnectTcp();
    } catch (const ESocketError &) {
        // A connection that never came about leaves nothing to say goodbye on: a QUIT
        // later would only fail a second time.
        CloseSocket();
        throw;
    }
    if (TlsWanted())
        StartTls();
}

void TagSocket::ConnectTcp() {
    wsock::sockaddr_in addr{};
    addr.sin_family = wsock::WS_AF_INET;
    addr.sin_port = Winsock().htons(port_);
    addr.sin_addr.S_addr = remoteAddr_;
    if (Winsock().WSAAsyncSelect(socket_, window_.Handle(), WM_SOCKETEVENT, SocketEventMask) != 0)
        RaiseSocketError(static_cast<std::uint16_t>(Winsock().WSAGetLastError()));
    counter_.Start();
    connecting_ = true;
    if (Winsock().connect(socket_, reinterpret_cast<const wsock::sockaddr *>(&addr), sizeof addr) !=
        0) {
        const int code = Winsock().WSAGetLastError();
        if (code != wsock::WSAEWOULDBLOCK) {
            connecting_ = false;
            RaiseSocketError(static_cast<std::uint16_t>(code));
        }
    }
    Wait(connectSeen_, true);
    connecting_ = false;
    RaiseWaitFailure();
}

bool TagSocket::TlsWanted() const {
    return useTls_ || port_ == kSecureNewsPort || SplitServerAddress(server_).Secure;
}

void TagSocket::StartTls() {
    TTlsLayer::TOptions options;
    options.Host = HostPart();
    options.CaFile = caFile_;
    options.TrustedFingerprint = trustedFingerprint_;
    transportError_ = 0;
    try {
        tls_ = std::make_unique<TTlsLayer>(
            options, [this](char *b, int n) { return ReceiveRaw(b, n); },
            [this](const char *b, int n) { return SendRaw(b, n); });
    } catch (const ESocketError &e) {
        RaiseLayerFailure(e);
    }
    handshaking_ = true;
    counter_.Start();
    while (!canceled_ && !counter_.TimedOut() && Connected()) {
        try {
            handshakeWait_ = tls_->Handshake();
        } catch (const ESocketError &e) {
            handshaking_ = false;
            RaiseLayerFailure(e);
        }
        if (handshakeWait_ == TTlsLayer::TStep::Done)
            break;
        readSeen_ = writeSeen_ = false;
        ProcessMessages(kPollMs);
    }
    handshaking_ = false;
    counter_.Stop();
    if (counter_.TimedOut())
        RaiseTimedOut();
    if (canceled_)
        RaiseCanceled();
    if (!Connected())
        RaiseSocketError(kMsgNotConnected);
}

void TagSocket::RaiseLayerFailure(const ESocketError &Failure) {
    // A broken transport says so in the words of its own error.
    const int code = transportError_;
    CloseSocket();
    if (code != 0 && code != wsock::WSAEWOULDBLOCK)
        RaiseSocketError(static_cast<std::uint16_t>(code));
    counter_.Stop();
    if (OnError) {
        std::string msg = Failure.Message();
        OnError(this, msg);
    }
    if (const auto *certificate = dynamic_cast<const ECertificateError *>(&Failure))
        throw *certificate;
    throw ESocketError(Failure.Message());
}

int TagSocket::ReceiveRaw(char *Buffer, int Size) {
    const int n = Winsock().recv(socket_, Buffer, Size, 0);
    if (n != wsock::SOCKET_ERROR)
        return n;
    transportError_ = Winsock().WSAGetLastError();
    return transportError_ == wsock::WSAEWOULDBLOCK ? TTlsLayer::WouldBlock : TTlsLayer::Failed;
}

int TagSocket::SendRaw(const char *Buffer, int Size) {
    const int n = Winsock().send(socket_, Buffer, Size, 0);
    if (n != wsock::SOCKET_ERROR)
        return n;
    transportError_ = Winsock().WSAGetLastError();
    return transportError_ == wsock::WSAEWOULDBLOCK ? TTlsLayer::WouldBlock : TTlsLayer::Failed;
}

int TagSocket::ReceiveLayered(char *Buffer, int Size) {
    return tls_ ? tls_->Read(Buffer, Size) : ReceiveRaw(Buffer, Size);
}

int TagSocket::SendLayered(const char *Buffer, int Size) {
    return tls_ ? tls_->Write(Buffer, Size) : SendRaw(Buffer, Size);
}

int TagSocket::Receive(char *Buffer, int Size) {
    transportError_ = 0;
    if (deflate_)
        return ThroughLayer([&] { return deflate_->Read(Buffer, Size); });
    if (!tls_) {
        const int n = ReceiveRaw(Buffer, Size);
        return n >= 0 ? n : wsock::SOCKET_ERROR;
    }
    return ThroughLayer([&] { return tls_->Read(Buffer, Size); });
}

int TagSocket::ReceiveIntoFramer() {
    const int n = Receive(receiveBuffer_.get(), kReceiveChunk);
    if (n > 0)
        framer_.Feed(std::string_view(receiveBuffer_.get(), static_cast<std::size_t>(n)));
    return n;
}

int TagSocket::Transmit(const char *Buffer, int Size) {
    transportError_ = 0;
    if (deflate_)
        return ThroughLayer([&] { return deflate_->Write(Buffer, Size); });
    if (!tls_) {
        const int n = SendRaw(Buffer, Size);
        return n >= 0 ? n : wsock::SOCKET_ERROR;
    }
    return ThroughLayer([&] { return tls_->Write(Buffer, Size); });
}

void TagSocket::StartCompression() {
    if (!Connected())
        RaiseSocketError(kMsgNotConnected);
    if (framer_.Pending() > 0) {
        CloseSocket();
        RaiseFailure("The server sent data before its compression began");
    }
    deflate_ =
        std::make_unique<TDeflateLayer>([this](char *b, int n) { return ReceiveLayered(b, n); },
                                        [this](const char *b, int n) { return SendLayered(b, n); });
}

int TagSocket::ThroughLayer(const std::function<int()> &Move) {
    int n = 0;
    try {
        n = Move();
    } catch (const ESocketError &e) {
        RaiseLayerFailure(e);
    }
    if (n == TTlsLayer::Failed)
        return wsock::SOCKET_ERROR; // the transport's own error is in transportError_
    if (n != TTlsLayer::WouldBlock)
        return n;
    transportError_ = wsock::WSAEWOULDBLOCK;
    return wsock::SOCKET_ERROR;
}

void TagSocket::SendLine(std::string_view Line) {
    if (!Connected())
        RaiseSocketError(kMsgNotConnected);
    // A line break inside would send a second command the caller never meant.
    if (Line.find_first_of("\r\n") != std::string_view::npos)
        RaiseSocketError(wsock::WSAEINVAL);
    const std::string text = std::string(Line) + "\r\n";
    std::size_t sent = 0;
    counter_.Start();
    while (sent < text.size() && !counter_.TimedOut() && !canceled_) {
        ProcessMessages(sendBlocked_ ? kPollMs : 0);
        if (canceled_ || !Connected())
            break;
        const int n = Transmit(text.data() + sent,
                               static_cast<int>(std::min<std::size_t>(text.size() - sent, kChunk)));
        sendBlocked_ = n == wsock::SOCKET_ERROR;
        if (n == wsock::SOCKET_ERROR) {
            const int code = transportError_;
            if (code != wsock::WSAEWOULDBLOCK && !canceled_) {
                sendBlocked_ = false;
                RaiseSocketError(static_cast<std::uint16_t>(code));
            }
        } else {
            sent += static_cast<std::size_t>(n);
        }
    }
    sendBlocked_ = false;
    counter_.Stop();
    if (counter_.TimedOut())
        RaiseTimedOut();
    if (canceled_)
        RaiseCanceled();
    if (!logFileName_.empty())
        logLines_.push_back(LoggedLine(Line));
}

void TagSocket::WaitForRead() {
    Wait(readSeen_, true);
    RaiseWaitFailure();
}

void TagSocket::RaiseWaitFailure() {
    if (canceled_)
        RaiseCanceled();
    if (counter_.TimedOut())
        RaiseTimedOut();
    if (errorSeen_)
        RaiseSocketError(lastError_);
}

void TagSocket::RaiseTooLong() {
    // The rest of the line or block would put the exchange out of step: end the connection.
    CloseSocket();
    RaiseSocketError(wsock::WSAEMSGSIZE);
    throw ESocketError(MessageText(wsock::WSAEMSGSIZE));
}

int TagSocket::ReadLine(std::string &Line) {
    if (!Connected())
        RaiseSocketError(kMsgNotConnected);
    std::string received;
    bool complete = false;
    // The log gets the line, or an empty entry, however the read ends.
    struct LogOnExit {
        TagSocket &socket;
        const std::string &line;
        const bool &complete;
        ~LogOnExit() { socket.AddToLog(complete ? line : std::string()); }
    } log{*this, Line, complete};

    Line.clear();
    // Bytes an earlier read took from the socket bring no read event of their own.
    if (framer_.Unexamined() == 0)
        WaitForRead();
    else
        RaiseWaitFailure();
    counter_.Start();
    readSeen_ = false;
    ProcessMessages(0);
    while (!canceled_ && !counter_.TimedOut()) {
        const TNntpFramer::TStatus status = framer_.TakeLine(received);
        if (status == TNntpFramer::TStatus::Complete) {
            complete = true;
            break;
        }
        if (status == TNntpFramer::TStatus::TooLong)
            RaiseTooLong();
        const int n = Connected() ? ReceiveIntoFramer() : 0;
        if (n > 0)
            continue;
        if (n == 0)
            WindowProc(WM_SOCKETEVENT, SelectReply(wsock::FD_CLOSE, 0));
        if (n == wsock::SOCKET_ERROR) {
            const int code = transportError_;
            if (code != wsock::WSAEWOULDBLOCK && !canceled_)
                RaiseSocketError(static_cast<std::uint16_t>(code));
        }
        if (n == 0 && closeSeen_)
            break;
        ProcessMessages(kPollMs);
    }
    counter_.Stop();
    int result = -1;
    if (complete) {
        Line = std::move(received);
        result = ReplyCode(Line);
    }
    if (counter_.TimedOut()) {
        complete = false;
        RaiseTimedOut();
    }
    if (canceled_) {
        complete = false;
        RaiseCanceled();
    }
    return result;
}

void TagSocket::FireProgress(std::int64_t Size, std::int64_t Expected) {
    if (!OnProgress)
        return;
    const int transferred = static_cast<int>(std::min<std::int64_t>(Size, INT32_MAX));
    OnProgress(this, Expected >= 1 ? RoundedPercent(Size, Expected) : -1, transferred);
}

void TagSocket::ReadData(TStream &Stream, int Expected, std::int64_t Limit) {
    FrameBlock(Expected, Limit, &Stream);
}

std::string TagSocket::ReadBlock(int Expected, std::int64_t Limit) {
    FrameBlock(Expected, Limit, nullptr);
    return framer_.TakeBlock();
}

void TagSocket::FrameBlock(int Expected, std::int64_t Limit, TStream *PassOn) {
    if (!Connected())
        RaiseSocketError(kMsgNotConnected);
    std::int64_t expected = Expected;
    if (sizeInLines_ && Expected != -1)
        expected *= BytesPerLine;
    // The reply line's read may have brought the whole block already; no further read
    // event comes for bytes that were taken from the socket.
    if (framer_.Unexamined() == 0)
        WaitForRead();
    else
        RaiseWaitFailure();
    readSeen_ = false;

    framer_.StartBlock(Limit);
    bool done = false;
    counter_.Start();
    while (!done) {
        int n;
        if (framer_.Unexamined() > 0) {
            n = static_cast<int>(std::min<std::size_t>(framer_.Unexamined(), kReceiveChunk));
        } else {
            n = Connected() ? ReceiveIntoFramer() : 0;
        }
        if (n == wsock::SOCKET_ERROR) {
            const int code = transportError_;
            if (code != wsock::WSAEWOULDBLOCK && !canceled_)
                RaiseSocketError(static_cast<std::uint16_t>(code));
        }
        if (n == 0 && !canceled_) {
            // Nothing buffered and the peer has gone: the block can never be completed.
            counter_.Stop();
            CloseSocket();
            RaiseFailure(kClosedMidBlock);
        }
        FireProgress(framer_.BlockWireSize(), expected);
        if (n > 0) {
            const TNntpFramer::TStatus status = framer_.Frame(kReceiveChunk);
            if (status == TNntpFramer::TStatus::TooLong)
                RaiseTooLong();
            if (PassOn != nullptr) {
                const std::string_view bytes = framer_.Block();
                PassOn->Write(bytes.data(), bytes.size());
                framer_.DropBlock();
            }
            done = status == TNntpFramer::TStatus::Complete;
            counter_.Start();
        }
        ProcessMessages(n > 0 ? 0 : kPollMs);
        if (canceled_ || counter_.TimedOut())
            break;
    }
    counter_.Stop();
    if (counter_.TimedOut())
        RaiseTimedOut();
    if (canceled_)
        RaiseCanceled();
}

void TagSocket::CloseSocket() {
    if (!Connected())
        return;
    if (OnClosing)
        OnClosing(this);
    deflate_.reset();
    tls_.reset();
    handshaking_ = false;
    Winsock().closesocket(socket_);
    socket_ = wsock::INVALID_SOCKET;
    connecting_ = sendBlocked_ = false;
    framer_.Clear();
    if (OnClosed)
        OnClosed(this);
}

void TagSocket::CancelLookup() {
    if (asyncHandle_ != 0)
        Winsock().WSACancelAsyncRequest(asyncHandle_);
    asyncHandle_ = 0;
}

void TagSocket::Cancel() {
    canceled_ = true;
    if (OnCancel)
        OnCancel(this);
    CancelLookup();
    CloseSocket();
}

void TagSocket::RaiseSocketError(std::uint16_t Code) {
    if (Code == 0)
        return;
    counter_.Stop();
    std::string msg = MessageText(Code);
    if (OnError)
        OnError(this, msg);
    if (Code == wsock::WSAECONNRESET)
        CloseSocket();
    throw ESocketError(msg);
}

void TagSocket::RaiseFailure(std::string Msg) {
    counter_.Stop();
    if (OnError)
        OnError(this, Msg);
    throw ESocketError(Msg);
}

void TagSocket::RaiseTimedOut() {
    counter_.Stop();
    std::string msg = MessageText(kMsgTimedOut);
    if (OnError)
        OnError(this, msg);
    CancelLookup();
    if (Winsock().WSAIsBlocking())
        Winsock().WSACancelBlockingCall();
    CloseSocket();
    throw ETimedOutError();
}

void TagSocket::RaiseCanceled() {
    counter_.Stop();
    std::string msg = MessageText(kMsgCanceled);
    if (OnError)
        OnError(this, msg);
    throw ECanceledError();
}

void TagSocket::AddToLog(const std::string &Line) {
    if (!logFileName_.empty())
        logLines_.push_back(Line);
}

void TagSocket::SaveLog() const {
    std::string text;
    for (const std::string &line : logLines_) {
        text += line;
        text += "\r\n";
    }
    // A new file of the user's own beside the log, renamed over it: whatever lies under the
    // log's name (a link planted by someone else above all) is replaced, never written to.
    std::string temporary = logFileName_ + ".XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0)
        throw EFCreateError(logFileName_);
    // mkostemp made it mode 0600.
    try {
        WriteAll(fd, text, logFileName_);
    } catch (...) {
        ::close(fd);
        ::unlink(temporary.c_str());
        throw;
    }
    if (::close(fd) != 0) {
        ::unlink(temporary.c_str());
        throw EInOutError("Cannot write file " + logFileName_ + ": " + std::strerror(errno));
    }
    if (::rename(temporary.c_str(), logFileName_.c_str()) != 0) {
        ::unlink(temporary.c_str());
        throw EFCreateError(logFileName_);
    }
}

void TagSocket::WindowProc(unsigned Msg, std::int64_t LParam) {
    const std::uint16_t error = wsock::WSAGETASYNCERROR(LParam);
    switch (Msg) {
    case WM_HOSTRESOLVED:
        hostResolved_ = true;
        break;
    case WM_SERVRESOLVED:
        servResolved_ = true;
        break;
    case WM_SOCKETEVENT:
        break;
    default:
        return;
    }
    lastError_ = error;
    errorSeen_ = error != 0;
    if (Msg != WM_SOCKETEVENT || errorSeen_)
        return;
    switch (wsock::WSAGETSELECTEVENT(LParam)) {
    case wsock::FD_READ:
        readSeen_ = true;
        break;
    case wsock::FD_WRITE:
        writeSeen_ = true;
        break;
    case wsock::FD_CONNECT:
        connectSeen_ = true;
        break;
    case wsock::FD_CLOSE:
        closeSeen_ = true;
        break;
    default:
        break;
    }
}

short TagSocket::SocketEventsWanted() const {
    if (!Connected())
        return 0;
    if (connecting_)
        return POLLOUT;
    if (handshaking_)
        return handshakeWait_ == TTlsLayer::TStep::WantWrite ? POLLOUT : POLLIN;
    const bool layerWrites = (tls_ && tls_->WantsWrite()) || (deflate_ && deflate_->WantsWrite());
    short events = sendBlocked_ || layerWrites ? POLLOUT : 0;
    // After the peer closed, the socket stays readable for ever: waiting on it would spin.
    if (!closeSeen_)
        events |= POLLIN;
    return events;
}

void TagSocket::TranslateSocketEvents(short Events) {
    if (connecting_) {
        if (Events & (POLLERR | POLLHUP)) {
            // The pending error of a failed connect comes back from the next receive.
            char byte;
            int code = wsock::WSAECONNREFUSED;
            if (Winsock().recv(socket_, &byte, 1, wsock::WS_MSG_PEEK) == wsock::SOCKET_ERROR)
                code = Winsock().WSAGetLastError();
            connecting_ = false;
            WindowProc(WM_SOCKETEVENT, SelectReply(wsock::FD_CONNECT, code));
        } else if (Events & POLLOUT) {
            connecting_ = false;
            WindowProc(WM_SOCKETEVENT, SelectReply(wsock::FD_CONNECT, 0));
            WindowProc(WM_SOCKETEVENT, SelectReply(wsock::FD_WRITE, 0));
        }
        return;
    }
    if (Events & POLLOUT)
        WindowProc(WM_SOCKETEVENT, SelectReply(wsock::FD_WRITE, 0));
    if (!(Events & (POLLIN | POLLERR | POLLHUP)))
        return;
    if (handshaking_) {
        // The handshake reads for itself; the wait only has to end.
        WindowProc(WM_SOCKETEVENT, SelectReply(wsock::FD_READ, 0));
        return;
    }
    if (framer_.Pending() >= kMaxBuffered) {
        // Enough is waiting to be read; a server that floods us is not read ahead of need.
        WindowProc(WM_SOCKETEVENT, SelectReply(wsock::FD_READ, 0));
        return;
    }
    // Whatever has arrived is taken at once: the reads that follow find it buffered, and
    // the server gets its acknowledgement without delay.
    const int n = ReceiveIntoFramer();
    if (n > 0) {
        WindowProc(WM_SOCKETEVENT, SelectReply(wsock::FD_READ, 0));
    } else if (n == 0) {
        // An orderly close is readable too: the read that follows sees the end at once.
        WindowProc(WM_SOCKETEVENT, SelectReply(wsock::FD_READ, 0));
        WindowProc(WM_SOCKETEVENT, SelectReply(wsock::FD_CLOSE, 0));
    } else if (const int code = transportError_; code != wsock::WSAEWOULDBLOCK) {
        WindowProc(WM_SOCKETEVENT, SelectReply(wsock::FD_CLOSE, code));
    }
}

void TagSocket::ProcessMessages(int WaitMs) {
    // At the pump's own pace, waiting or not: a reply on a near server ends the wait within
    // microseconds, and a pass of the interface for every command would cost more than the
    // exchange itself. A long wait still lets it in at that pace, as each pass waits at most
    // kPollMs.
    ProcessPendingMessages();
    if (framer_.Unexamined() > 0 || (tls_ && !handshaking_ && tls_->Pending() > 0) ||
        (deflate_ && deflate_->Pending())) {
        // Bytes already here are as good as a read notification.
        WindowProc(WM_SOCKETEVENT, SelectReply(wsock::FD_READ, 0));
        WaitMs = 0;
    } else if (closeSeen_ && Connected()) {
        // After the peer closed, a read finds the end at once; a wait for data must not
        // outlast the connection.
        WindowProc(WM_SOCKETEVENT, SelectReply(wsock::FD_READ, 0));
    }
    // A pass that does not wait is followed by a receive or send of its own, which sees
    // what the socket has; only a pending lookup needs looking at then.
    if (WaitMs == 0 && asyncHandle_ == 0) {
        counter_.Poll();
        return;
    }
    const short wanted = SocketEventsWanted();
    bool posted = false;
    const short seen = window_.Wait(wanted != 0 ? Fd(socket_) : -1, wanted, WaitMs, posted);
    while (posted) {
        const auto message = window_.NextMessage();
        if (!message)
            break;
        // A lookup that was given up may still have posted its end; only the pending one
        // counts.
        if (message->wParam == asyncHandle_ && asyncHandle_ != 0)
            WindowProc(message->message, message->lParam);
    }
    if (seen != 0 && Connected())
        TranslateSocketEvents(seen);
    counter_.Poll();
}

void TagSocket::Wait(const bool &Flag, bool ErrorEnds) {
    counter_.Start();
    while (!Flag && !canceled_ && !counter_.TimedOut() && !(ErrorEnds && errorSeen_))
        ProcessMessages(kPollMs);
    counter_.Stop();
}

} // namespace vexil
