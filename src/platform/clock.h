// Time, with a seam: the program's waits (15 s, 30 s, 900 s) all ask this clock, so a test can
// drive time by hand or make it run many times faster.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>

#include "platform/datetime.h"

namespace updexar::platform {

class Clock {
public:
    virtual ~Clock() = default;
    // Local date and time.
    virtual DateTime Now() = 0;
    // Seconds since local midnight, with fractions.
    virtual double SecondsSinceMidnight() = 0;
    // Milliseconds on a clock that never goes back.
    virtual int64_t MonotonicMs() = 0;
    virtual void Sleep(uint32_t milliseconds) = 0;
    // How many real milliseconds pass while this clock moves by clockMs; 0 for a clock that only
    // moves when told to (a waiter then moves it with Sleep instead of waiting).
    virtual int64_t RealMsFor(int64_t clockMs) { return clockMs; }
};

// The real clock through the standard library; what the native builds use.
class StdClock : public Clock {
public:
    DateTime Now() override;
    double SecondsSinceMidnight() override;
    int64_t MonotonicMs() override;
    void Sleep(uint32_t milliseconds) override;
};

// Another clock running `factor` times faster from the moment this one is made: a 900-second
// wait passes in 9 seconds at factor 100. Sleeps are shortened to match.
class ScaledClock : public Clock {
public:
    ScaledClock(Clock& base, double factor);
    DateTime Now() override;
    double SecondsSinceMidnight() override;
    int64_t MonotonicMs() override;
    void Sleep(uint32_t milliseconds) override;
    int64_t RealMsFor(int64_t clockMs) override { return static_cast<int64_t>(static_cast<double>(clockMs) / factor_); }
    double Factor() const { return factor_; }

private:
    int64_t ElapsedScaledMs();
    Clock& base_;
    double factor_;
    int64_t startMonotonic_;
    int64_t startSerialMs_;
};

// A clock that moves only when told to: Sleep and Advance move it, nothing else does.
class ManualClock : public Clock {
public:
    explicit ManualClock(DateTime start = DateTime{2026, 12, 4, 17, 19, 42});
    DateTime Now() override;
    double SecondsSinceMidnight() override;
    int64_t MonotonicMs() override;
    void Sleep(uint32_t milliseconds) override;
    int64_t RealMsFor(int64_t) override { return 0; }
    void Advance(int64_t milliseconds);
    void Set(const DateTime& when);

private:
    std::mutex mutex_;
    int64_t serialMs_;
    int64_t monotonicMs_ = 0;
};

}  // namespace updexar::platform
