#include <gtest/gtest.h>

#include "platform/ansi.h"
#include "platform/clock.h"
#include "platform/datetime.h"
#include "platform/errors.h"
#include "platform/strings.h"

using namespace updexar;
using namespace updexar::platform;

TEST(AnsiText, RoundTripsTheWholeCodePageAndMarksWhatItLacks) {
    std::string all;
    for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
    EXPECT_EQ(Utf8ToCp1252(Cp1252ToUtf8(all)), all);
    EXPECT_EQ(Cp1252ToUtf8("\x80"), "\xE2\x82\xAC");  // euro sign
    EXPECT_EQ(Utf8ToCp1252("caf\xC3\xA9 \xE2\x82\xAC"), "caf\xE9 \x80");
    EXPECT_EQ(Utf8ToCp1252("\xE4\xB8\xAD|\xF0\x9F\x98\x80|\xFF"), "?|?|?");  // CJK, emoji, a broken byte
}

TEST(Strings, CaseAndPathsBehaveLikeWindows) {
    EXPECT_TRUE(EqualsNoCase("c:\\Apps\\galvano", "C:\\APPS\\Galvano"));
    EXPECT_TRUE(EqualsNoCase("\xC3\xA9t\xC3\xA9", "\xC3\x89T\xC3\x89"));
    EXPECT_TRUE(EndsWithNoCase("x.OcX", ".ocx"));
    EXPECT_FALSE(EndsWithNoCase("x", ".ocx"));
    EXPECT_EQ(PathFileName("C:\\a\\b.txt"), "b.txt");
    EXPECT_EQ(PathFileName("b.txt"), "b.txt");
    EXPECT_EQ(PathParent("C:\\a\\b.txt"), "C:\\a");
    EXPECT_EQ(PathParent("C:\\a"), "C:\\");
    EXPECT_EQ(PathParent("\\\\SERVER\\share\\x"), "\\\\SERVER\\share");
    EXPECT_EQ(PathJoin("C:\\", "a"), "C:\\a");
    EXPECT_EQ(PathJoin("C:\\x", "a"), "C:\\x\\a");
    EXPECT_EQ(StripTrailingBackslash("C:\\Apps\\Galvano\\"), "C:\\Apps\\Galvano");
    EXPECT_EQ(StripTrailingBackslash("C:\\Apps\\Galvano\\\\"), "C:\\Apps\\Galvano\\");
    EXPECT_EQ(Trim("  a b  "), "a b");
}

TEST(DateTimeAndClock, CalendarArithmeticAndTheTimeSeam) {
    const DateTime t{2026, 12, 4, 17, 19, 42};
    EXPECT_EQ(DateTime::FromSerialSeconds(t.SerialSeconds()), t);
    EXPECT_EQ((DateTime{2024, 3, 1}).DayNumber() - (DateTime{2024, 2, 28}).DayNumber(), 2);  // leap year
    EXPECT_FALSE((DateTime{2023, 2, 29}).IsValid());
    EXPECT_LT((DateTime{2026, 12, 4, 23, 59, 59}).DayNumber(), (DateTime{2026, 12, 5}).DayNumber());

    // A scaled clock runs from where its base stands when it is made.
    ManualClock base(t);
    base.Advance(1'000);
    ScaledClock fast(base, 100.0);
    base.Advance(9'000);  // nine real seconds
    EXPECT_EQ(fast.MonotonicMs(), 1'000 + 900'000);
    EXPECT_EQ(fast.Now(), (DateTime{2026, 12, 4, 17, 34, 43}));
    EXPECT_DOUBLE_EQ(fast.SecondsSinceMidnight(), 17 * 3600 + 34 * 60 + 43);
}

TEST(RuntimeErrors, CarryTheClassicDescriptions) {
    EXPECT_EQ(RuntimeError(53).Description(), "File not found");
    EXPECT_EQ(RuntimeError(76).Description(), "Path not found");
    EXPECT_EQ(ErrorDescription(61), "Disk full");
    EXPECT_EQ(ErrorDescription(62), "Input past end of file");
    EXPECT_EQ(ErrorDescription(75), "Path/File access error");
}
