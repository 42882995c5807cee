#include "platform/MessagePump.h"

#include <atomic>
#include <chrono>

namespace vexil {

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kPumpInterval = std::chrono::milliseconds(20);

std::atomic<MessagePumpHook> g_hook{nullptr};
Clock::time_point g_lastPass{};

} // namespace

MessagePumpHook SetMessagePumpHook(MessagePumpHook hook) {
    return g_hook.exchange(hook);
}

void ProcessPendingMessages() {
    const MessagePumpHook hook = g_hook.load(std::memory_order_relaxed);
    if (hook == nullptr)
        return;
    const auto now = Clock::now();
    if (now - g_lastPass < kPumpInterval)
        return;
    g_lastPass = now;
    hook();
}

void ProcessPendingMessagesNow() {
    const MessagePumpHook hook = g_hook.load(std::memory_order_relaxed);
    if (hook == nullptr)
        return;
    g_lastPass = Clock::now();
    hook();
}

void RequestMessagePass() {
    g_lastPass = Clock::time_point{};
}

} // namespace vexil
