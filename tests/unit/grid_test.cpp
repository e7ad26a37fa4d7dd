#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "contract/contract_util.h"
#include "fakes/headless_backend.h"
#include "forms/application.h"
#include "forms/grid.h"
#include "platform/clock.h"

using namespace updexar;
using namespace updexar::forms;
using updexar::contract::ErrorOf;

namespace {

// A grid shaped like the LAN machine grid: a header row, seven columns, the plain password
// column hidden, rows of 240 twips, 20 rows' worth of height below the header.
struct LanGrid {
    Form form{"frmTest"};
    VSFlexGrid& vs = form.Add<VSFlexGrid>("vs");
    std::vector<std::string> log;

    explicit LanGrid(int machines = 4) {
        Font small = vs.GetFont();
        small.size = Font::FromPoints(7);  // one line fits in the 240-twip minimum
        vs.SetFont(small);
        vs.SetFixedCols(0);
        vs.SetCols(7);
        vs.SetRows(1);
        vs.SetRowHeightMin(240);
        for (int c = 0; c < 7; ++c) vs.SetColWidth(c, 1000);
        vs.SetColWidth(5, 0);
        const char* heads[] = {"Sr. No.", "Computer Name", "IP Address", "User Name", "Password", "Password", "Status"};
        for (int c = 0; c < 7; ++c) vs.SetTextMatrix(0, c, heads[c]);
        vs.SetCellChecked(0, 1, 0, 2, CheckUnticked);
        for (int i = 1; i <= machines; ++i) AddMachine(i);
        // Room for the header and 20 rows, plus the border (no horizontal scroll bar: 6000 wide).
        vs.Move(0, 0, 6000 + 2 * vs.BorderSize() + vs.ScrollBarSize(), 21 * 240 + 2 * vs.BorderSize());
        vs.AfterScroll = [this](int t0, int l0, int t1, int l1) {
            log.push_back("scroll " + std::to_string(t0) + "," + std::to_string(l0) + "->" + std::to_string(t1) + "," +
                          std::to_string(l1));
        };
        vs.AfterRowColChange = [this](int r0, int c0, int r1, int c1) {
            log.push_back("cell " + std::to_string(r0) + "," + std::to_string(c0) + "->" + std::to_string(r1) + "," +
                          std::to_string(c1));
        };
    }
    void AddMachine(int i) {
        const std::string n = std::to_string(i);
        vs.AddItem(n + "\tPC" + n + "\t10.0.0." + n + "\tuser" + n);
        vs.SetCellChecked(i, 1, CheckUnticked);
        vs.SetCellChecked(i, 2, CheckTicked);
    }
    std::string Log() {
        std::string s;
        for (auto& l : log) s += l + ";";
        log.clear();
        return s;
    }
};

}  // namespace

TEST(Grid, CheckValuesApplyToWholeRangesAndBadInputIsANumberedError) {
    LanGrid g(5);
    auto& vs = g.vs;
    // Corners in either order cover the same rectangle.
    vs.SetCellChecked(4, 2, 2, 1, CheckTicked);
    for (int r = 1; r <= 5; ++r)
        for (int c = 0; c < 7; ++c) {
            const bool inside = r >= 2 && r <= 4 && (c == 1 || c == 2);
            const int before = c == 1 ? CheckUnticked : c == 2 ? CheckTicked : CheckNone;
            EXPECT_EQ(vs.CellChecked(r, c), inside ? CheckTicked : before) << r << "," << c;
        }
    vs.SetCellChecked(1, 1, 5, 2, CheckNone);
    EXPECT_EQ(vs.CellChecked(3, 2), CheckNone);
    EXPECT_EQ(vs.CellChecked(0, 1), CheckUnticked);  // the header was outside

    EXPECT_EQ(ErrorOf([&] { vs.SetCellChecked(1, 1, 3); }), 380);
    EXPECT_EQ(ErrorOf([&] { vs.SetCellChecked(1, 1, 9, 1, CheckTicked); }), 381);
    EXPECT_EQ(vs.CellChecked(1, 1), CheckNone);  // nothing of the refused range was applied
    EXPECT_EQ(ErrorOf([&] { (void)vs.TextMatrix(6, 0); }), 381);
    EXPECT_EQ(ErrorOf([&] { vs.SetTextMatrix(1, 7, "x"); }), 381);
    EXPECT_EQ(ErrorOf([&] { vs.SetRows(-1); }), 380);
}

