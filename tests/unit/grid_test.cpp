// The grid's own rules that the LAN machine list leans on and its window tests do not reach:
// check ranges and numbered errors, rows that move whole, keys over the hidden column, an edit
// that ends before a scroll, and sizes fitted to the texts. Editing, scrolling and the cell
// positions under the password box are played through the main window (frmmain_test.cpp).
#include <gtest/gtest.h>

#include "contract/contract_util.h"
#include "fakes/headless_backend.h"
#include "forms/application.h"
#include "forms/grid.h"
#include "platform/clock.h"

using namespace updexar;
using namespace updexar::forms;
using updexar::contract::ErrorOf;

namespace {

// Shaped like the LAN machine grid: a header row, seven columns with the plain password hidden,
// rows of 240 twips, room for the header and 20 rows.
struct LanGrid {
    platform::ManualClock clock;
    fakes::HeadlessBackend backend;
    Application app{backend, clock};
    Form form{"frmTest"};
    VSFlexGrid& vs = form.Add<VSFlexGrid>("vs");

    explicit LanGrid(int machines) {
        Font small = vs.GetFont();
        small.size = Font::FromPoints(7);
        vs.SetFont(small);
        vs.SetFixedCols(0);
        vs.SetCols(7);
        vs.SetRows(1);
        vs.SetRowHeightMin(240);
        for (int c = 0; c < 7; ++c) vs.SetColWidth(c, c == 5 ? 0 : 1000);
        const char* heads[] = {"Sr. No.", "Computer Name", "IP Address", "User Name", "Password", "Password", "Status"};
        for (int c = 0; c < 7; ++c) vs.SetTextMatrix(0, c, heads[c]);
        vs.SetCellChecked(0, 1, 0, 2, CheckUnticked);
        for (int i = 1; i <= machines; ++i) {
            const std::string n = std::to_string(i);
            vs.AddItem(n + "\tPC" + n + "\t10.0.0." + n + "\tuser" + n);
            vs.SetCellChecked(i, 1, CheckUnticked);
            vs.SetCellChecked(i, 2, CheckTicked);
        }
        vs.Move(0, 0, 6000 + 2 * vs.BorderSize() + vs.ScrollBarSize(), 21 * 240 + 2 * vs.BorderSize());
    }
};

}  // namespace

TEST(Grid, ChecksCoverRangesRowsMoveWholeAndBadInputIsANumberedError) {
    LanGrid g(5);
    auto& vs = g.vs;
    vs.SetCellChecked(4, 2, 2, 1, CheckTicked);  // corners in either order
    EXPECT_EQ(vs.CellChecked(2, 1), CheckTicked);
    EXPECT_EQ(vs.CellChecked(4, 2), CheckTicked);
    EXPECT_EQ(vs.CellChecked(5, 1), CheckUnticked);
    EXPECT_EQ(vs.CellChecked(3, 3), CheckNone);
    EXPECT_EQ(vs.CellChecked(0, 1), CheckUnticked);
    EXPECT_EQ(ErrorOf([&] { vs.SetCellChecked(1, 1, 3); }), 380);
    EXPECT_EQ(ErrorOf([&] { vs.SetCellChecked(1, 1, 9, 1, CheckNone); }), 381);
    EXPECT_EQ(vs.CellChecked(1, 1), CheckUnticked);  // nothing of the refused range was applied
    EXPECT_EQ(ErrorOf([&] { (void)vs.TextMatrix(6, 0); }), 381);
    EXPECT_EQ(ErrorOf([&] { vs.RemoveItem(9); }), 381);
    EXPECT_EQ(ErrorOf([&] { vs.SetRows(-1); }), 380);

    // A removed row takes everything of it along; the current row stays on its machine.
    vs.SetCellBackColor(3, 6, 0x00FF00);
    vs.SetTextMatrix(3, 6, "Connected");
    vs.Select(3, 3);
    vs.RemoveItem(2);
    EXPECT_EQ(vs.TextMatrix(2, 1) + "|" + vs.TextMatrix(2, 6), "PC3|Connected");
    EXPECT_EQ(vs.CellBackColor(2, 6), 0x00FF00u);
    EXPECT_EQ(vs.CellChecked(2, 2), CheckTicked);
    EXPECT_EQ(vs.Row(), 2);
    // One row left is the header alone; rows made again are empty.
    vs.SetRows(1);
    EXPECT_EQ(vs.Row(), -1);
    EXPECT_EQ(vs.TextMatrix(0, 2), "IP Address");
    vs.SetRows(3);
    EXPECT_EQ(vs.TextMatrix(2, 1), "");
    EXPECT_EQ(vs.CellChecked(2, 2), CheckNone);
    EXPECT_EQ(vs.CellBackColor(2, 6), 0u);
}

