#pragma once
// The socket component: resolves the server, connects over TCP and exchanges command lines,
// reply lines and multi-line data blocks with it. Every wait runs on the caller's thread and
// keeps the user interface alive through the message-pump hook, so the user's commands
// (Cancel above all) and the component's own event handlers run nested inside a wait.

#include "net/NetErrors.h"
#include "net/NetEvents.h"
#include "net/TDeflateLayer.h"
#include "net/TNntpFramer.h"
#include "net/TSocketWindow.h"
#include "net/TTimeCounter.h"
#include "net/TTlsLayer.h"
#include "net/winsock/Winsock.h"
#include "platform/Object.h"
#include "platform/TStream.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace vexil {

class TagSocket : public TObject {
public:
    // The messages the library posts to the component's window.
    static constexpr unsigned WM_HOSTRESOLVED = 1172;
    static constexpr unsigned WM_SERVRESOLVED = 1173;
    static constexpr unsigned WM_SOCKETEVENT = 1174;
    // FD_READ | FD_WRITE | FD_CONNECT | FD_CLOSE.
    static constexpr long SocketEventMask = 51;
    // A reply line longer than this is refused, and a data block larger than this ends the
    // connection: a hostile server must not exhaust memory.
    static constexpr std::size_t MaxReplyLine = TNntpFramer::MaxReplyLine;
    static constexpr std::int64_t MaxDataBlock = TNntpFramer::MaxDataBlock;
    // No real article's header comes near this; a larger header block is refused.
    static constexpr std::int64_t MaxHeaderBlock = 1024 * 1024;
    // Bytes a line counts for when SizeInLines turns a line count into a size.
    static constexpr int BytesPerLine = 76;

    TagSocket();
    TagSocket(const TagSocket &) = delete;
    TagSocket &operator=(const TagSocket &) = delete;
    // Cancels a pending lookup, undoes the start-ups and writes the command log.
    ~TagSocket() override;

    // A host (name or dotted IPv4 address), optionally followed by ":" and a port, the whole
    // optionally behind "nntps://" for a secure connection.
    const std::string &Server() const { return server_; }
    void SetServer(std::string Value) { server_ = std::move(Value); }
    // When not empty, command and reply lines are kept and written to this file at the end
    // (the password of AUTHINFO PASS as asterisks).
    const std::string &LogFileName() const { return logFileName_; }
    void SetLogFileName(std::string Value) { logFileName_ = std::move(Value); }
    std::uint16_t DefaultPort() const { return defaultPort_; }
    void SetDefaultPort(std::uint16_t Value) { defaultPort_ = Value; }
    bool SizeInLines() const { return sizeInLines_; }
    void SetSizeInLines(bool Value) { sizeInLines_ = Value; }
    const std::string &Service() const { return service_; }
    void SetService(std::string Value) { service_ = std::move(Value); }
    int TimeOut() const { return counter_.TimeOut(); }
    void SetTimeOut(int Seconds) { counter_.SetTimeOut(Seconds); }
    // Whether the program's socket library is loaded; setting loads or unloads it. Every new
    // component unloads it, so its owner sets True once the component is made.
    bool WinsockLoaded() const;
    void SetWinsockLoaded(bool Value);
    // The user's switch for TLS. TLS is also on for an "nntps://" address and for port 563;
    // with it on, a server written without a port is reached on 563.
    bool UseTls() const { return useTls_; }
    void SetUseTls(bool Value) { useTls_ = Value; }
    // Authorities trusted beside the system's store (PEM); empty for none.
    const std::string &CaFile() const { return caFile_; }
    void SetCaFile(std::string Value) { caFile_ = std::move(Value); }
    // The SHA-256 fingerprint of a certificate the user trusts for this server although it
    // fails the check; any other failing certificate is still refused.
    const std::string &TrustedFingerprint() const { return trustedFingerprint_; }
    void SetTrustedFingerprint(std::string Value) { trustedFingerprint_ = std::move(Value); }
    // Whether the open connection runs over TLS (its handshake done).
    bool Secure() const { return tls_ != nullptr && !handshaking_; }
    // The TLS layer of the open connection, for its certificate and protocol; null for none.
    const TTlsLayer *Tls() const { return tls_.get(); }
    // Turns the open connection into a compressed one, from the next byte on in both
    // directions: the server has just accepted "COMPRESS DEFLATE". Bytes already received
    // beyond that reply would be out of step, and end the connection.
    void StartCompression();
    // The compression of the open connection; null for none.
    const TDeflateLayer *Compression() const { return deflate_.get(); }

