// Long decoding keeps the window alive: the codecs and the decoder call the message-pump
// hook (rate-limited) at their checkpoints.
#include "ArticleTestSupport.h"

#include "message/Base64.h"
#include "message/TQuotedPrintable.h"
#include "message/UUCode.h"
#include "platform/MessagePump.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

using namespace vexil;

namespace {

int g_passes = 0;
void CountPass() {
    ++g_passes;
}

// Whether operation lets the hook run once the pump interval has passed.
template <typename Operation> bool Pumps(Operation operation) {
    const MessagePumpHook previous = SetMessagePumpHook(CountPass);
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
    g_passes = 0;
    operation();
    SetMessagePumpHook(previous);
    return g_passes > 0;
}

} // namespace

TEST(MessagePumpUse, EveryCodecAndTheDecoderPump) {
    char out[64];
    EXPECT_TRUE(Pumps([&] { Base64Decode("Zm9v", out, sizeof out); }));
    EXPECT_TRUE(Pumps([] { Base64EncodeBlock("foo"); }));
    EXPECT_TRUE(Pumps([&] { UUDecode("#0V%T", out, sizeof out); }));
    EXPECT_TRUE(Pumps([] { UUEncodeBlock("Cat"); }));
    EXPECT_TRUE(Pumps([] {
        std::vector<std::string> lines{"a=3Db"};
        TMemoryStream stream;
        TQuotedPrintable(stream, lines).Decode();
    }));
    EXPECT_TRUE(Pumps([] {
        TMemoryStream stream("text\r\n");
        std::vector<std::string> lines;
        TQuotedPrintable(stream, lines).Encode();
    }));
    // A multipart article with a 7-bit part pumps before the part, with no codec involved.
    EXPECT_TRUE(Pumps([] {
        test::LoadArticle(test::Wire("MIME-Version: 1.0\nContent-Type: multipart/mixed; "
                                     "boundary=b\n\n--b\n\ntext\n--b\nContent-Type: text/plain; "
                                     "name=a.txt\n\nx\n--b--\n"));
    }));
}
