// ui_probe.exe: drives the windows of another process from a test script, as a user would.
//   ui_probe.exe steps < STEPS          runs the steps on standard input, one a line (below); stops
//                                       at the first that fails, naming it, with exit code 1
//   ui_probe.exe this-computer         this computer's name and address as the utility finds them
//   ui_probe.exe hold                   keeps the virtual desktop it runs in open
//   ui_probe.exe run PROGRAM [ARGS...]  runs it, waits, and ends with its exit code
// Steps act on the window the last `on` named, and wait for what they need up to a time:
//   on CAPTION         the window comes (60 s); "=CAPTION" asks for exactly that caption, else a
//                      caption equal to it wins over one that only contains it
//   gone [CAPTION]     the window goes (120 s)
//   see TEXT           a visible control shows TEXT (30 s); "*" in TEXT stands for any characters
//   unseen TEXT        no visible control shows TEXT
//   only               the window is the only one on the screen (20 s)
//   click TEXT         presses the button or box
//   checked N TEXT     the check box or option button is in state N (10 s)
//   key KEY            ESC ENTER RIGHT, a letter or digit, ALT+ in front for Alt, to the focus
//   type TEXT          typed into the control with the focus
//   set N TEXT         the Nth visible edit box (from 0) holds TEXT
//   choose N ITEM      the Nth visible combo box's item, picked as the mouse picks it
//   edit N TEXT, combo N TEXT   the Nth visible edit or combo box shows TEXT (10 s)
//   after LABEL        set, choose, edit and combo count from the label on (until the next `on`)
//   cell R C FIELD V   the grid's cell R,C (GRIDM_GETCELL) shows V in FIELD (15 s): check (0, 1,
//                      2), rect ("-" off screen), text ("\r", "\n" written so),
//                      flags (holds the word V of current, editing; lacks it for "!word")
//   click-cell R C, double-cell R C, click-check R C, scroll LINES   the grid under the mouse
//   focus CLASS [password]   the control with the focus is of that class (and a password box)
//   over R C           the control with the focus lies over the grid's cell R,C (15 s)
// Texts of buttons and controls match with or without their "&" and without regard to case.
// Lines that are blank or start with "#" are skipped. With UPDEXAR_DESKTOP set, all of this
// happens in that desktop (Wine's virtual desktop of that name).
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <functional>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "win32/grid_messages.h"
#include "win32/wide.h"
#include "win32/win32_network.h"
#include "win32/win32_system.h"

using updexar::win32::Narrow;
using updexar::win32::Wide;

namespace {

// --- reading and poking another process's windows

struct WindowInfo {
    HWND hwnd = nullptr;
    std::string className;
    std::string text;
    bool visible = false;
};

constexpr UINT kReadTimeoutMs = 5000;

// A hung program must not hang the probe: every read of another window has a time limit.
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
    return Narrow(name, static_cast<size_t>(n > 0 ? n : 0));
}

void Collect(HWND parent, std::vector<WindowInfo>& out) {
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        out.push_back({child, ClassOf(child), WindowText(child), IsWindowVisible(child) != FALSE});
        Collect(child, out);
    }
}

// Every descendant window, depth first, in z-order.
std::vector<WindowInfo> ListChildren(HWND parent) {
    std::vector<WindowInfo> out;
    Collect(parent, out);
    return out;
}

LPARAM KeyData(int vk, bool up, bool alt) {
    const UINT scan = MapVirtualKeyW(static_cast<UINT>(vk), 0 /* MAPVK_VK_TO_VSC */);
    LPARAM data = 1 | (static_cast<LPARAM>(scan & 0xFF) << 16);
    if (alt) data |= 1 << 29;
    if (up) data |= (1u << 30) | (1u << 31);
    return data;
}

// Posted, not sent: the program's thread handles them when it next looks at its messages, as
// it would a user's.
void Type(HWND target, const std::string& text) {
    for (wchar_t ch : Wide(text)) PostMessageW(target, WM_CHAR, ch, 1);
}

void PressKey(HWND target, int vk, bool alt) {
    PostMessageW(target, alt ? WM_SYSKEYDOWN : WM_KEYDOWN, static_cast<WPARAM>(vk), KeyData(vk, false, alt));
    PostMessageW(target, alt ? WM_SYSKEYUP : WM_KEYUP, static_cast<WPARAM>(vk), KeyData(vk, true, alt));
}

