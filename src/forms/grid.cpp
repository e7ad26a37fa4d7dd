#include "forms/grid.h"

#include <algorithm>
#include <cmath>

#include "forms/application.h"
#include "platform/errors.h"

namespace updexar::forms {
namespace {

RuntimeError BadIndex() { return RuntimeError(ErrInvalidPropertyArrayIndex); }
RuntimeError BadValue() { return RuntimeError(ErrInvalidPropertyValue); }

std::string Utf8(int cp) {
    std::string s;
    const auto u = static_cast<unsigned>(cp);
    if (u < 0x80) {
        s += static_cast<char>(u);
    } else if (u < 0x800) {
        s += static_cast<char>(0xC0 | (u >> 6));
        s += static_cast<char>(0x80 | (u & 0x3F));
    } else if (u < 0x10000) {
        s += static_cast<char>(0xE0 | (u >> 12));
        s += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
        s += static_cast<char>(0x80 | (u & 0x3F));
    } else {
        s += static_cast<char>(0xF0 | (u >> 18));
        s += static_cast<char>(0x80 | ((u >> 12) & 0x3F));
        s += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
        s += static_cast<char>(0x80 | (u & 0x3F));
    }
    return s;
}

int LineCount(const std::string& text) {
    int lines = 1;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            ++lines;
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else if (text[i] == '\n') {
            ++lines;
        }
    }
    return lines;
}

// Without a window or an application (a model on its own) texts are measured roughly, the way
// the headless backend does.
Size RoughMeasure(const Font& font, const std::string& text) {
    double widest = 0, chars = 0;
    for (size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == '\r' || text[i] == '\n') {
            widest = std::max(widest, chars);
            chars = 0;
            if (i + 1 < text.size() && text[i] == '\r' && text[i + 1] == '\n') ++i;
        } else if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
            ++chars;
        }
    }
    return {widest * font.Points() * 10.0, LineCount(text) * std::round(font.Points() * 24.0)};
}

// Room above and below the text of a row.
constexpr double kRowPadding = 60;

}  // namespace

VSFlexGrid::VSFlexGrid(Form& form, std::string name, int index)
    : Control(form, std::move(name), index, "VSFlexGrid", true, true) {
    cols_.assign(10, -1);
    rows_.assign(50, NewRow());
}

VSFlexGrid::~VSFlexGrid() {
    if (view_) view_->GridGone();
}

void VSFlexGrid::SetFrameMetrics(double border, double scrollBar) {
    border_ = std::max(0.0, border);
    scrollBar_ = std::max(0.0, scrollBar);
    ClampScroll();
}

void VSFlexGrid::AttachView(GridView* view) {
    view_ = view;
    defaultRowHeight_ = -1;
}

VSFlexGrid::RowData VSFlexGrid::NewRow() const {
    RowData r;
    r.cells.resize(cols_.size());
    return r;
}

// ---- shape

void VSFlexGrid::SetRows(int n) {
    if (n < 0) throw BadValue();
    if (editing_ && editRow_ >= n) Finish(false);
    rows_.resize(static_cast<size_t>(n), NewRow());
    fixedRows_ = std::min(fixedRows_, n);
    FixCurrent();
    Notify(GridChange::Layout);
    ClampScroll();
}

void VSFlexGrid::SetCols(int n) {
    if (n < 0) throw BadValue();
    if (editing_ && editCol_ >= n) Finish(false);
    cols_.resize(static_cast<size_t>(n), -1);
    for (RowData& r : rows_) r.cells.resize(static_cast<size_t>(n));
    fixedCols_ = std::min(fixedCols_, n);
    FixCurrent();
    Notify(GridChange::Layout);
    ClampScroll();
}

void VSFlexGrid::SetFixedRows(int n) {
    if (n < 0 || n > Rows()) throw BadValue();
    if (editing_ && editRow_ < n) Finish(false);
    fixedRows_ = n;
    FixCurrent();
    Notify(GridChange::Layout);
    ClampScroll();
}

