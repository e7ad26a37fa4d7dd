// Drives real windows from outside, as a user would: find a window by its caption, find its
// controls, click, type, press keys, press the close box, read texts.
// Meant to run on a thread of its own (or in another process) while the program's thread runs
// its windows; every wait has a time limit.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace updexar::uidriver {

struct WindowInfo {
    HWND hwnd = nullptr;
    std::string className;
    std::string text;
    RECT rect{};  // screen coordinates
    bool visible = false;
    bool enabled = false;
    LONG style = 0;
};

// Polls cond every few milliseconds until it holds; false when the time ran out.
bool WaitFor(const std::function<bool()>& cond, int timeoutMs);

// A visible top-level window with exactly this caption; null when none came within the time.
HWND FindTopWindow(const std::string& caption, int timeoutMs = 10000);
// Whether the window is gone (destroyed or hidden) within the time.
bool WaitGone(HWND window, int timeoutMs = 10000);

// Every descendant window, depth first, in z-order.
std::vector<WindowInfo> ListChildren(HWND parent);
// The first visible descendant of that class (case-insensitive) whose text is `text` (any text
// when empty); null when none.
HWND FindChild(HWND parent, const std::string& className, const std::string& text = {});
WindowInfo Describe(HWND window);

std::string WindowText(HWND window);
std::string ClassOf(HWND window);

// BM_CLICK, posted: the program's thread presses the button when it next looks at its messages.
void Click(HWND button);
// Each character as WM_CHAR to the window.
void TypeText(HWND target, const std::string& text);
// WM_KEYDOWN/WM_KEYUP posted to the window (WM_SYSKEYDOWN with Alt in shift: 4).
void PressKey(HWND target, int vk, int shift = 0);
// The window that has the keyboard focus in the thread of `top`; null when none.
HWND FocusedWindow(HWND top);
// PressKey to the focused window of `top` (to `top` itself when nothing has the focus).
void PressKeyFocused(HWND top, int vk, int shift = 0);
// The caption bar's close box: WM_SYSCOMMAND SC_CLOSE.
void PressCloseBox(HWND top);
// Whether the window's system menu still has its Close item.
bool HasCloseMenuItem(HWND top);

}  // namespace updexar::uidriver
