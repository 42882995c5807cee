#pragma once
// The one-second time-out counter of the transport. It counts on a steady clock; the waits
// that use it call Poll on every pass, which applies the one-second ticks that fell due.

#include <chrono>
#include <functional>

namespace vexil {

class TTimeCounter {
public:
    using Clock = std::chrono::steady_clock;
    using NowFunction = std::function<Clock::time_point()>;

    // Now is the clock to count on; tests pass one they can move by hand.
    explicit TTimeCounter(int TimeOut = 60, NowFunction Now = {});

    // Count := TimeOut and start ticking. TimedOut is left as it is.
    void Start();
    void Stop();
    // Applies every tick due since the last one: each lowers Count by one, and a Count
    // below 1 sets TimedOut. Ticks go on until Stop.
    void Poll();

    int TimeOut() const { return timeOut_; }
    void SetTimeOut(int Seconds) { timeOut_ = Seconds; }
    bool TimedOut() const { return timedOut_; }
    // The owner clears the latched time-out; nothing else does.
    void SetTimedOut(bool Value) { timedOut_ = Value; }
    int Count() const { return count_; }
    bool Enabled() const { return enabled_; }

private:
    Clock::time_point Now() const { return now_ ? now_() : Clock::now(); }

    NowFunction now_;
    Clock::time_point nextTick_{};
    int count_ = 0;
    int timeOut_;
    bool timedOut_ = false;
    bool enabled_ = false;
};

} // namespace vexil
