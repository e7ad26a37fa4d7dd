// The grid's window: draws a forms::VSFlexGrid and turns mouse, keyboard, scroll bars and its
// in-place editor into the model's User* calls. One state block per window, one dispatcher.
#pragma once

#include <windows.h>

#include "win32/grid_messages.h"

namespace updexar::forms {
class VSFlexGrid;
}

namespace updexar::win32 {

extern const wchar_t kGridClassName[];

// Makes the window of a grid as a child of parent, at the control's geometry.
HWND CreateGridWindow(HWND parent, forms::VSFlexGrid& grid);

// Lets the forms backend make grid windows for controls of type "VSFlexGrid". Call it before any
// form with a grid loads.
void RegisterGridPeer();

}  // namespace updexar::win32
