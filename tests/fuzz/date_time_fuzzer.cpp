// Dates come from file times and from text in logs and update files; the serial form they are
// compared in must agree with the calendar for every date and never misbehave on any number.
#include <cstring>

#include "fuzz_check.h"
#include "platform/datetime.h"

UPDEXAR_FUZZ_TARGET(input) {
    using updexar::DateTime;
    int64_t seconds;
    if (input.size() < sizeof seconds) return;
    std::memcpy(&seconds, input.data(), sizeof seconds);

    // Any count of seconds is a well-formed date and time. Past the years an int holds the year
    // wraps, so the trip back is only asked of the dates the program can meet.
    const DateTime t = DateTime::FromSerialSeconds(seconds);
    Check(t.month >= 1 && t.month <= 12 && t.day >= 1 && t.day <= 31);
    Check(t.hour >= 0 && t.hour <= 23 && t.minute >= 0 && t.minute <= 59 && t.second >= 0 && t.second <= 59);
    if (seconds > -int64_t{10000} * 366 * 86400 && seconds < int64_t{10000} * 366 * 86400) {
        Check(t.SerialSeconds() == seconds);
        Check(t.DayNumber() * 86400 <= seconds && seconds < (t.DayNumber() + 1) * 86400);
        if (t.year >= 100 && t.year <= 9999) Check(t.IsValid());
    }

    // Fields from text: a valid date survives the trip through its serial form, and the next second is one more.
    if (input.size() < sizeof seconds + 6) return;
    const auto f = reinterpret_cast<const uint8_t*>(input.data() + sizeof seconds);
    const DateTime d{100 + (f[0] | f[1] << 8) % 9900, f[2] % 14, f[3] % 33, f[4] % 25, f[5] % 61, (f[5] >> 2) % 61};
    if (d.IsValid()) {
        Check(DateTime::FromSerialSeconds(d.SerialSeconds()) == d);
        Check(DateTime::FromSerialSeconds(d.SerialSeconds() + 1) > d);
    }
}
