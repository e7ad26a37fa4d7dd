// Dates come from file times and from text in logs and update files; the serial form they are
// compared in must agree with the calendar for every date and never misbehave on any number.
#include <cstring>

#include "platform/datetime.h"
#include "fuzz_check.h"

using fuzzcheck::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using updexar::DateTime;
    if (size < sizeof(int64_t)) return 0;
    int64_t seconds;
    std::memcpy(&seconds, data, sizeof seconds);

    // Any count of seconds is a well-formed date and time. Past the years an int holds the year
    // wraps, so the trip back is only asked of the dates the program can meet.
    const DateTime t = DateTime::FromSerialSeconds(seconds);
    Check(t.month >= 1 && t.month <= 12 && t.day >= 1 && t.day <= 31);
    Check(t.hour >= 0 && t.hour <= 23 && t.minute >= 0 && t.minute <= 59 && t.second >= 0 && t.second <= 59);
    const int64_t tenThousandYears = int64_t{10000} * 366 * 86400;
    if (seconds > -tenThousandYears && seconds < tenThousandYears) {
        Check(t.SerialSeconds() == seconds);
        Check(t.DayNumber() * 86400 <= seconds && seconds < (t.DayNumber() + 1) * 86400);
        if (t.year >= 100 && t.year <= 9999) Check(t.IsValid());
    }

    // Fields from text: a valid date survives the trip through its serial form, and the next
    // second is one more.
    if (size >= sizeof(int64_t) + 6) {
        const uint8_t* f = data + sizeof(int64_t);
        DateTime d;
        d.year = 100 + (f[0] | f[1] << 8) % 9900;
        d.month = f[2] % 14;
        d.day = f[3] % 33;
        d.hour = f[4] % 25;
        d.minute = f[5] % 61;
        d.second = (f[5] >> 2) % 61;
        if (d.IsValid()) {
            const int64_t s = d.SerialSeconds();
            Check(DateTime::FromSerialSeconds(s) == d);
            Check(DateTime::FromSerialSeconds(s + 1) > d);
        }
    }
    return 0;
}
