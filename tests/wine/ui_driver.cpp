#include "wine/ui_driver.h"

#include <chrono>
#include <thread>

#include "win32/wide.h"

namespace updexar::uidriver {
namespace {

using win32::Narrow;
using win32::Wide;

constexpr UINT kReadTimeoutMs = 5000;

struct TopSearch {
    std::wstring caption;
    HWND found = nullptr;
};

BOOL CALLBACK MatchTop(HWND hwnd, LPARAM param) {
    auto* s = reinterpret_cast<TopSearch*>(param);
    if (!IsWindowVisible(hwnd)) return TRUE;
    wchar_t text[512];
    const int n = GetWindowTextW(hwnd, text, 512);
    if (s->caption == std::wstring(text, static_cast<size_t>(std::max(0, n)))) {
        s->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

void Collect(HWND parent, std::vector<WindowInfo>& out) {
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        out.push_back(Describe(child));
        Collect(child, out);
    }
}

LPARAM KeyData(int vk, bool up, bool alt) {
    const UINT scan = MapVirtualKeyW(static_cast<UINT>(vk), 0 /* MAPVK_VK_TO_VSC */);
    LPARAM data = 1 | (static_cast<LPARAM>(scan & 0xFF) << 16);
    if (alt) data |= 1 << 29;
    if (up) data |= (1u << 30) | (1u << 31);
    return data;
}

}  // namespace

bool WaitFor(const std::function<bool()>& cond, int timeoutMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (cond()) return true;
        if (std::chrono::steady_clock::now() >= end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

HWND FindTopWindow(const std::string& caption, int timeoutMs) {
    TopSearch s{Wide(caption)};
    WaitFor(
        [&] {
            EnumWindows(MatchTop, reinterpret_cast<LPARAM>(&s));
            return s.found != nullptr;
        },
        timeoutMs);
    return s.found;
}

bool WaitGone(HWND window, int timeoutMs) {
    return WaitFor([&] { return !IsWindow(window) || !IsWindowVisible(window); }, timeoutMs);
}

WindowInfo Describe(HWND window) {
    WindowInfo info;
    info.hwnd = window;
    info.className = ClassOf(window);
    info.text = WindowText(window);
    GetWindowRect(window, &info.rect);
    info.visible = IsWindowVisible(window) != FALSE;
    info.enabled = IsWindowEnabled(window) != FALSE;
    info.style = GetWindowLongW(window, GWL_STYLE);
    return info;
}

std::vector<WindowInfo> ListChildren(HWND parent) {
    std::vector<WindowInfo> out;
    Collect(parent, out);
    return out;
}

HWND FindChild(HWND parent, const std::string& className, const std::string& text) {
    for (const WindowInfo& w : ListChildren(parent)) {
        if (!w.visible || lstrcmpiW(Wide(w.className).c_str(), Wide(className).c_str()) != 0) continue;
        if (text.empty() || w.text == text) return w.hwnd;
    }
    return nullptr;
}

std::string WindowText(HWND window) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kReadTimeoutMs, &length)) return {};
    std::wstring text(length + 1, L'\0');
    DWORD_PTR got = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, length + 1, reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG,
                             kReadTimeoutMs, &got))
        return {};
    return Narrow(text.data(), std::min<size_t>(got, length));
}

std::string ClassOf(HWND window) {
    wchar_t name[256];
    const int n = GetClassNameW(window, name, 256);
    return Narrow(name, static_cast<size_t>(std::max(0, n)));
}

void Click(HWND button) { PostMessageW(button, BM_CLICK, 0, 0); }

void TypeText(HWND target, const std::string& text) {
    for (wchar_t ch : Wide(text)) PostMessageW(target, WM_CHAR, ch, 1);
}

void PressKey(HWND target, int vk, int shift) {
    const bool alt = (shift & 4) != 0;
    PostMessageW(target, alt ? WM_SYSKEYDOWN : WM_KEYDOWN, static_cast<WPARAM>(vk), KeyData(vk, false, alt));
    PostMessageW(target, alt ? WM_SYSKEYUP : WM_KEYUP, static_cast<WPARAM>(vk), KeyData(vk, true, alt));
}

HWND FocusedWindow(HWND top) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(top, nullptr), &info)) return nullptr;
    return info.hwndFocus;
}

void PressKeyFocused(HWND top, int vk, int shift) {
    HWND focus = FocusedWindow(top);
    PressKey(focus ? focus : top, vk, shift);
}

void PressCloseBox(HWND top) { PostMessageW(top, WM_SYSCOMMAND, SC_CLOSE, 0); }

bool HasCloseMenuItem(HWND top) {
    HMENU menu = GetSystemMenu(top, FALSE);
    if (!menu) return false;
    for (int i = 0, n = GetMenuItemCount(menu); i < n; ++i)
        if (GetMenuItemID(menu, i) == SC_CLOSE) return true;
    return false;
}

}  // namespace updexar::uidriver