HWND FocusedWindow(HWND top) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(top, nullptr), &info)) return nullptr;
    return info.hwndFocus;
}

bool WaitFor(const std::function<bool()>& cond, int timeoutMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (cond()) return true;
        if (std::chrono::steady_clock::now() >= end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

std::string Upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

std::string Plain(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '&' && !(i + 1 < s.size() && s[i + 1] == '&')) continue;  // "&&" shows one
        out += s[i];
        if (s[i] == '&') ++i;
    }
    return Upper(out);
}

// "*" stands for any run of characters.
bool Matches(const char* text, const char* pattern) {
    if (*pattern == '*') return Matches(text, pattern + 1) || (*text && Matches(text + 1, pattern));
    return *pattern ? *text == *pattern && Matches(text + 1, pattern + 1) : !*text;
}

bool SameText(const std::string& shown, const std::string& wanted) {
    return shown == wanted || Matches(Plain(shown).c_str(), Plain(wanted).c_str());
}

std::string OneLine(const std::string& s) {
    std::string out;
    for (char c : s) out += c == '\r' ? "\\r" : c == '\n' ? "\\n" : std::string(1, c);
    return out;
}

BOOL CALLBACK CollectTop(HWND hwnd, LPARAM param) {
    if (IsWindowVisible(hwnd)) reinterpret_cast<std::vector<HWND>*>(param)->push_back(hwnd);
    return TRUE;
}

std::vector<HWND> VisibleTopWindows() {
    std::vector<HWND> windows;
    EnumWindows(CollectTop, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

std::string CaptionOf(HWND hwnd) {
    wchar_t text[1024];
    const int n = GetWindowTextW(hwnd, text, 1024);
    return Narrow(text, static_cast<size_t>(n > 0 ? n : 0));
}

// The window the pattern names right now; null when none.
HWND MatchTop(const std::string& pattern) {
    const bool exactOnly = !pattern.empty() && pattern[0] == '=';
    const std::string wanted = exactOnly ? pattern.substr(1) : pattern;
    HWND partial = nullptr;
    for (HWND h : VisibleTopWindows()) {
        const std::string caption = CaptionOf(h);
        if (caption == wanted) return h;
        if (!exactOnly && !partial && !wanted.empty() && caption.find(wanted) != std::string::npos) partial = h;
    }
    return partial;
}

// A visible control of the window showing the text (of that class, when one is given).
HWND FindShown(HWND top, const std::string& text, const char* cls = nullptr) {
    for (const WindowInfo& w : ListChildren(top))
        if (w.visible && (!cls || Upper(w.className) == cls) && SameText(w.text, text)) return w.hwnd;
    return nullptr;
}

// The Nth visible control of a class (from 0), counted from the label showing `after` on.
HWND NthOfClass(HWND top, const char* cls, int n, const std::string& after) {
    bool counting = after.empty();
    for (const WindowInfo& w : ListChildren(top)) {
        if (!counting) counting = w.visible && Upper(w.className) == "STATIC" && SameText(w.text, after);
        else if (w.visible && Upper(w.className) == cls && n-- == 0) return w.hwnd;
    }
    return nullptr;
}

int KeyCode(const std::string& name) {
    if (Upper(name) == "ESC") return VK_ESCAPE;
    if (Upper(name) == "ENTER") return VK_RETURN;
    if (Upper(name) == "RIGHT") return VK_RIGHT;
    const char c = name.size() == 1 ? Upper(name)[0] : 0;
    return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ? c : 0;
}

// ---- the grid, read through its own message

struct CellAnswer {
    bool got = false;
    updexar::win32::GridCellInfo info{};
    std::wstring text;
};

LRESULT CALLBACK AnswerProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (m != WM_COPYDATA) return DefWindowProcW(h, m, w, l);
    auto* answer = reinterpret_cast<CellAnswer*>(GetWindowLongPtrW(h, GWLP_USERDATA));
    const auto* cds = reinterpret_cast<const COPYDATASTRUCT*>(l);
    using updexar::win32::GridCellInfo;
    if (!answer || cds->dwData != updexar::win32::kGridCellData || cds->cbData < sizeof(GridCellInfo)) return FALSE;
    std::memcpy(&answer->info, cds->lpData, sizeof(GridCellInfo));
    const size_t offset = answer->info.size, units = answer->info.textLength;
    if (offset < sizeof(GridCellInfo) || offset + units * sizeof(wchar_t) > cds->cbData) return FALSE;
    answer->text.assign(reinterpret_cast<const wchar_t*>(static_cast<const char*>(cds->lpData) + offset), units);
    answer->got = true;
    return TRUE;
}

// The cell as the grid's window answers for it; false when it did not.
bool AskCell(HWND grid, int row, int col, CellAnswer& answer) {
    static const ATOM cls = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = AnswerProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"UiProbeAnswer";
        return RegisterClassW(&wc);
    }();
    HWND box = cls ? CreateWindowExW(0, L"UiProbeAnswer", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                     GetModuleHandleW(nullptr), nullptr)
                   : nullptr;
    if (!box) return false;
    SetWindowLongPtrW(box, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&answer));
    DWORD_PTR ok = FALSE;
    // While it waits, this thread takes the WM_COPYDATA the grid sends back.
    SendMessageTimeoutW(grid, updexar::win32::GRIDM_GETCELL, MAKEWPARAM(row, col), reinterpret_cast<LPARAM>(box),
                        SMTO_ABORTIFHUNG, 5000, &ok);
    DestroyWindow(box);
    return ok && answer.got;
}

