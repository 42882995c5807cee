#include "platform/MessagePump.h"

#include <gtest/gtest.h>

using namespace vexil;

namespace {
int g_passes = 0;
void countPass() {
    ++g_passes;
}
} // namespace

TEST(MessagePump, DoesNothingWithoutAHook) {
    SetMessagePumpHook(nullptr);
    ProcessPendingMessages();
    ProcessPendingMessagesNow();
}

TEST(MessagePump, RateLimitsTheHookButNotTheImmediatePass) {
    const MessagePumpHook previous = SetMessagePumpHook(countPass);
    g_passes = 0;
    ProcessPendingMessagesNow();
    EXPECT_EQ(g_passes, 1);
    for (int i = 0; i < 100000; ++i)
        ProcessPendingMessages();
    // A tight loop of this length takes far less than a second, so far fewer passes ran.
    EXPECT_LT(g_passes, 1000);
    ProcessPendingMessagesNow();
    ProcessPendingMessagesNow();
    EXPECT_GE(g_passes, 3);
    EXPECT_EQ(SetMessagePumpHook(previous), countPass);
}

TEST(MessagePump, ARequestedPassRunsAtTheNextCallAndOnlyThen) {
    const MessagePumpHook previous = SetMessagePumpHook(countPass);
    ProcessPendingMessagesNow();
    g_passes = 0;
    ProcessPendingMessages(); // within the interval of the pass just made
    EXPECT_EQ(g_passes, 0);
    RequestMessagePass();
    ProcessPendingMessages();
    EXPECT_EQ(g_passes, 1);
    ProcessPendingMessages();
    EXPECT_EQ(g_passes, 1);
    SetMessagePumpHook(previous);
}