    bool Connected() const { return socket_ != wsock::INVALID_SOCKET; }
    std::uint32_t RemoteAddr() const { return remoteAddr_; }
    const std::string &RemoteIP() const { return remoteIP_; }
    const std::string &LocalHost() const { return localHost_; }
    std::uint16_t Port() const { return port_; }
    int StartupTotal() const { return startupTotal_; }
    wsock::HANDLE AsyncHandle() const { return asyncHandle_; }
    std::uint16_t LastError() const { return lastError_; }
    bool Canceled() const { return canceled_; }
    bool HostResolved() const { return hostResolved_; }
    bool ServResolved() const { return servResolved_; }
    bool ConnectSeen() const { return connectSeen_; }
    bool ReadSeen() const { return readSeen_; }
    bool WriteSeen() const { return writeSeen_; }
    bool CloseSeen() const { return closeSeen_; }
    bool ErrorSeen() const { return errorSeen_; }
    bool TimedOut() const { return counter_.TimedOut(); }
    const std::vector<std::string> &LogLines() const { return logLines_; }

    virtual void ClearFlags();
    // The first three characters of Line as a decimal number; -1 when they are not one.
    virtual int ReplyCode(std::string_view Line);
    // Starts the library, resolves host and port and creates the socket; does not connect.
    virtual void OpenSocket();
    virtual void CloseSocket();
    // Marks the running operation cancelled and closes the socket; the operation that waits
    // fails with ECanceledError.
    virtual void Cancel();

    // Connects, and over TLS completes the handshake and the certificate check: a
    // certificate that fails it raises ECertificateError.
    void ConnectSocket();
    // Sends Line followed by CR LF.
    void SendLine(std::string_view Line);
    // Reads one reply line (without its line break) and returns its code, -1 when no line
    // arrived.
    int ReadLine(std::string &Line);
    // Appends a multi-line block as it was posted: un-stuffed, without its final "." line.
    // Expected is the size for the progress figures (lines when SizeInLines), -1 for none;
    // the percentage never passes 100. A block larger than Limit bytes as received ends the
    // connection with "Message too long"; a connection closed before the block's end ends
    // it at once.
    void ReadData(TStream &Stream, int Expected, std::int64_t Limit = MaxDataBlock);
    // The same, the block handed out whole in the buffer it was received into.
    std::string ReadBlock(int Expected, std::int64_t Limit = MaxDataBlock);

    // The failure paths: each fires OnError first. A Code of 0 is no failure.
    void RaiseSocketError(std::uint16_t Code);
    [[noreturn]] void RaiseTimedOut();
    [[noreturn]] void RaiseCanceled();

    // Writes the command log to LogFileName, mode 0600: a new file beside it is renamed over
    // the name, so a symbolic link found there is replaced, not followed. The destructor
    // calls it. Throws EFCreateError or EInOutError.
    void SaveLog() const;

    // Where every notification enters, as the hidden window's procedure.
    void WindowProc(unsigned Msg, std::int64_t LParam);

    TNotifyEvent OnOpen;
    TNotifyEvent OnClosing;
    TNotifyEvent OnClosed;
    TNotifyEvent OnCancel;
    TmsProgressEvent OnProgress;
    TmsErrorEvent OnError;

protected:
    // Refuses an empty Server and a port that is not a number from 1 to 65535.
    void CheckServer();
    // One pass of the message loop: the user interface's pending messages, then at most
    // WaitMs of waiting for a notification, which is turned into the flags.
    void ProcessMessages(int WaitMs);

private:
    enum class WaitFor { Host, Service, Connect, Read };