// One field of a cell as the steps name it.
std::string CellField(const CellAnswer& cell, const std::string& field) {
    using namespace updexar::win32;
    const GridCellInfo& i = cell.info;
    if (field == "check") return std::to_string(i.check);
    if (field == "text") return OneLine(Narrow(cell.text));
    if (field == "rect") return i.flags & GRIDCELL_ONSCREEN ? "on screen" : "-";
    return std::string(",") + (i.flags & GRIDCELL_CURRENT ? "current," : "") +
           (i.flags & GRIDCELL_EDITING ? "editing," : "");
}

void PostClick(HWND window, int x, int y, bool dbl) {
    const LPARAM at = MAKELPARAM(x, y);
    PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageW(window, WM_LBUTTONUP, 0, at);
    if (dbl) {
        PostMessageW(window, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
        PostMessageW(window, WM_LBUTTONUP, 0, at);
    }
}

LRESULT Send(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    DWORD_PTR result = 0;
    SendMessageTimeoutW(w, m, wp, lp, SMTO_ABORTIFHUNG, 5000, &result);
    return static_cast<LRESULT>(result);
}

// ---- steps

class Steps {
public:
    // Runs one step; an empty text when it did what it says, else why not.
    std::string Run(const std::string& line) {
        std::istringstream in(line);
        std::string verb;
        in >> verb;
        int a = 0, b = 0;
        const auto numbers = [&](int count) {
            if (count > 0) in >> a;
            if (count > 1) in >> b;
            return !in.fail();
        };
        const auto rest = [&] {
            std::string text;
            std::getline(in >> std::ws, text);
            return text;
        };
        if (verb == "after") return (after_ = rest()).empty() ? "bad step" : "";
        if (verb == "on") {
            caption_ = rest();
            after_.clear();
            return Until(60, [&] { return Top() != nullptr; }) ? "" : "no such window";
        }
        if (verb == "gone") {
            std::string c = rest();
            if (!c.empty()) caption_ = c;
            return Until(120, [&] { return Top() == nullptr; }) ? "" : "the window is still there";
        }
        if (verb == "only") return Until(20, [&] { return Top() && VisibleTopWindows().size() == 1; }) ? "" : Windows();
        if (verb == "see" || verb == "unseen") {
            const std::string text = rest();
            if (verb == "unseen") return Top() && FindShown(Top(), text) ? "it is there" : "";
            return Until(30, [&] { return Top() && FindShown(Top(), text); }) ? "" : "not there: " + Texts();
        }
        if (verb == "click" || verb == "checked") {
            if (verb == "checked" && !numbers(1)) return "bad step";
            const std::string text = rest();
            HWND button = nullptr;
            if (!Until(10, [&] { return Top() && (button = FindShown(Top(), text, "BUTTON")); }))
                return "no such button: " + Texts();
            if (verb == "checked")
                return Until(10, [&] { return Send(button, BM_GETCHECK, 0, 0) == a; })
                           ? ""
                           : "its state is " + std::to_string(Send(button, BM_GETCHECK, 0, 0));
            if (!Until(10, [&] { return IsWindowEnabled(button) != FALSE; })) return "the button stays disabled";
            PostMessageW(button, BM_CLICK, 0, 0);
            return "";
        }
        if (verb == "key" || verb == "type") {
            const std::string text = rest();
            HWND focus = Focus();
            if (verb == "type") return focus ? (Type(focus, text), "") : "nothing has the focus";
            const bool alt = Upper(text).rfind("ALT+", 0) == 0;
            const int vk = KeyCode(alt ? text.substr(4) : text);
            if (!vk) return "no such key";
            // As a keyboard would: to the control that has the focus, else to the window itself.
            PressKey(focus ? focus : Top(), vk, alt);
            return Top() ? "" : "no such window";
        }
        if (verb == "set" || verb == "choose" || verb == "edit" || verb == "combo") {
            if (!numbers(1)) return "bad step";
            const std::string text = rest();
            const char* cls = verb == "set" || verb == "edit" ? "EDIT" : "COMBOBOX";
            HWND box = nullptr;
            if (!Until(10, [&] { return Top() && (box = NthOfClass(Top(), cls, a, after_)); }))
                return "no such box: " + Texts();
            if (verb == "edit" || verb == "combo")
                return Until(10, [&] { return SameText(WindowText(box), text); }) ? "" : "it shows " + WindowText(box);
            const std::wstring wide = Wide(text);
            if (verb == "set") return Send(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str())) ? "" : "refused";
            const LRESULT index = Send(box, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(wide.c_str()));
            if (index == CB_ERR) return "no such item";
            Send(box, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
            // A pick with the mouse ends with this notification; the program reads the choice then.
            Send(GetParent(box), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(box), CBN_SELCHANGE), reinterpret_cast<LPARAM>(box));
            return "";
        }
        if (verb == "cell" || verb == "over" || verb == "click-cell" || verb == "double-cell" || verb == "click-check") {
            if (!numbers(2)) return "bad step";
            std::string field, want, got;
            in >> field;
            want = rest();
            CellAnswer cell;
            const auto ask = [&] {
                cell = CellAnswer{};
                return Grid() && AskCell(Grid(), a, b, cell);
            };
            if (verb == "cell") {
                const auto holds = [&] {
                    if (!ask()) return false;
                    got = CellField(cell, field);
                    if (field != "flags") return got == want;
                    return want[0] == '!' ? got.find("," + want.substr(1) + ",") == std::string::npos
                                          : got.find("," + want + ",") != std::string::npos;
                };
                return Until(15, holds) ? "" : "it reads '" + got + "'";
            }
            if (verb == "over") {
                const auto over = [&] {
                    RECT f, c;
                    HWND focus = Focus();
                    if (!focus || !ask() || !GetWindowRect(focus, &f)) return false;
                    c = {cell.info.left, cell.info.top, cell.info.right, cell.info.bottom};
                    MapWindowPoints(Grid(), nullptr, reinterpret_cast<POINT*>(&c), 2);
                    return f.left >= c.left && f.top >= c.top && f.right <= c.right && f.bottom <= c.bottom;
                };
                return Until(15, over) ? "" : "the focused control is elsewhere";
            }
            if (!ask()) return "the grid did not answer";
            const auto& i = cell.info;
            if (!(i.flags & updexar::win32::GRIDCELL_ONSCREEN)) return "the cell is not on screen";
            if (verb == "click-check")
                return i.check ? (PostClick(Grid(), (i.checkLeft + i.checkRight) / 2, (i.checkTop + i.checkBottom) / 2, false), "")
                               : "the cell has no check box";
            // Right of any check box, as a user clicks into the text.
            PostClick(Grid(), i.right - 4, (i.top + i.bottom) / 2, verb == "double-cell");
            return "";
        }
        if (verb == "scroll" && numbers(1)) {
            if (!Grid()) return "no grid";
            for (int n = 0; n < std::abs(a); ++n) PostMessageW(Grid(), WM_VSCROLL, a > 0 ? SB_LINEDOWN : SB_LINEUP, 0);
            return "";
        }
        if (verb == "focus") {
            std::string cls, password;
            in >> cls >> password;
            const auto holds = [&] {
                HWND f = Focus();
                return f && Upper(ClassOf(f)) == Upper(cls) &&
                       ((GetWindowLongW(f, GWL_STYLE) & ES_PASSWORD) != 0) == (password == "password");
            };
            return Until(15, holds) ? "" : "the focus is on " + (Focus() ? ClassOf(Focus()) : std::string("nothing"));
        }
        return "no such step";
    }

    std::string Texts() {
        std::string out;
        if (HWND top = Top())
            for (const WindowInfo& w : ListChildren(top))
                if (w.visible) out += w.className + " '" + OneLine(w.text) + "' ";
        return out;
    }
    static std::string Windows() {
        std::string out;
        for (HWND h : VisibleTopWindows()) out += ClassOf(h) + " '" + OneLine(CaptionOf(h)) + "' ";
        return out;
    }

private:
    HWND Top() const { return MatchTop(caption_); }
    HWND Grid() const {
        if (Top())
            for (const WindowInfo& w : ListChildren(Top()))
                if (w.visible && w.className == "UpdexarGrid") return w.hwnd;
        return nullptr;
    }
    HWND Focus() const {
        HWND top = Top();
        HWND focus = top ? FocusedWindow(top) : nullptr;
        return focus && GetAncestor(focus, GA_ROOT) == top ? focus : nullptr;
    }
    static bool Until(int seconds, const std::function<bool()>& cond) { return WaitFor(cond, seconds * 1000); }

    std::string caption_, after_;
};

