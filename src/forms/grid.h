// The grid control: a table of text cells with a fixed header, per-cell check boxes, bold and
// back colours, hidden (zero-width) columns, scrolling, a current cell and in-place editing.
// Everything a user can do to it goes through the User* methods, so the native tests and the
// real window share one set of rules; the window only draws and forwards input.
//
// Positions and sizes are in twips. Row and column numbers start at 0; the first FixedRows rows
// and FixedCols columns never scroll and cannot become the current cell.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "forms/control.h"

namespace updexar::forms {

// Cell check values, as stored in the saved machine list.
enum GridCheck : int { CheckNone = 0, CheckTicked = 1, CheckUnticked = 2 };

// What changed, for the window that shows the grid.
enum class GridChange {
    Cells,      // texts, checks, bold, colours: repaint
    Layout,     // row/column counts or sizes, font: scroll bars and repaint
    Scroll,     // TopRow/LeftCol moved
    Current,    // the current cell moved
    EditBegan,  // show the editor over EditRow/EditCol with EditText
    EditEnded,  // hide the editor
};

// The window that shows a grid. The model calls it; it never calls back while being called,
// except through the User* methods.
class GridView {
public:
    virtual ~GridView() = default;
    virtual void GridChanged(GridChange what) = 0;
    // Size of the text in twips, with the window's own device context.
    virtual Size MeasureGridText(const Font& font, const std::string& text) = 0;
    // The model is being destroyed; forget it.
    virtual void GridGone() = 0;
};

class VSFlexGrid : public Control {
public:
    VSFlexGrid(Form& form, std::string name, int index = -1);
    ~VSFlexGrid() override;

    // Layout metrics of the window, in twips: a 1-pixel border and the system's scroll bar width
    // at 96 DPI until the window reports its own.
    void SetFrameMetrics(double border, double scrollBar);
    double BorderSize() const { return border_; }
    double ScrollBarSize() const { return scrollBar_; }
    // Check box edge and the gap around cell text, in twips; the window draws with these too.
    static constexpr double kCheckBoxSize = 195;
    static constexpr double kCellMargin = 45;
    // Each cell draws the grid line on its right and at its bottom inside its own width.
    static constexpr double kGridLine = 15;

    void AttachView(GridView* view);
    GridView* View() const { return view_; }

    // ---- shape
    int Rows() const { return static_cast<int>(rows_.size()); }
    // Fewer rows drop the ones at the end (Rows = FixedRows clears every data row); more rows
    // are empty.
    void SetRows(int n);
    int Cols() const { return static_cast<int>(cols_.size()); }
    void SetCols(int n);
    int FixedRows() const { return fixedRows_; }
    void SetFixedRows(int n);
    int FixedCols() const { return fixedCols_; }
    void SetFixedCols(int n);
    // Inserts a row at `at` (the end when -1) whose cells take the TAB-separated texts.
    void AddItem(const std::string& item, int at = -1);
    void RemoveItem(int row);

    // ---- cells (errors 381 for a cell outside the grid, 380 for a bad value)
    const std::string& TextMatrix(int row, int col) const;
    void SetTextMatrix(int row, int col, const std::string& text);
    int CellChecked(int row, int col) const;
    void SetCellChecked(int row, int col, int value);
    // Every cell of the rectangle between the two corners, in any order.
    void SetCellChecked(int row1, int col1, int row2, int col2, int value);
    bool CellFontBold(int row, int col) const;
    void SetCellFontBold(int row, int col, bool bold);
    void SetCellFontBold(int row1, int col1, int row2, int col2, bool bold);
    // 0 is the grid's own colour; others 0x00BBGGRR.
    Color CellBackColor(int row, int col) const;
    void SetCellBackColor(int row, int col, Color color);
    void SetCellBackColor(int row1, int col1, int row2, int col2, Color color);

    // ---- sizes
    // A negative width or height goes back to the default; a zero width hides the column.
    double ColWidth(int col) const;
    void SetColWidth(int col, double width);
    double RowHeight(int row) const;
    void SetRowHeight(int row, double height);
    double DefaultColWidth() const { return 960; }
    double DefaultRowHeight() const;
    // 0 means no limit. The column limits bound AutoSize; RowHeightMin raises every row,
    // RowHeightMax bounds the heights AutoSize gives to rows of several lines.
    double ColWidthMin() const { return colWidthMin_; }
    double ColWidthMax() const { return colWidthMax_; }
    double RowHeightMin() const { return rowHeightMin_; }
    double RowHeightMax() const { return rowHeightMax_; }
    void SetColWidthMin(double v);
    void SetColWidthMax(double v);
    void SetRowHeightMin(double v);
    void SetRowHeightMax(double v);
    void ScaleLimits(float sx, float sy) override;
    // Widths of the columns col1..col2 (one column when col2 < 0) to fit their texts, check
    // boxes and margins; hidden columns stay hidden. Rows holding several lines grow to show them.
    void AutoSize(int col1, int col2 = -1);
    // AutoSize never narrows a column (the widths set at load then act as minimum widths).
    bool AutoSizeGrowOnly = false;

    // ---- positions (inside the border, relative to the grid's client area, after scrolling)
    double ColPos(int col) const;
    double RowPos(int row) const;
    // The client area: the control's size less the border and any scroll bars shown.
    double ClientWidth() const;
    double ClientHeight() const;
    bool VScrollVisible() const;
    bool HScrollVisible() const;
    // The cell under a point of the client area; false outside every cell.
    bool CellAt(double x, double y, int& row, int& col) const;