    void GetLocalName();
    void ResolveHost();
    void ResolvePort();
    void CreateSocket();
    // Starts the counter and pumps until the flag, a cancel, a time-out or (ErrorEnds) an
    // error notification.
    void Wait(const bool &Flag, bool ErrorEnds);
    void WaitForRead();
    // The outcome of a wait that may also end on an error notification, in that order:
    // cancelled, timed out, error.
    void RaiseWaitFailure();
    void TranslateSocketEvents(short Events);
    short SocketEventsWanted() const;
    void AddToLog(const std::string &Line);
    void CancelLookup();
    std::string HostPart() const;
    [[noreturn]] void RaiseTooLong();
    // The error path for a message of the transport's own that has no number.
    [[noreturn]] void RaiseFailure(std::string Msg);
    void FireProgress(std::int64_t Size, std::int64_t Expected);
    // Frames a block from the socket; with PassOn, its bytes go there as they come.
    void FrameBlock(int Expected, std::int64_t Limit, TStream *PassOn);
    // Whether the server is spoken to over TLS, from the address, the port and the switch.
    bool TlsWanted() const;
    void ConnectTcp();
    void StartTls();
    // recv and send with Winsock's results, through TLS when it is on; the error of a
    // SOCKET_ERROR is in transportError_. A TLS failure ends the connection and raises.
    int Receive(char *Buffer, int Size);
    // Receives into the framer; the count as Receive gives it.
    int ReceiveIntoFramer();
    int Transmit(const char *Buffer, int Size);
    // The transport under TLS, with the layer's result convention.
    int ReceiveRaw(char *Buffer, int Size);
    int SendRaw(const char *Buffer, int Size);
    // The transport below the compression, plain or TLS, with the layers' convention.
    int ReceiveLayered(char *Buffer, int Size);
    int SendLayered(const char *Buffer, int Size);
    // A failure of the TLS or compression layer ends the connection.
    [[noreturn]] void RaiseLayerFailure(const ESocketError &Failure);
    // A read or write of a layer with Winsock's results.
    int ThroughLayer(const std::function<int()> &Move);

    std::string server_;
    std::string logFileName_;
    std::uint16_t defaultPort_ = 0;
    bool sizeInLines_ = false;
    std::string service_;
    bool useTls_ = false;
    std::string caFile_;
    std::string trustedFingerprint_;

    TSocketWindow window_;
    wsock::WSADATA startupData_{};
    wsock::SOCKET socket_ = wsock::INVALID_SOCKET;
    wsock::HANDLE asyncHandle_ = 0;
    TTimeCounter counter_{60};
    std::uint32_t remoteAddr_ = 0;
    std::string remoteIP_;
    std::string localHost_;
    std::uint16_t port_ = 0;
    int startupTotal_ = 0;
    std::vector<std::string> logLines_;

    bool canceled_ = false;
    bool hostResolved_ = false;
    bool servResolved_ = false;
    bool connectSeen_ = false;
    bool readSeen_ = false;
    bool writeSeen_ = false;
    bool closeSeen_ = false;
    bool errorSeen_ = false;
    std::uint16_t lastError_ = 0;

    // Between connect and its notification, and while a send waits for room.
    bool connecting_ = false;
    bool sendBlocked_ = false;
    std::unique_ptr<TTlsLayer> tls_;
    std::unique_ptr<TDeflateLayer> deflate_;
    bool handshaking_ = false;
    // What the handshake's last step waits for.
    TTlsLayer::TStep handshakeWait_ = TTlsLayer::TStep::Done;
    int transportError_ = 0;
    // Bytes received but not yet handed out: what follows a reply line's line feed or a
    // block's "." line stays here for the next ReadLine or ReadData.
    TNntpFramer framer_;
    // One for the socket's life: a fresh buffer per read would be paid in page faults.
    std::unique_ptr<char[]> receiveBuffer_;
    // The results of the lookups, written by the library; aligned for its structures.
    alignas(std::max_align_t) char hostBuffer_[wsock::MAXGETHOSTSTRUCT] = {};
    alignas(std::max_align_t) char servBuffer_[wsock::MAXGETHOSTSTRUCT] = {};
};

} // namespace vexil