int RunSteps() {
    Steps steps;
    std::string line;
    for (int n = 1; std::getline(std::cin, line); ++n) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.find_first_not_of(" \t") == std::string::npos || line[line.find_first_not_of(" \t")] == '#') continue;
        const std::string why = steps.Run(line);
        if (!why.empty()) {
            std::fprintf(stderr, "ui_probe: step %d '%s': %s\n", n, line.c_str(), why.c_str());
            return 1;
        }
    }
    return 0;
}

// The program and its arguments exactly as this probe got them, quotes and blanks included.
int RunProgram(const wchar_t* desktop) {
    const std::string rest = updexar::win32::ArgumentsAfterProgramName(
        updexar::win32::ArgumentsAfterProgramName(Narrow(GetCommandLineW(), std::wcslen(GetCommandLineW()))));
    std::wstring line = Wide(rest);
    std::wstring desk = desktop ? desktop : L"";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    if (desktop) si.lpDesktop = desk.data();
    PROCESS_INFORMATION pi{};
    // Handles inherited: the program writes to our output, which the script reads.
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) {
        std::fprintf(stderr, "ui_probe: could not start %s (error %lu)\n", rest.c_str(), GetLastError());
        return 127;
    }
    CloseHandle(pi.hThread);
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = 1;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hProcess);
    return static_cast<int>(code);
}

