#include "platform/MessagePump.h"

#include <atomic>
#include <chrono>
#include <time.h>

namespace vexil {

namespace {

constexpr auto kPumpInterval = std::chrono::milliseconds(20);

std::atomic<MessagePumpHook> g_hook{nullptr};
std::chrono::nanoseconds g_lastPass{};

// The decoders ask for every line, so the question must cost next to nothing: the coarse
// clock is read without the time source's own cost, and its few milliseconds of grain do
// not matter against the interval.
std::chrono::nanoseconds Now() {
    timespec now{};
#ifdef CLOCK_MONOTONIC_COARSE
    ::clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
#else
    ::clock_gettime(CLOCK_MONOTONIC, &now);
#endif
    return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
}

} // namespace

MessagePumpHook SetMessagePumpHook(MessagePumpHook hook) {
    return g_hook.exchange(hook);
}

void ProcessPendingMessages() {
    const MessagePumpHook hook = g_hook.load(std::memory_order_relaxed);
    if (hook == nullptr)
        return;
    const auto now = Now();
    if (now - g_lastPass < kPumpInterval)
        return;
    g_lastPass = now;
    hook();
}

void ProcessPendingMessagesNow() {
    const MessagePumpHook hook = g_hook.load(std::memory_order_relaxed);
    if (hook == nullptr)
        return;
    g_lastPass = Now();
    hook();
}

void RequestMessagePass() {
    g_lastPass = std::chrono::nanoseconds{};
}

} // namespace vexil
