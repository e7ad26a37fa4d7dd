#include "platform/clock.h"

#include <chrono>
#include <ctime>
#include <thread>

namespace updexar::platform {

DateTime StdClock::Now() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
#if defined(_WIN32)
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    return DateTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec};
}

double StdClock::SecondsSinceMidnight() {
    using namespace std::chrono;
    const auto now = system_clock::now();
    const double fraction = static_cast<double>(duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000) / 1000.0;
    const DateTime t = Now();
    return t.hour * 3600.0 + t.minute * 60.0 + t.second + fraction;
}

int64_t StdClock::MonotonicMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void StdClock::Sleep(uint32_t milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

ScaledClock::ScaledClock(Clock& base, double factor)
    : base_(base), factor_(factor > 0 ? factor : 1.0), startMonotonic_(base.MonotonicMs()),
      startSerialMs_(base.Now().SerialSeconds() * 1000) {}

int64_t ScaledClock::ElapsedScaledMs() {
    return static_cast<int64_t>(static_cast<double>(base_.MonotonicMs() - startMonotonic_) * factor_);
}

DateTime ScaledClock::Now() {
    return DateTime::FromSerialSeconds((startSerialMs_ + ElapsedScaledMs()) / 1000);
}

double ScaledClock::SecondsSinceMidnight() {
    const int64_t ms = startSerialMs_ + ElapsedScaledMs();
    return static_cast<double>(((ms % 86400000) + 86400000) % 86400000) / 1000.0;
}

int64_t ScaledClock::MonotonicMs() { return startMonotonic_ + ElapsedScaledMs(); }

void ScaledClock::Sleep(uint32_t milliseconds) {
    base_.Sleep(static_cast<uint32_t>(static_cast<double>(milliseconds) / factor_));
}

ManualClock::ManualClock(DateTime start) : serialMs_(start.SerialSeconds() * 1000) {}

DateTime ManualClock::Now() {
    std::lock_guard<std::mutex> lock(mutex_);
    return DateTime::FromSerialSeconds(serialMs_ / 1000);
}

double ManualClock::SecondsSinceMidnight() {
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<double>(((serialMs_ % 86400000) + 86400000) % 86400000) / 1000.0;
}

int64_t ManualClock::MonotonicMs() {
    std::lock_guard<std::mutex> lock(mutex_);
    return monotonicMs_;
}

void ManualClock::Sleep(uint32_t milliseconds) { Advance(milliseconds); }

void ManualClock::Advance(int64_t milliseconds) {
    std::lock_guard<std::mutex> lock(mutex_);
    serialMs_ += milliseconds;
    monotonicMs_ += milliseconds;
}

void ManualClock::Set(const DateTime& when) {
    std::lock_guard<std::mutex> lock(mutex_);
    serialMs_ = when.SerialSeconds() * 1000;
}

}  // namespace updexar::platform