TEST(Grid, RowsOfOneClearsDataRowsAndRemoveItemShiftsWholeRows) {
    LanGrid g(4);
    auto& vs = g.vs;
    vs.SetCellBackColor(3, 6, 0x00FF00);
    vs.SetTextMatrix(3, 6, "Connected");
    vs.Select(3, 3);

    vs.RemoveItem(2);
    ASSERT_EQ(vs.Rows(), 4);
    EXPECT_EQ(vs.TextMatrix(2, 1), "PC3");  // everything of the old row 3 moved up
    EXPECT_EQ(vs.TextMatrix(2, 6), "Connected");
    EXPECT_EQ(vs.CellBackColor(2, 6), 0x00FF00u);
    EXPECT_EQ(vs.CellChecked(2, 2), CheckTicked);
    EXPECT_EQ(vs.TextMatrix(3, 1), "PC4");
    EXPECT_EQ(vs.Row(), 2);  // still on PC3, quietly
    EXPECT_EQ(vs.TextMatrix(0, 1), "Computer Name");

    vs.Select(3, 3);
    vs.RemoveItem(3);  // the current row was the last one
    EXPECT_EQ(vs.Row(), 2);
    g.Log();

    vs.SetRows(1);
    EXPECT_EQ(vs.Rows(), 1);
    EXPECT_EQ(vs.Row(), -1);
    EXPECT_EQ(vs.TextMatrix(0, 2), "IP Address");
    EXPECT_EQ(vs.CellChecked(0, 1), CheckUnticked);
    EXPECT_EQ(g.Log(), "");  // structural changes move nothing the user sees as a cell change
    // Rows made again are empty: nothing of the old data comes back.
    vs.SetRows(3);
    EXPECT_EQ(vs.TextMatrix(2, 1), "");
    EXPECT_EQ(vs.CellChecked(2, 2), CheckNone);
    EXPECT_EQ(vs.CellBackColor(2, 6), 0u);

    vs.AddItem("x\ty", 1);
    EXPECT_EQ(vs.TextMatrix(1, 1), "y");
    EXPECT_EQ(vs.TextMatrix(1, 2), "");
    EXPECT_EQ(ErrorOf([&] { vs.RemoveItem(9); }), 381);
    EXPECT_EQ(ErrorOf([&] { vs.AddItem("z", 9); }), 381);
}

TEST(Grid, PositionsCountHiddenColumnsAsNothingAndFollowScrolling) {
    LanGrid g(30);
    auto& vs = g.vs;
    EXPECT_EQ(vs.ColPos(0), 0);
    EXPECT_EQ(vs.ColPos(4), 4000);
    EXPECT_EQ(vs.ColPos(5), 5000);
    EXPECT_EQ(vs.ColPos(6), 5000);  // column 5 takes no room
    EXPECT_EQ(vs.RowPos(0), 0);
    EXPECT_EQ(vs.RowPos(3), 720);

    vs.SetTopRow(5);
    EXPECT_EQ(vs.RowPos(0), 0);       // the header does not scroll
    EXPECT_EQ(vs.RowPos(5), 240);     // right under the header
    EXPECT_EQ(vs.RowPos(7), 720);
    EXPECT_EQ(vs.RowPos(2), -480);    // above the view
    int r, c;
    ASSERT_TRUE(vs.CellAt(5100, 250, r, c));
    EXPECT_EQ(r, 5);
    EXPECT_EQ(c, 6);  // not the hidden column
    ASSERT_TRUE(vs.CellAt(10, 10, r, c));
    EXPECT_EQ(r, 0);
    EXPECT_FALSE(vs.CellAt(6100, 10, r, c));  // right of the last column

    // Narrower than the columns: a horizontal scroll bar, and columns scroll left.
    vs.SetFixedCols(1);
    vs.Move(0, 0, 3000, vs.Height());
    EXPECT_TRUE(vs.HScrollVisible());
    vs.SetLeftCol(3);
    EXPECT_EQ(vs.ColPos(0), 0);
    EXPECT_EQ(vs.ColPos(3), 1000);
    EXPECT_EQ(vs.ColPos(1), -1000);
    EXPECT_EQ(vs.ColPos(6), 3000);
}

