// Readers of text from outside, and the text and time helpers where the fuzz targets cannot say what is right: Windows
// path habits, what the code page lacks, and the scaled clock the Wine runs use.
#include <gtest/gtest.h>

#include "contract/contract_util.h"
#include "core/config.h"
#include "core/list_input.h"
#include "platform/ansi.h"
#include "platform/clock.h"
#include "platform/errors.h"
#include "platform/strings.h"

using namespace updexar;
using namespace updexar::platform;

namespace {

std::vector<std::vector<std::string>> Records(const std::string& text, size_t count, bool* truncated = nullptr) {
    ListInput in(text);
    std::vector<std::vector<std::string>> out;
    std::vector<std::string> fields;
    while (in.NextRecord(count, fields)) out.push_back(fields);
    if (truncated) *truncated = in.Truncated();
    return out;
}

}  // namespace

TEST(ListInput, FieldsFollowTheClassicRulesAndRecordsIgnoreLineEnds) {
    using R = std::vector<std::vector<std::string>>;
    // Quotes keep commas and blanks; unquoted fields are trimmed; text after a closing quote is
    // dropped; a record goes on over the line end; a trailing empty line is no record.
    EXPECT_EQ(Records("FILE, \"a, b.dll\" ,  SYSDIR\\a.dll  ,No\r\nFOLDER,\"R\"x,R\nLast Modified Date\r\n\r\n", 4),
              (R{{"FILE", "a, b.dll", "SYSDIR\\a.dll", "No"}, {"FOLDER", "R", "R", "Last Modified Date"}}));
    // A blank line and a comma before a line end are empty fields; a lone CR ends a line too.
    EXPECT_EQ(Records("a,\rb\n\nc,d", 2), (R{{"a", ""}, {"b", ""}, {"c", "d"}}));

    bool truncated = false;
    EXPECT_EQ(Records("a,b,c,d\r\ne,f", 4, &truncated), (R{{"a", "b", "c", "d"}}));
    EXPECT_TRUE(truncated);
    // A comma before the last line end still gives its empty field.
    EXPECT_EQ(Records("a,b,\r\n", 3, &truncated), (R{{"a", "b", ""}}));
    EXPECT_FALSE(truncated);
    // A quote never closed takes the rest of the text.
    EXPECT_EQ(Records("\"x,y\r\nz", 1, &truncated), (R{{"x,y\r\nz"}}));
    EXPECT_FALSE(truncated);

    ListInput empty(" \r\n\t");
    EXPECT_EQ(contract::ErrorOf([&] { empty.NextField(); }), ErrInputPastEnd);
}

TEST(Val, NumbersAreReadAsTheClassicRuntimeReadsThem) {
    const std::pair<const char*, double> numbers[] = {
        {"  12", 12},    {"1 2 3", 123},  {"-3.5e2", -350}, {"2.5E+1", 25}, {"1e-1", 0.1},   {"7d2", 700},
        {"4e", 4},       {"4e+x", 4},     {".5", 0.5},      {"1.2.3", 1.2}, {"9000x", 9000}, {"&HFF", 255},
        {"&hfa", 250},   {"&O17", 15},    {"&H1G", 1},      {"&O8", 0},     {"abc", 0},      {"", 0},
        {"+", 0},        {"-x", 0},
    };
    for (const auto& [text, value] : numbers) EXPECT_DOUBLE_EQ(Val(text), value) << text;
}

TEST(Strings, CaseAndPathsBehaveLikeWindows) {
    EXPECT_TRUE(EqualsNoCase("\xC3\xA9t\xC3\xA9", "\xC3\x89T\xC3\x89"));
    EXPECT_FALSE(EndsWithNoCase("x", ".ocx"));
    EXPECT_EQ(PathParent("C:\\a"), "C:\\");
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
