#include "win32/win32_grid.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "forms/grid.h"
#include "win32/wide.h"
#include "win32/win32_forms_peers.h"

namespace updexar::win32 {

const wchar_t kGridClassName[] = L"UpdexarGrid";

namespace {

using forms::GridChange;
using forms::VSFlexGrid;

constexpr UINT_PTR kEditorSubclass = 0x47524944;
const COLORREF kLineColour = RGB(0xC0, 0xC0, 0xC0);
// The current cell while the grid does not have the focus.
const COLORREF kQuietHighlight = RGB(0xD9, 0xE4, 0xF1);

struct Span {
    int index;
    int from, to;  // pixels, [from, to)
};

class GridWindow final : public forms::GridView {
public:
    explicit GridWindow(VSFlexGrid& model) : grid(&model) {}

    static LRESULT CALLBACK Proc(HWND h, UINT m, WPARAM w, LPARAM l);
    static LRESULT CALLBACK EditorProc(HWND h, UINT m, WPARAM w, LPARAM l, UINT_PTR, DWORD_PTR ref);

    // GridView
    void GridChanged(GridChange what) override;
    forms::Size MeasureGridText(const forms::Font& font, const std::string& text) override;
    void GridGone() override;

private:
    LRESULT Dispatch(UINT m, WPARAM w, LPARAM l);
    void OnCreate();
    void OnPaint();
    void OnLButton(int x, int y, bool dbl);
    void OnWheel(int delta);
    void OnScroll(int bar, int code);
    void OnKeyDown(int vk);
    void OnChar(wchar_t ch);
    void OnEditorChange();
    LRESULT OnEditorMessage(HWND h, UINT m, WPARAM w, LPARAM l, bool& handled);

    std::vector<Span> ColSpans() const;
    std::vector<Span> RowSpans() const;
    bool CellRect(int row, int col, RECT& rc) const;
    bool CheckRect(int row, int col, RECT& rc) const;
    RECT CheckBoxIn(const RECT& cell) const;
    RECT TextRect(int row, int col, const RECT& cell) const;
    // The colours a cell is drawn in, apart from the current cell's highlight.
    void CellColours(int row, int col, COLORREF& back, COLORREF& fore) const;
    void PaintCell(HDC dc, int row, int col, const RECT& cell);
    // GRIDM_GETCELL: the cell, as WM_COPYDATA to the asking window.
    bool AnswerCell(int row, int col, HWND to) const;
    void UpdateScrollBars();
    void SetBar(int bar, int max, int page, int pos);
    void ShowEditor();
    void PlaceEditor();
    void HideEditor();
    void CommitEditor();
    std::string EditorText() const;
    HFONT CellFont(bool bold) const;