TEST(Grid, TopAndBottomRowsClampScrollAndRaiseAfterScrollOnce) {
    LanGrid g(30);
    auto& vs = g.vs;
    ASSERT_TRUE(vs.VScrollVisible());
    EXPECT_FALSE(vs.HScrollVisible());
    EXPECT_EQ(vs.TopRow(), 1);
    EXPECT_EQ(vs.BottomRow(), 20);
    EXPECT_EQ(vs.MaxTopRow(), 11);  // rows 11..30 fill the 20 rows of room

    vs.UserScrollTo(100);
    EXPECT_EQ(vs.TopRow(), 11);
    EXPECT_EQ(vs.BottomRow(), 30);
    EXPECT_EQ(g.Log(), "scroll 1,0->11,0;");
    vs.UserScrollTo(11);
    vs.UserScrollTo(0);  // the header is not scrollable
    EXPECT_EQ(vs.TopRow(), 1);
    EXPECT_EQ(g.Log(), "scroll 11,0->1,0;");

    // ShowCell scrolls as little as it can: the cell ends up on the last line, or the first.
    vs.ShowCell(25, 1);
    EXPECT_EQ(vs.TopRow(), 6);
    EXPECT_EQ(vs.BottomRow(), 25);
    vs.ShowCell(10, 1);
    EXPECT_EQ(vs.TopRow(), 6);
    vs.ShowCell(3, 1);
    EXPECT_EQ(vs.TopRow(), 3);
    g.Log();

    // A partly visible last row counts as visible.
    vs.Move(0, 0, vs.Width(), vs.Height() + 100);
    EXPECT_EQ(vs.BottomRow(), 23);
    vs.UserScrollBy(3);
    EXPECT_EQ(g.Log(), "scroll 3,0->6,0;");

    // Clearing the rows leaves nothing to scroll; the grid scrolls back, and says so.
    vs.SetRows(1);
    EXPECT_EQ(vs.TopRow(), 1);
    EXPECT_FALSE(vs.VScrollVisible());
    EXPECT_EQ(g.Log(), "scroll 6,0->1,0;");
}

TEST(Grid, BeforeEditDecidesWhatIsEditableAndAfterEditSeesTheNewText) {
    LanGrid g(3);
    auto& vs = g.vs;
    std::vector<std::string> edits;
    // The LAN grid's rules: boxes in columns 1 and 2 (header too), user names in selected rows.
    vs.BeforeEdit = [&](int row, int col, bool& cancel) {
        edits.push_back("before " + std::to_string(row) + "," + std::to_string(col));
        const bool box = row >= 0 && (col == 1 || col == 2);
        const bool login = row >= 1 && col == 3 && (vs.CellChecked(row, 1) == 1 || vs.CellChecked(row, 2) == 1);
        if (!box && !login) cancel = true;
    };
    vs.AfterEdit = [&](int row, int col) {
        edits.push_back("after " + std::to_string(row) + "," + std::to_string(col) + "=" + vs.TextMatrix(row, col));
    };
    vs.AfterRowColChange = [&](int, int, int row, int col) {
        if (row >= 1 && col == 3) vs.EditCell();
    };

    // Moving to a user name starts its edit at once; typing and Enter store it.
    vs.UserClickCell(2, 3);
    ASSERT_TRUE(vs.Editing());
    EXPECT_EQ(vs.EditText(), "user2");
    EXPECT_TRUE(vs.EditSelectAll());
    EXPECT_TRUE(vs.UserCommitEdit("admin"));
    EXPECT_FALSE(vs.Editing());
    EXPECT_EQ(vs.TextMatrix(2, 3), "admin");

    // A row without a ticked box refuses.
    vs.SetCellChecked(3, 2, CheckUnticked);
    vs.UserClickCell(3, 3);
    EXPECT_FALSE(vs.Editing());
    EXPECT_FALSE(vs.UserBeginEdit());
    EXPECT_FALSE(vs.UserKeyPress('a'));
    EXPECT_EQ(vs.TextMatrix(3, 3), "user3");

    // Column 0 is never editable; a second click on the current cell asks again and is refused.
    vs.UserClickCell(1, 0);
    vs.UserClickCell(1, 0);
    EXPECT_FALSE(vs.Editing());

    // Space toggles the box of the current cell; the header box does not move the cell.
    vs.UserClickCell(1, 1);
    edits.clear();
    EXPECT_TRUE(vs.UserKeyDown(KeySpace, 0));
    EXPECT_TRUE(vs.UserKeyPress(' '));  // swallowed, no edit begins
    EXPECT_FALSE(vs.Editing());
    EXPECT_EQ(vs.CellChecked(1, 1), CheckTicked);
    vs.UserToggleCheck(0, 2);
    EXPECT_EQ(vs.CellChecked(0, 2), CheckTicked);
    EXPECT_EQ(vs.Row(), 1);
    EXPECT_EQ(vs.Col(), 1);
    vs.UserToggleCheck(1, 3);  // no box there: nothing to ask, nothing changes
    EXPECT_EQ(vs.CellChecked(1, 3), CheckNone);
    std::string all;
    for (auto& e : edits) all += e + ";";
    EXPECT_EQ(all, "before 1,1;after 1,1=PC1;before 0,2;after 0,2=IP Address;");

    // Typing starts an edit with that character; Esc drops it.
    vs.Select(1, 2);
    EXPECT_TRUE(vs.UserKeyPress(0xE9));
    EXPECT_EQ(vs.EditText(), "\xC3\xA9");
    EXPECT_FALSE(vs.EditSelectAll());
    vs.UserCancelEdit();
    EXPECT_EQ(vs.TextMatrix(1, 2), "10.0.0.1");

    // ValidateEdit can keep the editor open.
    vs.ValidateEdit = [&](int, int, bool& cancel) { cancel = vs.EditText().empty(); };
    ASSERT_TRUE(vs.UserKeyDown(KeyF2, 0));
    EXPECT_FALSE(vs.UserCommitEdit(""));
    EXPECT_TRUE(vs.Editing());
    EXPECT_TRUE(vs.UserCommitEdit("10.0.0.9"));
    EXPECT_EQ(vs.TextMatrix(1, 2), "10.0.0.9");
}

