#include "net/TTimeCounter.h"

#include <algorithm>
#include <climits>
#include <cstdint>

namespace vexil {

namespace {
constexpr auto kTick = std::chrono::seconds(1);
}

TTimeCounter::TTimeCounter(int TimeOut, NowFunction Now)
    : now_(std::move(Now)), timeOut_(TimeOut) {}

void TTimeCounter::Start() {
    count_ = timeOut_;
    nextTick_ = Now() + kTick;
    enabled_ = true;
}

void TTimeCounter::Stop() {
    enabled_ = false;
}

void TTimeCounter::Poll() {
    if (!enabled_)
        return;
    const auto now = Now();
    if (now < nextTick_)
        return;
    const std::int64_t ticks = (now - nextTick_) / kTick + 1;
    nextTick_ += ticks * kTick;
    count_ = static_cast<int>(std::max<std::int64_t>(std::int64_t{count_} - ticks, INT_MIN));
    if (count_ < 1)
        timedOut_ = true;
}

} // namespace vexil