void VSFlexGrid::SetFixedCols(int n) {
    if (n < 0 || n > Cols()) throw BadValue();
    if (editing_ && editCol_ < n) Finish(false);
    fixedCols_ = n;
    FixCurrent();
    Notify(GridChange::Layout);
    ClampScroll();
}

void VSFlexGrid::AddItem(const std::string& item, int at) {
    if (at < 0) at = Rows();
    if (at > Rows()) throw BadIndex();
    if (editing_ && editRow_ >= at) Finish(false);
    RowData row = NewRow();
    size_t col = 0, start = 0;
    while (col < row.cells.size() && start <= item.size()) {
        const size_t tab = item.find('\t', start);
        row.cells[col++].text = item.substr(start, tab == std::string::npos ? std::string::npos : tab - start);
        if (tab == std::string::npos) break;
        start = tab + 1;
    }
    rows_.insert(rows_.begin() + at, std::move(row));
    // The current cell stays on the row it was on.
    if (row_ >= at && row_ >= fixedRows_) ++row_;
    Notify(GridChange::Layout);
    ClampScroll();
}

void VSFlexGrid::RemoveItem(int row) {
    if (row < 0 || row >= Rows()) throw BadIndex();
    if (editing_ && editRow_ >= row) Finish(false);
    rows_.erase(rows_.begin() + row);
    if (row < fixedRows_) --fixedRows_;
    if (row_ > row) --row_;
    FixCurrent();
    Notify(GridChange::Layout);
    ClampScroll();
}

// ---- cells

void VSFlexGrid::CheckCell(int row, int col) const {
    if (row < 0 || row >= Rows() || col < 0 || col >= Cols()) throw BadIndex();
}

VSFlexGrid::Cell& VSFlexGrid::At(int row, int col) {
    CheckCell(row, col);
    return rows_[static_cast<size_t>(row)].cells[static_cast<size_t>(col)];
}

const VSFlexGrid::Cell& VSFlexGrid::At(int row, int col) const {
    CheckCell(row, col);
    return rows_[static_cast<size_t>(row)].cells[static_cast<size_t>(col)];
}

template <class F>
void VSFlexGrid::ForRange(int row1, int col1, int row2, int col2, F f) {
    CheckCell(row1, col1);
    CheckCell(row2, col2);
    if (row1 > row2) std::swap(row1, row2);
    if (col1 > col2) std::swap(col1, col2);
    for (int r = row1; r <= row2; ++r)
        for (int c = col1; c <= col2; ++c) f(At(r, c));
    Notify(GridChange::Cells);
}

const std::string& VSFlexGrid::TextMatrix(int row, int col) const { return At(row, col).text; }

void VSFlexGrid::SetTextMatrix(int row, int col, const std::string& text) {
    At(row, col).text = text;
    Notify(GridChange::Cells);
}

int VSFlexGrid::CellChecked(int row, int col) const { return At(row, col).check; }

void VSFlexGrid::SetCellChecked(int row, int col, int value) { SetCellChecked(row, col, row, col, value); }

void VSFlexGrid::SetCellChecked(int row1, int col1, int row2, int col2, int value) {
    if (value < CheckNone || value > CheckUnticked) throw BadValue();
    ForRange(row1, col1, row2, col2, [value](Cell& c) { c.check = value; });
}

bool VSFlexGrid::CellFontBold(int row, int col) const { return At(row, col).bold; }

void VSFlexGrid::SetCellFontBold(int row, int col, bool bold) { SetCellFontBold(row, col, row, col, bold); }

void VSFlexGrid::SetCellFontBold(int row1, int col1, int row2, int col2, bool bold) {
    ForRange(row1, col1, row2, col2, [bold](Cell& c) { c.bold = bold; });
}

Color VSFlexGrid::CellBackColor(int row, int col) const { return At(row, col).back; }