TEST(Grid, AnEditEndsBeforeTheGridScrollsMovesOnOrLosesItsRow) {
    LanGrid g(30);
    auto& vs = g.vs;
    int afterEdits = 0;
    vs.AfterEdit = [&](int, int) { ++afterEdits; };
    vs.Select(2, 1);
    ASSERT_TRUE(vs.UserBeginEdit());
    vs.UserEditText("PC-two");
    vs.UserScrollBy(5);  // scrolling commits what was typed
    EXPECT_FALSE(vs.Editing());
    EXPECT_EQ(vs.TextMatrix(2, 1), "PC-two");
    EXPECT_EQ(afterEdits, 1);

    // Starting an edit brings its cell into view first.
    vs.Select(29, 1);
    ASSERT_TRUE(vs.UserBeginEdit());
    EXPECT_GE(vs.BottomRow(), 29);
    vs.UserEditText("lost");
    vs.UserClickCell(29, 3);  // moving on commits
    EXPECT_EQ(vs.TextMatrix(29, 1), "lost");
    EXPECT_EQ(afterEdits, 2);

    ASSERT_TRUE(vs.UserBeginEdit());
    vs.UserEditText("gone");
    vs.SetRows(1);  // the row went: the edit is dropped, not written anywhere
    EXPECT_FALSE(vs.Editing());
    EXPECT_EQ(afterEdits, 2);
    EXPECT_TRUE(vs.UserCommitEdit("late"));  // nothing to commit any more
    EXPECT_EQ(afterEdits, 2);
}

