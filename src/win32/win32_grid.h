// The grid's window: draws a forms::VSFlexGrid and turns mouse, keyboard, scroll bars and its
// in-place editor into the model's User* calls. One state block per window, one dispatcher.
#pragma once

#include <windows.h>

namespace updexar::forms {
class VSFlexGrid;
}

namespace updexar::win32 {

extern const wchar_t kGridClassName[];

// Questions a driver or test may send the grid window (SendMessage; from another thread of the
// process too, since the window's own thread answers).
enum : UINT {
    // wParam MAKEWPARAM(row, col), lParam RECT*: the cell in client pixels; FALSE when it is
    // scrolled away, hidden or outside the grid.
    GRIDM_GETCELLRECT = WM_USER + 0x301,
    // Like GRIDM_GETCELLRECT, for the cell's check box; FALSE when the cell has none.
    GRIDM_GETCHECKRECT,
    // The in-place editor while an edit runs, else null.
    GRIDM_GETEDITOR,
};

// Makes the window of a grid as a child of parent, at the control's geometry.
HWND CreateGridWindow(HWND parent, forms::VSFlexGrid& grid);

// Lets the forms backend make grid windows for controls of type "VSFlexGrid". Call it before any
// form with a grid loads.
void RegisterGridPeer();

}  // namespace updexar::win32