void VSFlexGrid::SetCellBackColor(int row, int col, Color color) { SetCellBackColor(row, col, row, col, color); }

void VSFlexGrid::SetCellBackColor(int row1, int col1, int row2, int col2, Color color) {
    ForRange(row1, col1, row2, col2, [color](Cell& c) { c.back = color; });
}

// ---- sizes

double VSFlexGrid::ColWidth(int col) const {
    if (col < 0 || col >= Cols()) throw BadIndex();
    const double w = cols_[static_cast<size_t>(col)];
    return w >= 0 ? w : DefaultColWidth();
}

void VSFlexGrid::SetColWidth(int col, double width) {
    if (col < 0 || col >= Cols()) throw BadIndex();
    cols_[static_cast<size_t>(col)] = width < 0 ? -1 : width;
    Notify(GridChange::Layout);
    ClampScroll();
}

double VSFlexGrid::RowHeight(int row) const {
    if (row < 0 || row >= Rows()) throw BadIndex();
    const RowData& r = rows_[static_cast<size_t>(row)];
    double h = r.height >= 0 ? r.height : std::max(DefaultRowHeight(), r.autoHeight);
    if (h > 0) h = std::max(h, rowHeightMin_);
    return h;
}

void VSFlexGrid::SetRowHeight(int row, double height) {
    if (row < 0 || row >= Rows()) throw BadIndex();
    rows_[static_cast<size_t>(row)].height = height < 0 ? -1 : height;
    Notify(GridChange::Layout);
    ClampScroll();
}

double VSFlexGrid::DefaultRowHeight() const {
    if (defaultRowHeight_ < 0) defaultRowHeight_ = Measure(font_, "Ag").height + kRowPadding;
    return defaultRowHeight_;
}

void VSFlexGrid::SetColWidthMin(double v) { colWidthMin_ = std::max(0.0, v); }
void VSFlexGrid::SetColWidthMax(double v) { colWidthMax_ = std::max(0.0, v); }

void VSFlexGrid::SetRowHeightMin(double v) {
    rowHeightMin_ = std::max(0.0, v);
    Notify(GridChange::Layout);
    ClampScroll();
}

void VSFlexGrid::SetRowHeightMax(double v) { rowHeightMax_ = std::max(0.0, v); }

void VSFlexGrid::ScaleLimits(float sx, float sy) {
    colWidthMax_ *= sx;
    rowHeightMax_ *= sy;
    colWidthMin_ *= sx;
    rowHeightMin_ *= sy;
    Notify(GridChange::Layout);
    ClampScroll();
}

Size VSFlexGrid::Measure(const Font& font, const std::string& text) const {
    if (view_) return view_->MeasureGridText(font, text);
    if (Application::HasCurrent()) return Application::Current().GetBackend().MeasureText(font, text, false, 0);
    return RoughMeasure(font, text);
}

void VSFlexGrid::AutoSize(int col1, int col2) {
    if (col2 < 0) col2 = col1;
    if (col1 > col2) std::swap(col1, col2);
    if (col1 < 0 || col2 >= Cols()) throw BadIndex();
    auto fontOf = [this](const Cell& cell) {
        Font f = font_;
        f.bold = f.bold || cell.bold;
        return f;
    };
    for (int c = col1; c <= col2; ++c) {
        if (cols_[static_cast<size_t>(c)] == 0) continue;  // hidden stays hidden
        double w = 2 * kCellMargin + kGridLine;
        for (const RowData& row : rows_) {
            const Cell& cell = row.cells[static_cast<size_t>(c)];
            double need = 2 * kCellMargin + kGridLine;
            if (!cell.text.empty()) need += Measure(fontOf(cell), cell.text).width;
            if (cell.check != CheckNone) need += kCheckBoxSize + kCellMargin;
            w = std::max(w, std::ceil(need));
        }
        if (colWidthMin_ > 0) w = std::max(w, colWidthMin_);
        if (colWidthMax_ > 0) w = std::min(w, colWidthMax_);
        if (AutoSizeGrowOnly) w = std::max(w, ColWidth(c));
        cols_[static_cast<size_t>(c)] = w;
    }
    // Results of several lines (the LAN status) get rows tall enough to read them.
    for (RowData& row : rows_) {
        double tallest = -1;
        for (size_t c = 0; c < row.cells.size(); ++c) {
            const Cell& cell = row.cells[c];
            if (cols_[c] == 0 || LineCount(cell.text) < 2) continue;
            tallest = std::max(tallest, Measure(fontOf(cell), cell.text).height + kRowPadding + kGridLine);
        }
        if (tallest > 0 && rowHeightMax_ > 0) tallest = std::min(tallest, rowHeightMax_);
        row.autoHeight = tallest;
    }
    Notify(GridChange::Layout);
    ClampScroll();
}