TEST(Grid, KeysMoveTheCurrentCellSkipHiddenColumnsAndKeepItInView) {
    LanGrid g(30);
    auto& vs = g.vs;
    vs.Select(1, 4);
    g.Log();
    // Key, shift, then where the current cell and the view are: row, column, top row.
    const std::vector<std::vector<int>> steps = {
        {KeyRight, 0, 1, 6, 1},  // over the hidden column
        {KeyRight, 0, 1, 6, 1}, {KeyLeft, 0, 1, 4, 1}, {KeyHome, 0, 1, 0, 1}, {KeyEnd, 0, 1, 6, 1},
        {KeyUp, 0, 1, 6, 1},  // not into the header
        {KeyPageDown, 0, 20, 6, 1}, {forms::KeyDown, 0, 21, 6, 2},
        {KeyEnd, CtrlKey, 30, 6, 11}, {KeyHome, CtrlKey, 1, 6, 1},
    };
    for (const auto& s : steps) {
        EXPECT_TRUE(vs.UserKeyDown(s[0], s[1])) << s[0];
        EXPECT_EQ((std::vector<int>{vs.Row(), vs.Col(), vs.TopRow()}), (std::vector<int>{s[2], s[3], s[4]})) << s[0];
        if (s[0] == KeyUp) {
            EXPECT_EQ(g.Log(), "cell 1,4->1,6;cell 1,6->1,4;cell 1,4->1,0;cell 1,0->1,6;");
        }
    }
    EXPECT_FALSE(vs.UserKeyDown('Q', 0));
    vs.SetRows(1);
    EXPECT_FALSE(vs.UserKeyDown(forms::KeyDown, 0));  // nothing to move to
}

TEST(Grid, AutoSizeFitsTextsBoxesAndLinesWithinTheLimitsAndKeepsHiddenColumnsHidden) {
    platform::ManualClock clock;
    fakes::HeadlessBackend backend;
    backend.charWidth = [](const Font& f) { return f.bold ? 120.0 : 100.0; };
    backend.lineHeight = [](const Font&) { return 160.0; };
    Application app(backend, clock);
    LanGrid g(2);
    auto& vs = g.vs;
    vs.SetCellFontBold(0, 0, 0, 6, true);
    vs.SetTextMatrix(2, 1, "A-MUCH-LONGER-NAME");  // 18 characters
    vs.SetTextMatrix(1, 6, "Updated successfully to:\r\nC:\\Prog");

    vs.AutoSize(0, vs.Cols() - 1);
    EXPECT_GT(vs.ColWidth(0), 7 * 120);  // the bold header "Sr. No." measured bold
    EXPECT_LT(vs.ColWidth(0), 7 * 120 + 200);
    EXPECT_GT(vs.ColWidth(1), 18 * 100 + 200);  // the long name and its box
    EXPECT_EQ(vs.ColWidth(5), 0);               // hidden stays hidden
    EXPECT_GT(vs.ColWidth(6), 24 * 100);        // the longest line of the status, not both
    EXPECT_LT(vs.ColWidth(6), 30 * 100);
    EXPECT_GT(vs.RowHeight(1), 2 * 160);  // tall enough for both lines
    EXPECT_EQ(vs.RowHeight(2), 240);      // RowHeightMin, one line

    // The limits bound it, and scaling a window scales the limits.
    vs.SetColWidthMin(1000);
    vs.SetColWidthMax(1200);
    vs.SetRowHeightMin(300);
    vs.SetRowHeightMax(400);
    vs.ScaleLimits(1.5f, 2.0f);
    vs.SetTextMatrix(1, 6, "");
    vs.AutoSize(0, 6);
    EXPECT_EQ(vs.ColWidth(0), 1500);
    EXPECT_EQ(vs.ColWidth(1), 1800);
    EXPECT_EQ(vs.RowHeight(1), 600);  // back to one line, raised to the minimum

    // Growing only: a cleared grid keeps its widths; otherwise it fits the header again.
    vs.SetColWidthMin(0);
    vs.SetColWidthMax(0);
    vs.SetColWidth(1, 5000);
    vs.SetRows(1);
    vs.AutoSizeGrowOnly = true;
    vs.AutoSize(1);
    EXPECT_EQ(vs.ColWidth(1), 5000);
    vs.AutoSizeGrowOnly = false;
    vs.AutoSize(1);
    EXPECT_LT(vs.ColWidth(1), 5000);  // the bold "Computer Name" and its box again
}

TEST(Grid, WorksWithoutAnApplicationOrWindow) {
    ASSERT_FALSE(Application::HasCurrent());
    LanGrid g(1);
    g.vs.SetTextMatrix(1, 3, "abcd");
    g.vs.AutoSize(3);
    // A rough measure still gives every character room.
    EXPECT_GT(g.vs.ColWidth(3), 4 * 8.25 * 10);
    EXPECT_GT(g.vs.DefaultRowHeight(), 0);
}