TEST(Grid, KeysSkipTheHiddenColumnAndAnEditEndsBeforeTheGridScrolls) {
    LanGrid g(30);
    auto& vs = g.vs;
    vs.Select(1, 4);
    // Key, shift, then the current row, column and the top row.
    const std::vector<std::vector<int>> steps = {
        {KeyRight, 0, 1, 6, 1}, {KeyLeft, 0, 1, 4, 1},        {KeyHome, 0, 1, 0, 1},
        {KeyEnd, 0, 1, 6, 1},   {KeyUp, 0, 1, 6, 1},          {KeyPageDown, 0, 20, 6, 1},
        {KeyDown, 0, 21, 6, 2}, {KeyEnd, CtrlKey, 30, 6, 11}, {KeyHome, CtrlKey, 1, 6, 1},
    };
    for (const auto& s : steps) {
        EXPECT_TRUE(vs.UserKeyDown(s[0], s[1])) << s[0];
        EXPECT_EQ((std::vector<int>{vs.Row(), vs.Col(), vs.TopRow()}), (std::vector<int>{s[2], s[3], s[4]})) << s[0];
    }

    int afterEdits = 0;
    vs.AfterEdit = [&](int, int) { ++afterEdits; };
    vs.Select(2, 1);
    ASSERT_TRUE(vs.UserBeginEdit());
    vs.UserEditText("PC-two");
    vs.UserScrollBy(5);  // scrolling commits what was typed
    EXPECT_FALSE(vs.Editing());
    EXPECT_EQ(vs.TextMatrix(2, 1), "PC-two");
    ASSERT_TRUE(vs.UserBeginEdit());
    vs.UserEditText("gone");
    vs.SetRows(1);  // the row went: the edit is dropped, not written anywhere
    EXPECT_FALSE(vs.Editing());
    EXPECT_EQ(afterEdits, 1);
}

TEST(Grid, AutoSizeFitsTextsAndLinesWithinTheLimitsAndKeepsHiddenColumnsHidden) {
    LanGrid g(2);
    g.backend.charWidth = [](const Font& f) { return f.bold ? 120.0 : 100.0; };
    g.backend.lineHeight = [](const Font&) { return 160.0; };
    auto& vs = g.vs;
    vs.SetCellFontBold(0, 0, 0, 6, true);
    vs.SetTextMatrix(2, 1, "A-MUCH-LONGER-NAME");
    vs.SetTextMatrix(1, 6, "Updated successfully to:\r\nC:\\Prog");
    vs.AutoSize(0, vs.Cols() - 1);
    EXPECT_GT(vs.ColWidth(0), 7 * 120);  // the bold "Sr. No." measured bold
    EXPECT_GT(vs.ColWidth(1), 18 * 100 + 200);  // the long name and its box
    EXPECT_EQ(vs.ColWidth(5), 0);
    EXPECT_GT(vs.ColWidth(6), 24 * 100);  // the longest line of the status, not both
    EXPECT_LT(vs.ColWidth(6), 30 * 100);
    EXPECT_GT(vs.RowHeight(1), 2 * 160);
    EXPECT_EQ(vs.RowHeight(2), 240);

    // Scaling a window scales the limits, which bound the sizes.
    vs.SetColWidthMin(1000);
    vs.SetColWidthMax(1200);
    vs.SetRowHeightMin(300);
    vs.ScaleLimits(1.5f, 2.0f);
    vs.SetTextMatrix(1, 6, "");
    vs.AutoSize(0, 6);
    EXPECT_EQ(vs.ColWidth(0), 1500);
    EXPECT_EQ(vs.ColWidth(1), 1800);
    EXPECT_EQ(vs.RowHeight(1), 600);

    // Growing only: a cleared grid keeps its widths.
    vs.SetColWidthMin(0);
    vs.SetColWidthMax(0);
    vs.SetColWidth(1, 5000);
    vs.SetRows(1);
    vs.AutoSizeGrowOnly = true;
    vs.AutoSize(1);
    EXPECT_EQ(vs.ColWidth(1), 5000);
}
