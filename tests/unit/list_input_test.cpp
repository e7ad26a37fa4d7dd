#include <gtest/gtest.h>

#include "contract/contract_util.h"
#include "core/list_input.h"
#include "platform/errors.h"

using updexar::ListInput;

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
    EXPECT_TRUE(empty.AtEnd());
    EXPECT_EQ(updexar::contract::ErrorOf([&] { empty.NextField(); }), updexar::ErrInputPastEnd);
}
