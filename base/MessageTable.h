#pragma once
// The one table from which every error text of the transport and the article classes comes:
// the suite's numbered messages (57000 upward) and the Winsock error texts, looked up by a
// 16-bit number.

#include <cstdint>
#include <string>

namespace vexil {

// Suite messages.
inline constexpr std::uint16_t kMsgTimedOut = 57000;
inline constexpr std::uint16_t kMsgCanceled = 57001;
inline constexpr std::uint16_t kMsgServerRequired = 57002;
inline constexpr std::uint16_t kMsgInvalidWinsockVersion = 57003;
inline constexpr std::uint16_t kMsgErrorResolvingHost = 57004;
inline constexpr std::uint16_t kMsgServiceRequired = 57005;
inline constexpr std::uint16_t kMsgNotConnected = 57008;
inline constexpr std::uint16_t kMsgFunctionNotFound = 57010;
inline constexpr std::uint16_t kMsgWinsockNotLoaded = 57011;
inline constexpr std::uint16_t kMsgWinsockNotFound = 57012;
inline constexpr std::uint16_t kMsgSenderRequired = 57100;
inline constexpr std::uint16_t kMsgMultipartPreamble = 57106;
inline constexpr std::uint16_t kMsgUnableToRetrieveHeaders = 57107;
inline constexpr std::uint16_t kMsgMissingContentType = 57108;
inline constexpr std::uint16_t kMsgNoClosingBoundary = 57109;
inline constexpr std::uint16_t kMsgNoBoundary = 57110;
inline constexpr std::uint16_t kMsgAttachmentDecodeError = 57111;
inline constexpr std::uint16_t kMsgNewsgroupHeaderRequired = 57115;
inline constexpr std::uint16_t kMsgSubjectRequired = 57116;
inline constexpr std::uint16_t kMsgNewsgroupNotSelected = 57117;

// The text for Number; "Error #" followed by the number when the table has none.
std::string MessageText(std::uint16_t Number);

// Whether the table holds a text for Number.
bool HasMessageText(std::uint16_t Number);

} // namespace vexil