// ---- positions

double VSFlexGrid::SumWidths(int from, int to) const {
    double s = 0;
    for (int c = std::max(0, from); c < std::min(to, Cols()); ++c) s += ColWidth(c);
    return s;
}

double VSFlexGrid::SumHeights(int from, int to) const {
    double s = 0;
    for (int r = std::max(0, from); r < std::min(to, Rows()); ++r) s += RowHeight(r);
    return s;
}

void VSFlexGrid::Layout(bool& needV, bool& needH) const {
    const double w = Width() - 2 * border_, h = Height() - 2 * border_;
    const double contentW = SumWidths(0, Cols()), contentH = SumHeights(0, Rows());
    needV = contentH > h;
    needH = contentW > w - (needV ? scrollBar_ : 0);
    if (needH && !needV) needV = contentH > h - scrollBar_;
}

bool VSFlexGrid::VScrollVisible() const {
    bool v, h;
    Layout(v, h);
    return v;
}

bool VSFlexGrid::HScrollVisible() const {
    bool v, h;
    Layout(v, h);
    return h;
}

double VSFlexGrid::ClientWidth() const {
    bool v, h;
    Layout(v, h);
    return std::max(0.0, Width() - 2 * border_ - (v ? scrollBar_ : 0));
}

double VSFlexGrid::ClientHeight() const {
    bool v, h;
    Layout(v, h);
    return std::max(0.0, Height() - 2 * border_ - (h ? scrollBar_ : 0));
}

double VSFlexGrid::ColPos(int col) const {
    if (col < 0 || col >= Cols()) throw BadIndex();
    if (col < fixedCols_) return SumWidths(0, col);
    return FixedWidth() + (col >= leftCol_ ? SumWidths(leftCol_, col) : -SumWidths(col, leftCol_));
}

double VSFlexGrid::RowPos(int row) const {
    if (row < 0 || row >= Rows()) throw BadIndex();
    if (row < fixedRows_) return SumHeights(0, row);
    return FixedHeight() + (row >= topRow_ ? SumHeights(topRow_, row) : -SumHeights(row, topRow_));
}

bool VSFlexGrid::CellAt(double x, double y, int& row, int& col) const {
    row = col = -1;
    if (x < 0 || y < 0 || x >= ClientWidth() || y >= ClientHeight()) return false;
    const double fh = FixedHeight(), fw = FixedWidth();
    double pos = y < fh ? 0 : fh;
    for (int r = y < fh ? 0 : topRow_; r < Rows(); ++r) {
        const double h = RowHeight(r);
        if (y < pos + h) {
            row = r;
            break;
        }
        pos += h;
    }
    pos = x < fw ? 0 : fw;
    for (int c = x < fw ? 0 : leftCol_; c < Cols(); ++c) {
        const double w = ColWidth(c);
        if (x < pos + w) {
            col = c;
            break;
        }
        pos += w;
    }
    return row >= 0 && col >= 0;
}

// ---- scrolling

