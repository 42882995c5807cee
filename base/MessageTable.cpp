#include "base/MessageTable.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace vexil {

namespace {

struct Entry {
    std::uint16_t number;
    std::string_view text;
};

// Sorted by number for the binary search below.
constexpr std::array kTable = {
    Entry{10000, "[0] No Error"},
    Entry{10004, "[10004] Interrupted function call"},
    Entry{10009, "[10009] Bad file number"},
    Entry{10013, "[10013] Permission denied."},
    Entry{10014, "[10014] Bad address"},
    Entry{10022, "[10022] Invalid argument"},
    Entry{10024, "[10024] Too many open files"},
    Entry{10035, "[10035] Resource temporarily not available"},
    Entry{10036, "[10036] Operation now in progress"},
    Entry{10037, "[10037] Operation already in progress"},
    Entry{10038, "[10038] Socket operation on non-socket"},
    Entry{10039, "[10039] Destination address required"},
    Entry{10040, "[10040] Message too long"},
    Entry{10041, "[10041] Protocol wrong type for socket"},
    Entry{10042, "[10042] Bad protocol option"},
    Entry{10043, "[10043] Protocol not supported"},
    Entry{10044, "[10044] Socket type not supported"},
    Entry{10045, "[10045] Operation not supported"},
    Entry{10046, "[10046] Protocol family not supported"},
    Entry{10047, "[10047] Address family not supported by protocol family"},
    Entry{10048, "[10048] Address already in use"},
    Entry{10049, "[10049] Cannot assign requested address"},
    Entry{10050, "[10050] Network is down"},
    Entry{10051, "[10051] Network is unreachable"},
    Entry{10052, "[10052] Network dropped connection or reset"},
    Entry{10053, "[10053] Software caused connection abort"},
    Entry{10054, "[10054] Connection reset by peer"},
    Entry{10055, "[10055] No buffer space available"},
    Entry{10056, "[10056] Socket is already connected"},
    Entry{10057, "[10057] Socket is not connected"},
    Entry{10058, "[10058] Can't send after socket shutdown"},
    Entry{10059, "[10059] Too many references, can't splice"},
    Entry{10060, "[10060] Connection timed out"},
    Entry{10061, "[10061] Connection refused"},
    Entry{10062, "[10062] Too many levels of symbolic links"},
    Entry{10063, "[10063] File name too long"},
    Entry{10064, "[10064] Host is down"},
    Entry{10065, "[10065] No Route to Host"},
    Entry{10066, "[10066] Directory not empty"},
    Entry{10067, "[10067] Too many processes"},
    Entry{10068, "[10068] Too many users"},
    Entry{10069, "[10069] Disc Quota Exceeded"},
    Entry{10070, "[10070] Stale NFS file handle"},
    Entry{10071, "[10071] Too many levels of remote in path"},
    Entry{10091, "[10091] Network subsystem is unavailable"},
    Entry{10092, "[10092] WINSOCK DLL Version out of range"},
    Entry{10093, "[10093] Successful WSAStartup() not yet performed"},
    Entry{10094, "[10094] Graceful shutdown in progress"},
    Entry{11001, "[11001] Host not found"},
    Entry{11002, "[11002] Non-Authoritative Host not found"},
    Entry{11003, "[11003] Non-Recoverable errors: FORMERR, REFUSED, NOTIMP"},
    Entry{11004, "[11004] Valid name, no data record of requested type"},
    Entry{kMsgTimedOut, "Operation timed out"},
    Entry{kMsgCanceled, "Operation has been canceled"},
    Entry{kMsgServerRequired, "Server property is required"},
    Entry{kMsgInvalidWinsockVersion, "Invalid Winsock version"},
    Entry{kMsgErrorResolvingHost, "Error resolving remote host"},
    Entry{kMsgServiceRequired, "Service name is required"},
    Entry{kMsgNotConnected, "You have to connect to the server first"},
    Entry{kMsgFunctionNotFound, "Function %s not found"},
    Entry{kMsgWinsockNotLoaded, "Winsock is not loaded"},
    Entry{kMsgWinsockNotFound, "Winsock not found"},
    Entry{kMsgSenderRequired, "The address of sender is required"},
    Entry{kMsgMultipartPreamble, "This is a multipart message in MIME format"},
    Entry{kMsgUnableToRetrieveHeaders, "Unable to retrieve headers"},
    Entry{kMsgMissingContentType, "Missing required field: Content-Type"},
    Entry{kMsgNoClosingBoundary, "Cannot find closing boundary"},
    Entry{kMsgNoBoundary, "Cannot find boundary"},
    Entry{kMsgAttachmentDecodeError, "Error decoding the attachment"},
    Entry{kMsgNewsgroupHeaderRequired, "Newsgroup header is required"},
    Entry{kMsgSubjectRequired, "Subject header is required"},
    Entry{kMsgNewsgroupNotSelected, "Newsgroup has not been selected"},
};

static_assert(std::is_sorted(kTable.begin(), kTable.end(),
                             [](const Entry &a, const Entry &b) { return a.number < b.number; }));

const Entry *Find(std::uint16_t number) {
    const auto it = std::lower_bound(kTable.begin(), kTable.end(), number,
                                     [](const Entry &e, std::uint16_t n) { return e.number < n; });
    return it != kTable.end() && it->number == number ? &*it : nullptr;
}

} // namespace

std::string MessageText(std::uint16_t Number) {
    if (const Entry *e = Find(Number))
        return std::string(e->text);
    return "Error #" + std::to_string(Number);
}

bool HasMessageText(std::uint16_t Number) {
    return Find(Number) != nullptr;
}

} // namespace vexil
