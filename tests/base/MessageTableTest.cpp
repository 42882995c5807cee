#include "base/MessageTable.h"

#include <gtest/gtest.h>

namespace vexil {
namespace {

TEST(MessageTable, SuiteMessagesReadAsTheUserSeesThem) {
    EXPECT_EQ(MessageText(57000), "Operation timed out");
    EXPECT_EQ(MessageText(57001), "Operation has been canceled");
    EXPECT_EQ(MessageText(57002), "Server property is required");
    EXPECT_EQ(MessageText(57003), "Invalid Winsock version");
    EXPECT_EQ(MessageText(57004), "Error resolving remote host");
    EXPECT_EQ(MessageText(57005), "Service name is required");
    EXPECT_EQ(MessageText(57008), "You have to connect to the server first");
    EXPECT_EQ(MessageText(57010), "Function %s not found");
    EXPECT_EQ(MessageText(57011), "Winsock is not loaded");
    EXPECT_EQ(MessageText(57012), "Winsock not found");
    EXPECT_EQ(MessageText(57100), "The address of sender is required");
    EXPECT_EQ(MessageText(57106), "This is a multipart message in MIME format");
    EXPECT_EQ(MessageText(57107), "Unable to retrieve headers");
    EXPECT_EQ(MessageText(57108), "Missing required field: Content-Type");
    EXPECT_EQ(MessageText(57109), "Cannot find closing boundary");
    EXPECT_EQ(MessageText(57110), "Cannot find boundary");
    EXPECT_EQ(MessageText(57111), "Error decoding the attachment");
    EXPECT_EQ(MessageText(57115), "Newsgroup header is required");
    EXPECT_EQ(MessageText(57116), "Subject header is required");
    EXPECT_EQ(MessageText(57117), "Newsgroup has not been selected");
}

TEST(MessageTable, WinsockTextsCarryTheirCode) {
    EXPECT_EQ(MessageText(10000), "[0] No Error");
    EXPECT_EQ(MessageText(10013), "[10013] Permission denied.");
    EXPECT_EQ(MessageText(10035), "[10035] Resource temporarily not available");
    EXPECT_EQ(MessageText(10054), "[10054] Connection reset by peer");
    EXPECT_EQ(MessageText(10058), "[10058] Can't send after socket shutdown");
    EXPECT_EQ(MessageText(10061), "[10061] Connection refused");
    EXPECT_EQ(MessageText(10065), "[10065] No Route to Host");
    EXPECT_EQ(MessageText(10069), "[10069] Disc Quota Exceeded");
    EXPECT_EQ(MessageText(10093), "[10093] Successful WSAStartup() not yet performed");
    EXPECT_EQ(MessageText(11001), "[11001] Host not found");
    EXPECT_EQ(MessageText(11003), "[11003] Non-Recoverable errors: FORMERR, REFUSED, NOTIMP");
    EXPECT_EQ(MessageText(11004), "[11004] Valid name, no data record of requested type");
}

TEST(MessageTable, EveryWinsockCodeBetweenTheListedOnesIsPresentOrMissingAsListed) {
    // 10072 to 10090 and the gaps below 10035 are not in the table.
    const int present[] = {10000, 10004, 10009, 10013, 10014, 10022, 10024, 10091,
                           10092, 10093, 10094, 11001, 11002, 11003, 11004};
    for (int code : present)
        EXPECT_TRUE(HasMessageText(static_cast<std::uint16_t>(code))) << code;
    for (int code = 10035; code <= 10071; ++code) {
        EXPECT_TRUE(HasMessageText(static_cast<std::uint16_t>(code))) << code;
        const std::string prefix = "[" + std::to_string(code) + "] ";
        EXPECT_EQ(MessageText(static_cast<std::uint16_t>(code)).rfind(prefix, 0), 0u) << code;
    }
    for (int code : {10001, 10010, 10072, 10090, 10095, 11000, 11005, 57006, 57101})
        EXPECT_FALSE(HasMessageText(static_cast<std::uint16_t>(code))) << code;
}

TEST(MessageTable, MissingNumbersReadAsErrorHashAndTheNumber) {
    EXPECT_EQ(MessageText(10072), "Error #10072");
    EXPECT_EQ(MessageText(0), "Error #0");
    EXPECT_EQ(MessageText(65535), "Error #65535");
}

} // namespace
} // namespace vexil