int VSFlexGrid::MaxTopRow() const {
    const double view = ClientHeight() - FixedHeight();
    double used = 0;
    int r = Rows() - 1;
    for (; r >= fixedRows_; --r) {
        used += RowHeight(r);
        if (used > view) break;
    }
    return std::clamp(r + 1, fixedRows_, std::max(fixedRows_, Rows() - 1));
}

int VSFlexGrid::MaxLeftCol() const {
    const double view = ClientWidth() - FixedWidth();
    double used = 0;
    int c = Cols() - 1;
    for (; c >= fixedCols_; --c) {
        used += ColWidth(c);
        if (used > view) break;
    }
    return std::clamp(c + 1, fixedCols_, std::max(fixedCols_, Cols() - 1));
}

int VSFlexGrid::BottomRow() const {
    const double view = ClientHeight();
    double y = FixedHeight();
    int last = fixedRows_ - 1;
    for (int r = topRow_; r < Rows() && y < view; ++r) {
        y += RowHeight(r);
        last = r;
    }
    return last;
}

int VSFlexGrid::RightCol() const {
    const double view = ClientWidth();
    double x = FixedWidth();
    int last = fixedCols_ - 1;
    for (int c = leftCol_; c < Cols() && x < view; ++c) {
        x += ColWidth(c);
        last = c;
    }
    return last;
}

void VSFlexGrid::SetTopRow(int row) { ScrollTo(row, leftCol_); }
void VSFlexGrid::SetLeftCol(int col) { ScrollTo(topRow_, col); }

void VSFlexGrid::ShowCell(int row, int col) {
    CheckCell(row, col);
    int top = topRow_, left = leftCol_;
    if (row >= fixedRows_) {
        const double view = ClientHeight() - FixedHeight();
        if (row < topRow_) {
            top = row;
        } else if (SumHeights(topRow_, row + 1) > view) {
            double used = RowHeight(row);
            top = row;
            while (top - 1 >= fixedRows_ && used + RowHeight(top - 1) <= view) used += RowHeight(--top);
        }
    }
    if (col >= fixedCols_) {
        const double view = ClientWidth() - FixedWidth();
        if (col < leftCol_) {
            left = col;
        } else if (SumWidths(leftCol_, col + 1) > view) {
            double used = ColWidth(col);
            left = col;
            while (left - 1 >= fixedCols_ && used + ColWidth(left - 1) <= view) used += ColWidth(--left);
        }
    }
    ScrollTo(top, left);
}

void VSFlexGrid::ScrollTo(int top, int left) {
    top = std::clamp(top, fixedRows_, MaxTopRow());
    left = std::clamp(left, fixedCols_, MaxLeftCol());
    if (top == topRow_ && left == leftCol_) return;
    // The editor would be left over a cell that moved.
    if (editing_ && !Finish(true)) return;
    const int oldTop = topRow_, oldLeft = leftCol_;
    topRow_ = top;
    leftCol_ = left;
    Notify(GridChange::Scroll);
    if (AfterScroll) AfterScroll(oldTop, oldLeft, topRow_, leftCol_);
}

void VSFlexGrid::ClampScroll() { ScrollTo(topRow_, leftCol_); }

// ---- current cell

bool VSFlexGrid::IsDataCell(int row, int col) const {
    return row >= fixedRows_ && row < Rows() && col >= fixedCols_ && col < Cols();
}

void VSFlexGrid::FixCurrent() {
    if (row_ >= Rows()) row_ = Rows() - 1;
    if (row_ < fixedRows_) row_ = -1;
    if (col_ >= Cols()) col_ = Cols() - 1;
    if (col_ < fixedCols_) col_ = -1;
}

void VSFlexGrid::MoveCurrent(int row, int col) {
    if (row == row_ && col == col_) return;
    if (editing_ && !Finish(true)) return;
    const int oldRow = row_, oldCol = col_;
    row_ = row;
    col_ = col;
    Notify(GridChange::Current);
    if (AfterRowColChange) AfterRowColChange(oldRow, oldCol, row_, col_);
}