// Keeps Wine's virtual desktop open between the programs a script starts in it: Wine closes a
// desktop a little after its last window is gone. The window is never shown.
int Hold() {
    HWND keeper = CreateWindowExW(0, L"STATIC", L"ui_probe keeps the desktop", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    MSG msg;
    while (keeper && GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
    return keeper ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    // Plain "\n" line ends: the scripts read this output on Linux.
    _setmode(_fileno(stdout), _O_BINARY);
    std::vector<std::string> a;
    for (int i = 1; i < argc; ++i) a.push_back(Narrow(argv[i], std::wcslen(argv[i])));
    const wchar_t* desktop = _wgetenv(L"UPDEXAR_DESKTOP");
    if (desktop && !*desktop) desktop = nullptr;
    const std::string verb = a.empty() ? "" : a[0];
    if (verb == "run" && a.size() > 1) return RunProgram(desktop);
    if (verb == "hold") return Hold();
    if (verb == "this-computer") {
        updexar::win32::Win32Network network;
        std::printf("%s\t%s\n", network.LocalHostName().c_str(), network.LocalAddress().c_str());
        return 0;
    }
    // Windows of another desktop are invisible to this one: look from inside it.
    if (desktop) {
        HDESK d = OpenDesktopW(desktop, 0, FALSE, GENERIC_ALL);
        if (!d || !SetThreadDesktop(d)) return std::fprintf(stderr, "ui_probe: cannot enter the desktop\n"), 1;
    }
    if (verb == "steps") return RunSteps();
    std::fputs("usage: ui_probe steps | this-computer | hold | run PROGRAM [ARGS...]\n", stderr);
    return 2;
}