    HWND hwnd_ = nullptr;
    HWND editor_ = nullptr;
    VSFlexGrid* grid = nullptr;
    int wheelRest_ = 0;
    bool syncing_ = false;       // the editor's text is being set by us, not typed
    bool updatingBars_ = false;  // showing a scroll bar resizes the client area
    friend HWND updexar::win32::CreateGridWindow(HWND parent, forms::VSFlexGrid& grid);
};

int Shift() {
    int shift = 0;
    if (GetKeyState(VK_SHIFT) < 0) shift |= forms::ShiftKey;
    if (GetKeyState(VK_CONTROL) < 0) shift |= forms::CtrlKey;
    if (GetKeyState(VK_MENU) < 0) shift |= forms::AltKey;
    return shift;
}

void FillSolid(HDC dc, const RECT& rc, COLORREF colour) {
    SetBkColor(dc, colour);
    ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &rc, nullptr, 0, nullptr);
}

ATOM RegisterGridClass() {
    static const ATOM atom = [] {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.style = CS_DBLCLKS;
        wc.lpfnWndProc = GridWindow::Proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.lpszClassName = kGridClassName;
        return RegisterClassExW(&wc);
    }();
    return atom;
}

// ---- window procedure

LRESULT CALLBACK GridWindow::Proc(HWND h, UINT m, WPARAM w, LPARAM l) {
    auto* self = reinterpret_cast<GridWindow*>(GetWindowLongPtrW(h, GWLP_USERDATA));
    if (m == WM_NCCREATE) {
        self = static_cast<GridWindow*>(reinterpret_cast<CREATESTRUCTW*>(l)->lpCreateParams);
        self->hwnd_ = h;
        SetWindowLongPtrW(h, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    if (!self) return DefWindowProcW(h, m, w, l);
    if (m == WM_NCDESTROY) {
        SetWindowLongPtrW(h, GWLP_USERDATA, 0);
        if (self->grid) self->grid->AttachView(nullptr);
        delete self;
        return DefWindowProcW(h, m, w, l);
    }
    LRESULT result = 0;
    if (!RunGuarded([&] { result = self->Dispatch(m, w, l); })) return DefWindowProcW(h, m, w, l);
    return result;
}

LRESULT GridWindow::Dispatch(UINT m, WPARAM w, LPARAM l) {
    switch (m) {
        case WM_CREATE:
            OnCreate();
            return 0;
        case WM_DESTROY:
            if (grid) grid->AttachView(nullptr);
            grid = nullptr;
            return 0;
        case WM_ERASEBKGND:
            return 1;
        case WM_PAINT:
            OnPaint();
            return 0;
        case WM_SIZE:
            UpdateScrollBars();
            if (grid && grid->Editing()) PlaceEditor();
            InvalidateRect(hwnd_, nullptr, FALSE);
            return 0;
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
        case WM_ENABLE:
            InvalidateRect(hwnd_, nullptr, FALSE);
            return 0;
        case WM_SETFONT:
            // The model's font is the one drawn; the backend sends the same one.
            if (LOWORD(l)) InvalidateRect(hwnd_, nullptr, FALSE);
            return 0;
        case WM_GETFONT:
            return grid ? reinterpret_cast<LRESULT>(FontFor(grid->GetFont())) : 0;
        case WM_GETDLGCODE:
            return DLGC_WANTARROWS | DLGC_WANTCHARS;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            OnLButton(GET_X_LPARAM(l), GET_Y_LPARAM(l), m == WM_LBUTTONDBLCLK);
            return 0;
        case WM_MOUSEWHEEL:
            OnWheel(GET_WHEEL_DELTA_WPARAM(w));
            return 0;
        case WM_VSCROLL:
        case WM_HSCROLL:
            OnScroll(m == WM_VSCROLL ? SB_VERT : SB_HORZ, LOWORD(w));
            return 0;
        case WM_KEYDOWN:
            OnKeyDown(static_cast<int>(w));
            return 0;
        case WM_CHAR:
            OnChar(static_cast<wchar_t>(w));
            return 0;
        case WM_COMMAND:
            if (reinterpret_cast<HWND>(l) == editor_ && editor_ && HIWORD(w) == EN_CHANGE) OnEditorChange();
            return 0;
        case GRIDM_GETCELL:
            return AnswerCell(static_cast<short>(LOWORD(w)), static_cast<short>(HIWORD(w)), reinterpret_cast<HWND>(l)) ? TRUE
                                                                                                                    : FALSE;
        case GRIDM_GETCURRENT:
            if (!grid || grid->Row() < 0 || grid->Col() < 0) return -1;
            return MAKELRESULT(grid->Row(), grid->Col());
        default:
            return DefWindowProcW(hwnd_, m, w, l);
    }
}

void GridWindow::OnCreate() {
    if (!grid) return;
    grid->SetFrameMetrics(PixelsToTwipsX(GetSystemMetrics(SM_CXBORDER)), PixelsToTwipsX(GetSystemMetrics(SM_CXVSCROLL)));
    grid->AttachView(this);
    UpdateScrollBars();
}

// ---- model -> window

void GridWindow::GridChanged(GridChange what) {
    if (!hwnd_) return;
    switch (what) {
        case GridChange::Layout:
        case GridChange::Scroll:
            UpdateScrollBars();
            if (grid && grid->Editing()) PlaceEditor();
            break;
        case GridChange::EditBegan:
            ShowEditor();
            break;
        case GridChange::EditEnded:
            HideEditor();
            break;
        default:
            break;
    }
    InvalidateRect(hwnd_, nullptr, FALSE);
}

void GridWindow::GridGone() {
    grid = nullptr;
    if (editor_) ShowWindow(editor_, SW_HIDE);
    if (hwnd_) InvalidateRect(hwnd_, nullptr, FALSE);
}

forms::Size GridWindow::MeasureGridText(const forms::Font& font, const std::string& text) {
    HDC dc = GetDC(hwnd_);
    if (!dc) return {};
    HGDIOBJ old = SelectObject(dc, FontFor(font));
    const std::wstring wide = Wide(text);
    RECT rc{0, 0, 0, 0};
    UINT flags = DT_CALCRECT | DT_NOPREFIX | DT_LEFT;
    if (wide.find_first_of(L"\r\n") == std::wstring::npos) flags |= DT_SINGLELINE;
    // An empty text still has the height of a line.
    const std::wstring measured = wide.empty() ? std::wstring(L" ") : wide;
    DrawTextW(dc, measured.c_str(), static_cast<int>(measured.size()), &rc, flags);
    SelectObject(dc, old);
    ReleaseDC(hwnd_, dc);
    return {wide.empty() ? 0.0 : PixelsToTwipsX(rc.right - rc.left), PixelsToTwipsY(rc.bottom - rc.top)};
}

HFONT GridWindow::CellFont(bool bold) const {
    forms::Font f = grid->GetFont();
    f.bold = f.bold || bold;
    return FontFor(f);
}

// ---- layout in pixels

// Positions add up from the first shown row or column, rather than asking the model for each.
std::vector<Span> GridWindow::ColSpans() const {
    std::vector<Span> spans;
    if (!grid) return spans;
    double x = 0;
    auto add = [&](int c) {
        const double w = grid->ColWidth(c);
        if (w > 0) spans.push_back({c, TwipsToPixelsX(x), TwipsToPixelsX(x + w)});
        x += w;
    };
    for (int c = 0; c < grid->FixedCols(); ++c) add(c);
    for (int c = grid->LeftCol(), last = grid->RightCol(); c <= last; ++c) add(c);
    return spans;
}

std::vector<Span> GridWindow::RowSpans() const {
    std::vector<Span> spans;
    if (!grid) return spans;
    double y = 0;
    auto add = [&](int r) {
        const double h = grid->RowHeight(r);
        if (h > 0) spans.push_back({r, TwipsToPixelsY(y), TwipsToPixelsY(y + h)});
        y += h;
    };
    for (int r = 0; r < grid->FixedRows(); ++r) add(r);
    for (int r = grid->TopRow(), last = grid->BottomRow(); r <= last; ++r) add(r);
    return spans;
}

bool GridWindow::CellRect(int row, int col, RECT& rc) const {
    if (!grid) return false;
    for (const Span& r : RowSpans()) {
        if (r.index != row) continue;
        for (const Span& c : ColSpans()) {
            if (c.index != col) continue;
            rc = {c.from, r.from, c.to, r.to};
            return true;
        }
    }
    return false;
}

bool GridWindow::CheckRect(int row, int col, RECT& rc) const {
    RECT cell;
    if (!CellRect(row, col, cell) || grid->CellChecked(row, col) == forms::CheckNone) return false;
    rc = CheckBoxIn(cell);
    return true;
}

RECT GridWindow::CheckBoxIn(const RECT& cell) const {
    const int box = TwipsToPixelsX(VSFlexGrid::kCheckBoxSize);
    const int left = cell.left + TwipsToPixelsX(VSFlexGrid::kCellMargin);
    const int top = cell.top + (cell.bottom - 1 - cell.top - box) / 2;
    return {left, top, left + box, top + box};
}

RECT GridWindow::TextRect(int row, int col, const RECT& cell) const {
    const int margin = TwipsToPixelsX(VSFlexGrid::kCellMargin);
    RECT rc{cell.left + margin, cell.top, cell.right - 1 - margin, cell.bottom - 1};
    if (grid->CellChecked(row, col) != forms::CheckNone) rc.left += TwipsToPixelsX(VSFlexGrid::kCheckBoxSize) + margin;
    return rc;
}

void GridWindow::UpdateScrollBars() {
    if (!grid || updatingBars_) return;
    updatingBars_ = true;
    struct Reset {
        bool& flag;
        ~Reset() { flag = false; }
    } reset{updatingBars_};

    const bool v = grid->VScrollVisible(), h = grid->HScrollVisible();
    ShowScrollBar(hwnd_, SB_VERT, v);
    ShowScrollBar(hwnd_, SB_HORZ, h);
    // One unit per scrollable row or column; the largest position is the largest TopRow/LeftCol.
    if (v) {
        SetBar(SB_VERT, grid->Rows() - grid->FixedRows() - 1, grid->Rows() - grid->MaxTopRow(),
               grid->TopRow() - grid->FixedRows());
    }
    if (h) {
        SetBar(SB_HORZ, grid->Cols() - grid->FixedCols() - 1, grid->Cols() - grid->MaxLeftCol(),
               grid->LeftCol() - grid->FixedCols());
    }
}

void GridWindow::SetBar(int bar, int max, int page, int pos) {
    SCROLLINFO si{};
    si.cbSize = sizeof si;
    si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    si.nMax = std::max(0, max);
    si.nPage = static_cast<UINT>(std::max(1, page));
    si.nPos = pos;
    // Each SetScrollInfo draws the bar again, which under Wine costs more than the rest of a
    // layout change; a grid whose cells change often (a LAN run's results) mostly keeps its bars.
    SCROLLINFO now{};
    now.cbSize = sizeof now;
    now.fMask = si.fMask;
    if (GetScrollInfo(hwnd_, bar, &now) && now.nMin == si.nMin && now.nMax == si.nMax && now.nPage == si.nPage &&
        now.nPos == si.nPos)
        return;
    SetScrollInfo(hwnd_, bar, &si, TRUE);
}

// ---- painting

void GridWindow::OnPaint() {
    PAINTSTRUCT ps;
    HDC target = BeginPaint(hwnd_, &ps);
    RECT client;
    GetClientRect(hwnd_, &client);
    // Drawn off screen first, so scrolling does not flicker.
    HDC dc = CreateCompatibleDC(target);
    HBITMAP bitmap = CreateCompatibleBitmap(target, std::max(1L, client.right), std::max(1L, client.bottom));
    HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
    FillSolid(dc, client, GetSysColor(COLOR_WINDOW));
    if (grid) {
        SetBkMode(dc, TRANSPARENT);
        const std::vector<Span> rows = RowSpans(), cols = ColSpans();
        for (const Span& r : rows)
            for (const Span& c : cols) {
                const RECT cell{c.from, r.from, c.to, r.to};
                if (cell.left < client.right && cell.top < client.bottom) PaintCell(dc, r.index, c.index, cell);
            }
    }
    BitBlt(target, 0, 0, client.right, client.bottom, dc, 0, 0, SRCCOPY);
    SelectObject(dc, oldBitmap);
    DeleteObject(bitmap);
    DeleteDC(dc);
    EndPaint(hwnd_, &ps);
}

void GridWindow::CellColours(int row, int col, COLORREF& back, COLORREF& fore) const {
    const bool fixed = row < grid->FixedRows() || col < grid->FixedCols();
    back = fixed ? GetSysColor(COLOR_BTNFACE) : GetSysColor(COLOR_WINDOW);
    if (!fixed && grid->CellBackColor(row, col) != 0) back = ColorRefOf(grid->CellBackColor(row, col));
    fore = GetSysColor(fixed ? COLOR_BTNTEXT : COLOR_WINDOWTEXT);
    if (!IsWindowEnabled(hwnd_)) fore = GetSysColor(COLOR_GRAYTEXT);
}

void GridWindow::PaintCell(HDC dc, int row, int col, const RECT& cell) {
    const bool fixed = row < grid->FixedRows() || col < grid->FixedCols();
    const bool current = !fixed && row == grid->Row() && col == grid->Col();
    const bool focused = GetFocus() == hwnd_;
    const bool enabled = IsWindowEnabled(hwnd_) != FALSE;

    COLORREF back, fore;
    CellColours(row, col, back, fore);
    if (current) {
        back = focused ? GetSysColor(COLOR_HIGHLIGHT) : kQuietHighlight;
        if (focused && enabled) fore = GetSysColor(COLOR_HIGHLIGHTTEXT);
    }

    // Each cell owns the line on its right and at its bottom.
    const RECT inner{cell.left, cell.top, cell.right - 1, cell.bottom - 1};
    FillSolid(dc, inner, back);
    const COLORREF line = fixed ? GetSysColor(COLOR_BTNSHADOW) : kLineColour;
    FillSolid(dc, RECT{cell.right - 1, cell.top, cell.right, cell.bottom}, line);
    FillSolid(dc, RECT{cell.left, cell.bottom - 1, cell.right, cell.bottom}, line);

    if (const int check = grid->CellChecked(row, col); check != forms::CheckNone) {
        RECT box = CheckBoxIn(cell);
        UINT state = DFCS_BUTTONCHECK;
        if (check == forms::CheckTicked) state |= DFCS_CHECKED;
        if (!enabled) state |= DFCS_INACTIVE;
        DrawFrameControl(dc, &box, DFC_BUTTON, state);
    }

    const std::string& text = grid->TextMatrix(row, col);
    if (text.empty()) return;
    RECT rc = TextRect(row, col, cell);
    if (rc.right <= rc.left) return;
    HGDIOBJ oldFont = SelectObject(dc, CellFont(grid->CellFontBold(row, col)));
    SetTextColor(dc, fore);
    const std::wstring wide = Wide(text);
    UINT flags = DT_LEFT | DT_NOPREFIX | DT_END_ELLIPSIS;
    if (wide.find_first_of(L"\r\n") == std::wstring::npos) {
        flags |= DT_SINGLELINE | DT_VCENTER;
    } else {
        // Several lines sit in the middle of the row as a block.
        RECT need = rc;
        DrawTextW(dc, wide.c_str(), static_cast<int>(wide.size()), &need, flags | DT_CALCRECT);
        const int spare = (rc.bottom - rc.top) - (need.bottom - need.top);
        if (spare > 0) rc.top += spare / 2;
    }
    DrawTextW(dc, wide.c_str(), static_cast<int>(wide.size()), &rc, flags);
    SelectObject(dc, oldFont);
}

// ---- read from outside

bool GridWindow::AnswerCell(int row, int col, HWND to) const {
    if (!grid || !to || !IsWindow(to) || row < 0 || col < 0 || row >= grid->Rows() || col >= grid->Cols()) return false;
    GridCellInfo info{};
    info.size = sizeof info;
    info.row = row;
    info.col = col;
    info.rows = grid->Rows();
    info.cols = grid->Cols();
    info.fixedRows = grid->FixedRows();
    info.fixedCols = grid->FixedCols();
    info.check = grid->CellChecked(row, col);
    COLORREF back, fore;
    CellColours(row, col, back, fore);
    info.backColor = back;
    info.foreColor = fore;
    const bool fixed = row < grid->FixedRows() || col < grid->FixedCols();
    if (fixed) info.flags |= GRIDCELL_FIXED;
    if (!fixed && row == grid->Row() && col == grid->Col()) info.flags |= GRIDCELL_CURRENT;
    if (grid->CellFontBold(row, col)) info.flags |= GRIDCELL_BOLD;
    if (grid->ColWidth(col) <= 0 || grid->RowHeight(row) <= 0) info.flags |= GRIDCELL_HIDDEN;
    if (grid->Editing() && grid->EditRow() == row && grid->EditCol() == col) info.flags |= GRIDCELL_EDITING;
    RECT rc;
    if (CellRect(row, col, rc)) {
        info.flags |= GRIDCELL_ONSCREEN;
        info.left = rc.left;
        info.top = rc.top;
        info.right = rc.right;
        info.bottom = rc.bottom;
        if (CheckRect(row, col, rc)) {
            info.checkLeft = rc.left;
            info.checkTop = rc.top;
            info.checkRight = rc.right;
            info.checkBottom = rc.bottom;
        }
    }
    const std::wstring text = Wide(grid->TextMatrix(row, col));
    info.textLength = static_cast<uint32_t>(text.size());
    std::vector<char> data(sizeof info + text.size() * sizeof(wchar_t));
    std::memcpy(data.data(), &info, sizeof info);
    if (!text.empty()) std::memcpy(data.data() + sizeof info, text.data(), text.size() * sizeof(wchar_t));
    COPYDATASTRUCT cds{};
    cds.dwData = kGridCellData;
    cds.cbData = static_cast<DWORD>(data.size());
    cds.lpData = data.data();
    // A reader that hangs does not hang the program.
    DWORD_PTR taken = FALSE;
    if (!SendMessageTimeoutW(to, WM_COPYDATA, reinterpret_cast<WPARAM>(hwnd_), reinterpret_cast<LPARAM>(&cds),
                             SMTO_ABORTIFHUNG, 5000, &taken))
        return false;
    return taken != FALSE;
}

// ---- input

void GridWindow::OnLButton(int x, int y, bool dbl) {
    if (!grid) return;
    if (GetFocus() != hwnd_) SetFocus(hwnd_);  // an open editor commits as it loses the focus
    if (!grid) return;
    int row, col;
    if (!grid->CellAt(PixelsToTwipsX(x), PixelsToTwipsY(y), row, col)) return;
    RECT box;
    if (CheckRect(row, col, box)) {
        InflateRect(&box, 2, 2);
        const POINT at{x, y};
        if (PtInRect(&box, at)) {
            grid->UserToggleCheck(row, col);
            return;
        }
    }
    if (dbl) grid->UserDoubleClickCell(row, col);
    else grid->UserClickCell(row, col);
}

void GridWindow::OnWheel(int delta) {
    if (!grid) return;
    UINT lines = 3;
    SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &lines, 0);
    if (lines == 0 || lines > 100) lines = 3;
    wheelRest_ += delta;
    const int notches = wheelRest_ / WHEEL_DELTA;
    wheelRest_ -= notches * WHEEL_DELTA;
    if (notches) grid->UserScrollBy(-notches * static_cast<int>(lines));
}

void GridWindow::OnScroll(int bar, int code) {
    if (!grid) return;
    const bool vertical = bar == SB_VERT;
    const int first = vertical ? grid->FixedRows() : grid->FixedCols();
    const int now = vertical ? grid->TopRow() : grid->LeftCol();
    const int page = std::max(1, vertical ? grid->BottomRow() - grid->TopRow() : grid->RightCol() - grid->LeftCol());
    const int last = vertical ? grid->MaxTopRow() : grid->MaxLeftCol();
    int to = now;
    switch (code) {
        case SB_LINEUP: to = now - 1; break;
        case SB_LINEDOWN: to = now + 1; break;
        case SB_PAGEUP: to = now - page; break;
        case SB_PAGEDOWN: to = now + page; break;
        case SB_TOP: to = first; break;
        case SB_BOTTOM: to = last; break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: {
            SCROLLINFO si{};
            si.cbSize = sizeof si;
            si.fMask = SIF_TRACKPOS;
            GetScrollInfo(hwnd_, bar, &si);
            to = first + si.nTrackPos;
            break;
        }
        default: return;
    }
    if (vertical) grid->UserScrollTo(to);
    else grid->UserScrollColTo(to);
}

void GridWindow::OnKeyDown(int vk) {
    if (grid) grid->UserKeyDown(vk, Shift());
}

void GridWindow::OnChar(wchar_t ch) {
    if (grid) grid->UserKeyPress(static_cast<int>(ch));
}

// ---- the in-place editor

std::string GridWindow::EditorText() const {
    const int n = GetWindowTextLengthW(editor_);
    std::wstring text(static_cast<size_t>(std::max(0, n)) + 1, L'\0');
    const int got = GetWindowTextW(editor_, text.data(), n + 1);
    return Narrow(text.data(), static_cast<size_t>(std::max(0, got)));
}

void GridWindow::ShowEditor() {
    if (!grid || !grid->Editing()) return;
    if (!editor_) {
        editor_ = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | ES_AUTOHSCROLL | ES_LEFT, 0, 0, 0, 0, hwnd_, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
        if (!editor_) return;
        SetWindowSubclass(editor_, EditorProc, kEditorSubclass, reinterpret_cast<DWORD_PTR>(this));
    }
    const int row = grid->EditRow(), col = grid->EditCol();
    SendMessageW(editor_, WM_SETFONT, reinterpret_cast<WPARAM>(CellFont(grid->CellFontBold(row, col))), FALSE);
    SendMessageW(editor_, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELPARAM(1, 1));
    syncing_ = true;
    SetWindowTextW(editor_, Wide(grid->EditText()).c_str());
    syncing_ = false;
    PlaceEditor();
    ShowWindow(editor_, SW_SHOW);
    SetFocus(editor_);
    const int length = GetWindowTextLengthW(editor_);
    if (grid && grid->EditSelectAll()) SendMessageW(editor_, EM_SETSEL, 0, -1);
    else SendMessageW(editor_, EM_SETSEL, length, length);
}

void GridWindow::PlaceEditor() {
    if (!editor_ || !grid || !grid->Editing()) return;
    RECT cell;
    if (!CellRect(grid->EditRow(), grid->EditCol(), cell)) return;
    RECT rc = TextRect(grid->EditRow(), grid->EditCol(), cell);
    // The editor's own margin takes the place of the cell's, less a pixel.
    rc.left = std::max(cell.left, rc.left - 2);
    rc.right = cell.right - 1;
    // A single line of text, in the middle of the row like the cell's text.
    HDC dc = GetDC(editor_);
    HGDIOBJ old = SelectObject(dc, CellFont(grid->CellFontBold(grid->EditRow(), grid->EditCol())));
    TEXTMETRICW tm{};
    GetTextMetricsW(dc, &tm);
    SelectObject(dc, old);
    ReleaseDC(editor_, dc);
    const int height = std::min<int>(rc.bottom - rc.top, tm.tmHeight + 2);
    const int top = rc.top + (rc.bottom - rc.top - height) / 2;
    MoveWindow(editor_, rc.left, top, std::max(1L, rc.right - rc.left), std::max(1, height), TRUE);
}

void GridWindow::HideEditor() {
    if (!editor_) return;
    const bool hadFocus = GetFocus() == editor_;
    ShowWindow(editor_, SW_HIDE);
    if (hadFocus) SetFocus(hwnd_);
}

void GridWindow::CommitEditor() {
    if (grid && grid->Editing()) grid->UserCommitEdit(EditorText());
}

void GridWindow::OnEditorChange() {
    if (!syncing_ && grid && grid->Editing()) grid->UserEditText(EditorText());
}

LRESULT CALLBACK GridWindow::EditorProc(HWND h, UINT m, WPARAM w, LPARAM l, UINT_PTR, DWORD_PTR ref) {
    auto* self = reinterpret_cast<GridWindow*>(ref);
    if (m == WM_NCDESTROY) {
        RemoveWindowSubclass(h, EditorProc, kEditorSubclass);
        if (self->editor_ == h) self->editor_ = nullptr;
        return DefSubclassProc(h, m, w, l);
    }
    bool handled = false;
    LRESULT result = 0;
    RunGuarded([&] { result = self->OnEditorMessage(h, m, w, l, handled); });
    return handled ? result : DefSubclassProc(h, m, w, l);
}

LRESULT GridWindow::OnEditorMessage(HWND h, UINT m, WPARAM w, LPARAM l, bool& handled) {
    switch (m) {
        case WM_GETDLGCODE:
            handled = true;
            return DefSubclassProc(h, m, w, l) | DLGC_WANTALLKEYS;
        case WM_KEYDOWN:
            switch (w) {
                case VK_RETURN:
                    handled = true;
                    CommitEditor();
                    return 0;
                case VK_ESCAPE:
                    handled = true;
                    if (grid) grid->UserCancelEdit();
                    return 0;
                case VK_UP:
                case VK_DOWN:
                    // Up and down leave the cell for the one above or below, as in the grid.
                    handled = true;
                    CommitEditor();
                    if (grid && !grid->Editing()) grid->UserKeyDown(static_cast<int>(w), Shift());
                    return 0;
                default:
                    return 0;
            }
        case WM_CHAR:
            // Enter and Esc were used on their way down; no beep for them.
            if (w == L'\r' || w == 27 || w == L'\n') handled = true;
            return 0;
        case WM_KILLFOCUS:
            if (grid && grid->Editing() && IsWindowVisible(h)) {
                LRESULT r = DefSubclassProc(h, m, w, l);
                handled = true;
                CommitEditor();
                return r;
            }
            return 0;
        default:
            return 0;
    }
}

}  // namespace

HWND CreateGridWindow(HWND parent, forms::VSFlexGrid& grid) {
    if (!RegisterGridClass()) return nullptr;
    auto* state = new GridWindow(grid);
    DWORD style = WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_TABSTOP | WS_BORDER;
    if (grid.Visible()) style |= WS_VISIBLE;
    if (!grid.Enabled()) style |= WS_DISABLED;
    HWND hwnd = CreateWindowExW(0, kGridClassName, L"", style, TwipsToPixelsX(grid.Left()), TwipsToPixelsY(grid.Top()),
                                std::max(0, TwipsToPixelsX(grid.Width())), std::max(0, TwipsToPixelsY(grid.Height())),
                                parent, nullptr, GetModuleHandleW(nullptr), state);
    // Without a window the state was never attached (WM_NCCREATE owns it once it ran).
    if (!hwnd && !state->hwnd_) delete state;
    return hwnd;
}

void RegisterGridPeer() {
    RegisterPeerFactory("VSFlexGrid", [](HWND parent, forms::Control& control) -> HWND {
        auto* grid = dynamic_cast<forms::VSFlexGrid*>(&control);
        return grid ? CreateGridWindow(parent, *grid) : nullptr;
    });
}

}  // namespace updexar::win32