void VSFlexGrid::SetRow(int row) {
    if (row < -1 || row >= Rows()) throw BadValue();
    MoveCurrent(row, col_);
}

void VSFlexGrid::SetCol(int col) {
    if (col < -1 || col >= Cols()) throw BadValue();
    MoveCurrent(row_, col);
}

void VSFlexGrid::Select(int row, int col) {
    if (row < -1 || row >= Rows() || col < -1 || col >= Cols()) throw BadValue();
    MoveCurrent(row, col);
}

int VSFlexGrid::FirstVisibleCol(int from, int step) const {
    for (int c = from; c >= fixedCols_ && c < Cols(); c += step)
        if (ColWidth(c) > 0) return c;
    return -1;
}

// ---- editing

void VSFlexGrid::EditCell() { StartEdit(nullptr); }

bool VSFlexGrid::StartEdit(const std::string* initial) {
    if (editing_) return true;
    const int r = row_, c = col_;
    if (!IsDataCell(r, c) || !Enabled()) return false;
    bool cancel = false;
    if (BeforeEdit) BeforeEdit(r, c, cancel);
    // The handler may have refused, moved the cursor, changed the grid or started an edit itself.
    if (cancel || editing_ || row_ != r || col_ != c || !IsDataCell(r, c)) return editing_;
    ShowCell(r, c);
    editing_ = true;
    editRow_ = r;
    editCol_ = c;
    editText_ = initial ? *initial : At(r, c).text;
    editSelectAll_ = initial == nullptr;
    Notify(GridChange::EditBegan);
    return true;
}

bool VSFlexGrid::Finish(bool commit) {
    if (!editing_) return true;
    const int r = editRow_, c = editCol_;
    if (commit) {
        bool cancel = false;
        if (ValidateEdit) ValidateEdit(r, c, cancel);
        if (cancel) return false;
        if (!editing_) return true;
    }
    editing_ = false;
    editRow_ = editCol_ = -1;
    const std::string text = std::move(editText_);
    editText_.clear();
    Notify(GridChange::EditEnded);
    if (commit && r < Rows() && c < Cols()) {
        At(r, c).text = text;
        Notify(GridChange::Cells);
        if (AfterEdit) AfterEdit(r, c);
    }
    return true;
}

// ---- what the user does

void VSFlexGrid::UserClickCell(int row, int col) {
    if (!Enabled()) return;
    if (IsDataCell(row, col)) {
        const bool wasCurrent = row == row_ && col == col_;
        MoveCurrent(row, col);
        // A click on the cell that already was current opens it, as a double click does.
        if (wasCurrent && row_ == row && col_ == col && !editing_) StartEdit(nullptr);
    }
    if (Click) Click();
}

void VSFlexGrid::UserDoubleClickCell(int row, int col) {
    if (!Enabled()) return;
    if (IsDataCell(row, col)) {
        MoveCurrent(row, col);
        if (row_ == row && col_ == col && !editing_) StartEdit(nullptr);
    }
    if (DblClick) DblClick();
}

void VSFlexGrid::UserToggleCheck(int row, int col) {
    if (!Enabled() || row < 0 || row >= Rows() || col < 0 || col >= Cols()) return;
    if (At(row, col).check == CheckNone) return;
    if (IsDataCell(row, col)) {
        MoveCurrent(row, col);
        if (row_ != row || col_ != col || editing_) return;
    } else if (editing_ && !Finish(true)) {
        return;
    }
    bool cancel = false;
    if (BeforeEdit) BeforeEdit(row, col, cancel);
    if (cancel || row >= Rows() || col >= Cols()) return;
    Cell& cell = At(row, col);
    if (cell.check == CheckNone) return;
    cell.check = cell.check == CheckTicked ? CheckUnticked : CheckTicked;
    Notify(GridChange::Cells);
    if (AfterEdit) AfterEdit(row, col);
}

