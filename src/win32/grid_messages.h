// What another program may ask the grid window (class "UpdexarGrid"), for test drivers and
// screen readers: docs/grid-window-messages.md describes each message. Only <windows.h> and
// fixed-size fields here, so a reader of either bitness can take this header as it is.
#pragma once

#include <windows.h>

#include <cstdint>

namespace updexar::win32 {

enum : UINT {
    // From any process. wParam MAKEWPARAM(row, col), lParam the HWND of a window of the asking
    // thread: before it returns, the grid sends that window WM_COPYDATA with dwData
    // kGridCellData and a GridCellInfo followed by the cell's text. Returns TRUE when the answer
    // was taken (the window returned TRUE), FALSE for a cell outside the grid or no answer.
    GRIDM_GETCELL = WM_USER + 0x310,
    // From any process: MAKELRESULT(row, col) of the current cell, -1 when there is none.
    GRIDM_GETCURRENT,
};

// dwData of the WM_COPYDATA that answers GRIDM_GETCELL ("UGC1").
constexpr ULONG_PTR kGridCellData = 0x31434755;

enum : uint32_t {
    GRIDCELL_FIXED = 0x01,     // a header row or column: never current, never edited
    GRIDCELL_CURRENT = 0x02,   // the current cell
    GRIDCELL_BOLD = 0x04,      // drawn in bold
    GRIDCELL_HIDDEN = 0x08,    // its column or row has no width or height
    GRIDCELL_ONSCREEN = 0x10,  // the rectangles below are valid
    GRIDCELL_EDITING = 0x20,   // its in-place editor is open
};

// All fields 32 bits wide: the same layout for 32- and 64-bit readers.
struct GridCellInfo {
    uint32_t size;             // bytes of this structure; the text follows at this offset
    int32_t row, col;
    int32_t rows, cols;        // the grid's shape
    int32_t fixedRows, fixedCols;
    int32_t check;             // 0 no check box, 1 ticked, 2 not ticked
    uint32_t backColor;        // COLORREF the cell is filled with (apart from the current-cell highlight)
    uint32_t foreColor;        // COLORREF of its text, likewise
    uint32_t flags;            // GRIDCELL_*
    int32_t left, top, right, bottom;  // the cell in the grid's client area, pixels
    int32_t checkLeft, checkTop, checkRight, checkBottom;  // its check box; zero without one
    uint32_t textLength;       // UTF-16 code units of the text, no terminating NUL
};
static_assert(sizeof(GridCellInfo) == 20 * 4, "GridCellInfo has a fixed layout");

}  // namespace updexar::win32