    // ---- scrolling
    int TopRow() const { return topRow_; }
    void SetTopRow(int row);
    int LeftCol() const { return leftCol_; }
    void SetLeftCol(int col);
    // The last row and column at least partly in view.
    int BottomRow() const;
    int RightCol() const;
    // The largest TopRow / LeftCol: the last row or column then ends in view.
    int MaxTopRow() const;
    int MaxLeftCol() const;
    // Scrolls as little as needed to show the whole cell (as much as fits).
    void ShowCell(int row, int col);

    // ---- current cell (-1 while there is no data row / column)
    int Row() const { return row_; }
    int Col() const { return col_; }
    void SetRow(int row);
    void SetCol(int col);
    void Select(int row, int col);

    // ---- editing
    // Starts editing the current cell, unless BeforeEdit cancels.
    void EditCell();
    bool Editing() const { return editing_; }
    int EditRow() const { return editRow_; }
    int EditCol() const { return editCol_; }
    // The editor's text while editing.
    const std::string& EditText() const { return editText_; }
    // Whether the editor starts with its whole text selected (false: caret at the end, after a
    // typed first character).
    bool EditSelectAll() const { return editSelectAll_; }

    // ---- what the user does (the window calls these; so do the tests)
    void UserClickCell(int row, int col);
    void UserDoubleClickCell(int row, int col);
    // The check box of a cell was clicked (Space on the current cell does the same).
    void UserToggleCheck(int row, int col);
    // The grid's own response to a key, after the form and KeyDown had theirs; true when the
    // grid used the key.
    bool UserKeyDown(int keyCode, int shift);
    // A typed character (a Unicode code point) starts an edit that begins with it.
    bool UserKeyPress(int codePoint);
    bool UserBeginEdit();
    void UserEditText(const std::string& text);
    // Ends the edit with this text; false when ValidateEdit refused it (the edit goes on).
    bool UserCommitEdit(const std::string& text);
    void UserCancelEdit();
    void UserScrollTo(int topRow);
    void UserScrollColTo(int leftCol);
    // Wheel or scroll-bar steps: positive scrolls towards the end.
    void UserScrollBy(int rows);

    // ---- events
    std::function<void(int row, int col, bool& cancel)> BeforeEdit;
    std::function<void(int row, int col, bool& cancel)> ValidateEdit;
    std::function<void(int row, int col)> AfterEdit;
    std::function<void(int oldRow, int oldCol, int newRow, int newCol)> AfterRowColChange;
    std::function<void(int oldTop, int oldLeft, int newTop, int newLeft)> AfterScroll;
    std::function<void()> DblClick;

    bool CanFocus() const override { return true; }
    void SetFont(const Font& font) override;
    void Move(double left, double top, double width, double height) override;
    using Control::Move;

private:
    struct Cell {
        std::string text;
        int check = CheckNone;
        bool bold = false;
        Color back = 0;
    };
    struct RowData {
        std::vector<Cell> cells;
        double height = -1;      // set by code; -1 for the default
        double autoHeight = -1;  // set by AutoSize for text of several lines
    };

    void CheckCell(int row, int col) const;
    Cell& At(int row, int col);
    const Cell& At(int row, int col) const;
    template <class F>
    void ForRange(int row1, int col1, int row2, int col2, F f);
    RowData NewRow() const;

    double SumWidths(int from, int to) const;   // columns [from, to)
    double SumHeights(int from, int to) const;  // rows [from, to)
    double FixedWidth() const { return SumWidths(0, fixedCols_); }
    double FixedHeight() const { return SumHeights(0, fixedRows_); }
    void Layout(bool& needV, bool& needH) const;
    int FirstVisibleCol(int from, int step) const;

    // Moves the scroll position (clamped) and raises AfterScroll once when it changed.
    void ScrollTo(int top, int left);
    void ClampScroll();
    // Moves the current cell and raises AfterRowColChange when it changed.
    void MoveCurrent(int row, int col);
    // Keeps the current cell inside the grid after rows or columns went, without events.
    void FixCurrent();
    bool IsDataCell(int row, int col) const;
    bool Finish(bool commit);
    bool StartEdit(const std::string* initial);
    Size Measure(const Font& font, const std::string& text) const;
    void Notify(GridChange what);

    std::vector<RowData> rows_;
    std::vector<double> cols_;  // widths set by code; -1 for the default
    int fixedRows_ = 1;
    int fixedCols_ = 1;
    int topRow_ = 1;
    int leftCol_ = 1;
    int row_ = 1;
    int col_ = 1;
    double colWidthMin_ = 0, colWidthMax_ = 0, rowHeightMin_ = 0, rowHeightMax_ = 0;
    mutable double defaultRowHeight_ = -1;  // measured once per font
    double border_ = 15;
    double scrollBar_ = 255;
    bool editing_ = false;
    int editRow_ = -1, editCol_ = -1;
    std::string editText_;
    bool editSelectAll_ = true;
    GridView* view_ = nullptr;
};

// Key codes the grid answers besides those of types.h.
enum GridKey : int { KeyPageUp = 33, KeyPageDown = 34, KeyEnd = 35, KeyHome = 36 };

}  // namespace updexar::forms