bool VSFlexGrid::UserKeyDown(int keyCode, int shift) {
    if (!Enabled() || editing_) return false;
    const int firstRow = fixedRows_, lastRow = Rows() - 1;
    if (lastRow < firstRow || FirstVisibleCol(fixedCols_, 1) < 0) return false;
    int r = row_ < 0 ? firstRow : row_;
    int c = col_ < 0 ? FirstVisibleCol(fixedCols_, 1) : col_;
    const bool ctrl = (shift & CtrlKey) != 0;
    // A page is the rows that fit below the header, at least one.
    auto page = [this] {
        const int n = BottomRow() - topRow_;
        return std::max(1, n);
    };
    switch (keyCode) {
        case KeyUp: r = row_ < 0 ? firstRow : std::max(firstRow, r - 1); break;
        case forms::KeyDown: r = row_ < 0 ? firstRow : std::min(lastRow, r + 1); break;
        case KeyLeft: {
            const int n = FirstVisibleCol(c - 1, -1);
            if (n >= 0) c = n;
            break;
        }
        case KeyRight: {
            const int n = FirstVisibleCol(c + 1, 1);
            if (n >= 0) c = n;
            break;
        }
        case KeyHome:
            if (ctrl) r = firstRow;
            else c = FirstVisibleCol(fixedCols_, 1);
            break;
        case KeyEnd:
            if (ctrl) r = lastRow;
            else c = FirstVisibleCol(Cols() - 1, -1);
            break;
        case KeyPageUp: r = std::max(firstRow, r - page()); break;
        case KeyPageDown: r = std::min(lastRow, r + page()); break;
        case KeySpace:
            if (!IsDataCell(row_, col_) || At(row_, col_).check == CheckNone) return false;
            UserToggleCheck(row_, col_);
            return true;
        case KeyF2:
        case KeyReturn: return UserBeginEdit();
        default: return false;
    }
    MoveCurrent(r, c);
    if (IsDataCell(row_, col_)) ShowCell(row_, col_);
    return true;
}

bool VSFlexGrid::UserKeyPress(int codePoint) {
    if (!Enabled() || editing_) return false;
    if (codePoint < 32 || codePoint == 127 || (codePoint >= 0xD800 && codePoint < 0xE000) || codePoint > 0x10FFFF)
        return false;
    // Space on a check box cell toggled it on its way down.
    if (codePoint == ' ' && IsDataCell(row_, col_) && At(row_, col_).check != CheckNone) return true;
    const std::string typed = Utf8(codePoint);
    return StartEdit(&typed);
}

bool VSFlexGrid::UserBeginEdit() {
    if (!Enabled()) return false;
    return StartEdit(nullptr);
}

void VSFlexGrid::UserEditText(const std::string& text) {
    if (editing_) editText_ = text;
}

bool VSFlexGrid::UserCommitEdit(const std::string& text) {
    if (!editing_) return true;
    editText_ = text;
    return Finish(true);
}

void VSFlexGrid::UserCancelEdit() { Finish(false); }

void VSFlexGrid::UserScrollTo(int topRow) { ScrollTo(topRow, leftCol_); }

void VSFlexGrid::UserScrollColTo(int leftCol) { ScrollTo(topRow_, leftCol); }

void VSFlexGrid::UserScrollBy(int rows) { ScrollTo(topRow_ + rows, leftCol_); }

// ---- control

void VSFlexGrid::SetFont(const Font& font) {
    Control::SetFont(font);
    defaultRowHeight_ = -1;
    Notify(GridChange::Layout);
    ClampScroll();
}

void VSFlexGrid::Move(double left, double top, double width, double height) {
    Control::Move(left, top, width, height);
    Notify(GridChange::Layout);
    ClampScroll();
}

void VSFlexGrid::Notify(GridChange what) {
    if (what == GridChange::Cells || what == GridChange::Layout) Changed(Property::Data);
    if (view_) view_->GridChanged(what);
}

}  // namespace updexar::forms
