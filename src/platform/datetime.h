// A local calendar date and time to the second, the way file dates and the clock are compared.
#pragma once

#include <compare>
#include <cstdint>
#include <string>

namespace updexar {

struct DateTime {
    int year = 1899;
    int month = 12;
    int day = 30;
    int hour = 0;
    int minute = 0;
    int second = 0;

    auto operator<=>(const DateTime&) const = default;

    // Days since 1 January 1970 of the calendar day; the time of day is ignored.
    int64_t DayNumber() const;
    // Seconds since 1970-01-01 00:00:00 of this local time (no time zone involved).
    int64_t SerialSeconds() const;
    static DateTime FromSerialSeconds(int64_t seconds);
    bool IsValid() const;
    // "2026-12-04 17:19:42", for logs and test output.
    std::string ToIsoText() const;
};

}  // namespace updexar
