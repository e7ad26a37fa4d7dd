// Text and time helpers where the fuzz targets cannot say what is right: Windows path habits,
// what the code page lacks, and the scaled clock the Wine runs use.
#include <gtest/gtest.h>

#include "platform/ansi.h"
#include "platform/clock.h"
#include "platform/strings.h"

using namespace updexar;
using namespace updexar::platform;

TEST(Strings, CaseAndPathsBehaveLikeWindows) {
    EXPECT_TRUE(EqualsNoCase("\xC3\xA9t\xC3\xA9", "\xC3\x89T\xC3\x89"));
    EXPECT_TRUE(EndsWithNoCase("x.OcX", ".ocx"));
    EXPECT_FALSE(EndsWithNoCase("x", ".ocx"));
    EXPECT_EQ(PathParent("C:\\a"), "C:\\");
    EXPECT_EQ(PathParent("\\\\SERVER\\share\\x"), "\\\\SERVER\\share");
    EXPECT_EQ(PathJoin("C:\\", "a"), "C:\\a");
    EXPECT_EQ(StripTrailingBackslash("C:\\Apps\\Galvano\\\\"), "C:\\Apps\\Galvano\\");
    EXPECT_EQ(Utf8ToCp1252("caf\xC3\xA9 \xE2\x82\xAC|\xE4\xB8\xAD|\xF0\x9F\x98\x80|\xFF"), "caf\xE9 \x80|?|?|?");
}

TEST(Clock, AScaledClockRunsFromWhereItsBaseStandsWhenItIsMade) {
    ManualClock base(DateTime{2026, 12, 4, 17, 19, 42});
    base.Advance(1'000);
    ScaledClock fast(base, 100.0);
    base.Advance(9'000);  // nine real seconds
    EXPECT_EQ(fast.MonotonicMs(), 1'000 + 900'000);
    EXPECT_EQ(fast.Now(), (DateTime{2026, 12, 4, 17, 34, 43}));
    EXPECT_DOUBLE_EQ(fast.SecondsSinceMidnight(), 17 * 3600 + 34 * 60 + 43);
}
