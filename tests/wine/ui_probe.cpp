// ui_probe.exe: drives the windows of another process from a shell script, one action per run.
//
//   ui_probe.exe hold                             keeps the virtual desktop it runs in open
//   ui_probe.exe windows                          every visible top-level window: class, caption
//   ui_probe.exe wait-window CAPTION [seconds]    waits for the window; prints its caption
//   ui_probe.exe gone CAPTION [seconds]           waits until no such window is left
//   ui_probe.exe texts CAPTION                    class and text of each visible child, one a line
//   ui_probe.exe wait-text CAPTION TEXT [seconds] waits for a visible child showing TEXT
//   ui_probe.exe checked CAPTION TEXT             0, 1 or 2: the state of that check box
//   ui_probe.exe click CAPTION TEXT               presses the button (or check box) with TEXT
//   ui_probe.exe size CAPTION                     width and height of the window in pixels
//   ui_probe.exe key CAPTION KEY                  ESC, ENTER, TAB, SPACE, LEFT, RIGHT, UP, DOWN, F2,
//                                                 a letter or digit; ALT+ in front for Alt
//   ui_probe.exe type CAPTION TEXT                types the text into the control with the focus
//   ui_probe.exe set-text CAPTION N TEXT          puts the text into the Nth visible edit box (from 0)
//   ui_probe.exe focused CAPTION                  the control with the focus: class, "password" or
//                                                 "-", its screen rectangle, and the caret's left
//                                                 edge in it ("-" when it shows none)
//   ui_probe.exe cell CAPTION ROW COL             a cell of the window's grid, read through the
//                                                 grid's GRIDM_GETCELL: check value, back and text
//                                                 colours (#RRGGBB), flags, screen rectangle, text
//   ui_probe.exe click-cell CAPTION ROW COL [double]   clicks the text part of a grid cell
//   ui_probe.exe click-check CAPTION ROW COL      clicks a grid cell's check box
//   ui_probe.exe scroll CAPTION LINES             scrolls the grid by lines (negative: up)
//   ui_probe.exe click-nth CAPTION TEXT N         presses the Nth visible button with TEXT (from 0),
//                                                 where a window has several alike
//   ui_probe.exe choose CAPTION N ITEM            picks the item in the Nth visible combo box (from
//                                                 0) as a mouse pick would
//   ui_probe.exe this-computer                    this computer's name and address as the
//                                                 utility finds them, tab between
//   ui_probe.exe run PROGRAM [ARGS...]            runs it, waits, and ends with its exit code
//
// With UPDEXAR_DESKTOP set, all of this happens in that desktop (Wine's virtual desktop of that
// name): windows are looked for there and `run` starts the program there.
//
// Tab separates the fields of a line. Grid rectangles print as "left,top,right,bottom", "-" when
// the cell is not on screen; flags as the words fixed, current, bold, hidden, editing joined by
// "," ("-" for none).
//
// CAPTION matches a visible top-level window whose caption contains it; a caption equal to it
// wins over one that only contains it, so "Updexar" finds the message box even while the main
// window "Updexar -> ..." is open. "=CAPTION" asks for exactly that caption. Button texts match
// with or without their "&" and without regard to case. Texts print in creation order, "\r" and
// "\n" written as such, so that one control is one line. Exit code 0 when done, 1 when the window
// or control did not come (or did not go) in time, 2 for a bad command line.
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "win32/grid_messages.h"
#include "win32/wide.h"
#include "win32/win32_network.h"
#include "win32/win32_system.h"
#include "wine/ui_driver.h"

namespace drv = updexar::uidriver;
using updexar::win32::Narrow;

namespace {

constexpr int kDefaultSeconds = 30;
// How long a click or a key waits for its window and control to come up.
constexpr int kActionWaitMs = 10000;

std::string Upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

std::string WithoutAmpersands(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '&') {
            // "&&" shows one ampersand.
            if (i + 1 < s.size() && s[i + 1] == '&') out += s[++i];
            continue;
        }
        out += s[i];
    }
    return out;
}

bool SameText(const std::string& shown, const std::string& wanted) {
    return shown == wanted || Upper(WithoutAmpersands(shown)) == Upper(WithoutAmpersands(wanted));
}

std::string OneLine(const std::string& s) {
    std::string out;
    for (char c : s) {
        if (c == '\r') out += "\\r";
        else if (c == '\n') out += "\\n";
        else out += c;
    }
    return out;
}

struct Candidates {
    std::vector<HWND> windows;
};

BOOL CALLBACK CollectTop(HWND hwnd, LPARAM param) {
    if (IsWindowVisible(hwnd)) reinterpret_cast<Candidates*>(param)->windows.push_back(hwnd);
    return TRUE;
}

std::vector<HWND> VisibleTopWindows() {
    Candidates c;
    EnumWindows(CollectTop, reinterpret_cast<LPARAM>(&c));
    return c.windows;
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

HWND WaitTop(const std::string& pattern, int timeoutMs) {
    HWND found = nullptr;
    drv::WaitFor([&] { return (found = MatchTop(pattern)) != nullptr; }, timeoutMs);
    return found;
}

HWND FindShown(HWND top, const std::string& text, bool buttonsOnly) {
    for (const drv::WindowInfo& w : drv::ListChildren(top)) {
        if (!w.visible) continue;
        if (buttonsOnly && Upper(w.className) != "BUTTON") continue;
        if (SameText(w.text, text)) return w.hwnd;
    }
    return nullptr;
}

// Waits for the window and then for a visible child showing the text.
HWND WaitChild(const std::string& caption, const std::string& text, bool buttonsOnly, int timeoutMs, HWND* topOut) {
    HWND child = nullptr;
    drv::WaitFor(
        [&] {
            HWND top = MatchTop(caption);
            if (!top) return false;
            if (topOut) *topOut = top;
            return (child = FindShown(top, text, buttonsOnly)) != nullptr;
        },
        timeoutMs);
    return child;
}

int ParseSeconds(const std::vector<std::string>& args, size_t index) {
    if (args.size() <= index) return kDefaultSeconds;
    const int s = std::atoi(args[index].c_str());
    return s > 0 ? s : kDefaultSeconds;
}

// A key name as a virtual-key code; 0 for an unknown name.
int KeyCode(const std::string& name) {
    const std::string n = Upper(name);
    struct Named {
        const char* name;
        int vk;
    };
    static const Named kNames[] = {{"ESC", VK_ESCAPE}, {"ENTER", VK_RETURN}, {"TAB", VK_TAB}, {"SPACE", VK_SPACE},
                                   {"LEFT", VK_LEFT},   {"RIGHT", VK_RIGHT},  {"UP", VK_UP},   {"DOWN", VK_DOWN},
                                   {"F2", VK_F2}};
    for (const Named& k : kNames)
        if (n == k.name) return k.vk;
    if (n.size() == 1 && ((n[0] >= 'A' && n[0] <= 'Z') || (n[0] >= '0' && n[0] <= '9'))) return n[0];
    return 0;
}

// ---- the grid, read through its own message

struct CellAnswer {
    bool got = false;
    updexar::win32::GridCellInfo info{};
    std::wstring text;
};

LRESULT CALLBACK AnswerProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (m == WM_COPYDATA) {
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
    return DefWindowProcW(h, m, w, l);
}

HWND GridOf(HWND top) { return drv::FindChild(top, "UpdexarGrid"); }

// The cell as the grid's window answers for it; false when it did not.
bool AskCell(HWND grid, int row, int col, CellAnswer& answer) {
    static const ATOM cls = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = AnswerProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"UiProbeAnswer";
        return RegisterClassW(&wc);
    }();
    if (!cls) return false;
    HWND box = CreateWindowExW(0, L"UiProbeAnswer", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!box) return false;
    SetWindowLongPtrW(box, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&answer));
    DWORD_PTR ok = FALSE;
    // While it waits, this thread takes the WM_COPYDATA the grid sends back.
    SendMessageTimeoutW(grid, updexar::win32::GRIDM_GETCELL, MAKEWPARAM(row, col), reinterpret_cast<LPARAM>(box),
                        SMTO_ABORTIFHUNG, 5000, &ok);
    DestroyWindow(box);
    return ok && answer.got;
}

std::string RectText(HWND from, int left, int top, int right, int bottom) {
    POINT p[2] = {{left, top}, {right, bottom}};
    MapWindowPoints(from, nullptr, p, 2);
    return std::to_string(p[0].x) + "," + std::to_string(p[0].y) + "," + std::to_string(p[1].x) + "," + std::to_string(p[1].y);
}

std::string FlagWords(uint32_t flags) {
    using namespace updexar::win32;
    std::string out;
    const struct {
        uint32_t bit;
        const char* word;
    } kWords[] = {{GRIDCELL_FIXED, "fixed"}, {GRIDCELL_CURRENT, "current"}, {GRIDCELL_BOLD, "bold"},
                  {GRIDCELL_HIDDEN, "hidden"}, {GRIDCELL_EDITING, "editing"}};
    for (const auto& w : kWords)
        if (flags & w.bit) out += (out.empty() ? "" : ",") + std::string(w.word);
    return out.empty() ? "-" : out;
}

std::string Hex(COLORREF c) {
    char text[8];
    std::snprintf(text, sizeof text, "#%02X%02X%02X", GetRValue(c), GetGValue(c), GetBValue(c));
    return text;
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

int Usage() {
    std::fputs(
        "usage: ui_probe windows | wait-window CAPTION [s] | gone CAPTION [s] | texts CAPTION |\n"
        "       wait-text CAPTION TEXT [s] | checked CAPTION TEXT | click CAPTION TEXT | size CAPTION |\n"
        "       key CAPTION KEY | type CAPTION TEXT | set-text CAPTION N TEXT | focused CAPTION |\n"
        "       cell CAPTION ROW COL | click-cell CAPTION ROW COL [double] | click-check CAPTION ROW COL |\n"
        "       scroll CAPTION LINES | click-nth CAPTION TEXT N | choose CAPTION N ITEM | this-computer |\n"
        "       run PROGRAM [ARGS...]\n",
        stderr);
    return 2;
}

int Fail(const std::string& what) {
    std::fprintf(stderr, "ui_probe: %s\n", what.c_str());
    return 1;
}

int Run(const std::vector<std::string>& a) {
    if (a.empty()) return Usage();
    const std::string& verb = a[0];

    if (verb == "windows" && a.size() == 1) {
        for (HWND h : VisibleTopWindows())
            std::printf("%s\t%s\n", drv::ClassOf(h).c_str(), OneLine(CaptionOf(h)).c_str());
        return 0;
    }
    if (verb == "wait-window" && (a.size() == 2 || a.size() == 3)) {
        HWND top = WaitTop(a[1], ParseSeconds(a, 2) * 1000);
        if (!top) return Fail("no window \"" + a[1] + "\"");
        std::printf("%s\n", OneLine(CaptionOf(top)).c_str());
        return 0;
    }
    if (verb == "gone" && (a.size() == 2 || a.size() == 3)) {
        if (!drv::WaitFor([&] { return MatchTop(a[1]) == nullptr; }, ParseSeconds(a, 2) * 1000))
            return Fail("the window \"" + a[1] + "\" is still there");
        return 0;
    }
    if (verb == "texts" && a.size() == 2) {
        HWND top = WaitTop(a[1], kActionWaitMs);
        if (!top) return Fail("no window \"" + a[1] + "\"");
        for (const drv::WindowInfo& w : drv::ListChildren(top))
            if (w.visible) std::printf("%s\t%s\n", w.className.c_str(), OneLine(w.text).c_str());
        return 0;
    }
    if (verb == "wait-text" && (a.size() == 3 || a.size() == 4)) {
        if (!WaitChild(a[1], a[2], false, ParseSeconds(a, 3) * 1000, nullptr))
            return Fail("no \"" + a[2] + "\" in a window \"" + a[1] + "\"");
        return 0;
    }
    if (verb == "checked" && a.size() == 3) {
        HWND box = WaitChild(a[1], a[2], true, kActionWaitMs, nullptr);
        if (!box) return Fail("no check box \"" + a[2] + "\" in a window \"" + a[1] + "\"");
        DWORD_PTR state = 0;
        if (!SendMessageTimeoutW(box, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, 5000, &state))
            return Fail("the check box did not answer");
        std::printf("%u\n", static_cast<unsigned>(state));
        return 0;
    }
    if (verb == "click" && a.size() == 3) {
        HWND button = WaitChild(a[1], a[2], true, kActionWaitMs, nullptr);
        if (!button) return Fail("no button \"" + a[2] + "\" in a window \"" + a[1] + "\"");
        if (!drv::WaitFor([&] { return IsWindowEnabled(button) != FALSE; }, kActionWaitMs))
            return Fail("the button \"" + a[2] + "\" stays disabled");
        drv::Click(button);
        return 0;
    }
    if (verb == "size" && a.size() == 2) {
        HWND top = WaitTop(a[1], kActionWaitMs);
        if (!top) return Fail("no window \"" + a[1] + "\"");
        RECT r;
        GetWindowRect(top, &r);
        std::printf("%ld %ld\n", r.right - r.left, r.bottom - r.top);
        return 0;
    }
    if (verb == "key" && a.size() == 3) {
        std::string name = a[2];
        int shift = 0;
        if (Upper(name).rfind("ALT+", 0) == 0) {
            shift = 4;
            name = name.substr(4);
        }
        const int vk = KeyCode(name);
        if (!vk) return Usage();
        HWND top = WaitTop(a[1], kActionWaitMs);
        if (!top) return Fail("no window \"" + a[1] + "\"");
        // As a keyboard would: to the control that has the focus, else to the window itself.
        HWND focus = drv::FocusedWindow(top);
        if (focus && GetAncestor(focus, GA_ROOT) != top) focus = nullptr;
        drv::PressKey(focus ? focus : top, vk, shift);
        return 0;
    }
    if (verb == "type" && a.size() == 3) {
        HWND top = WaitTop(a[1], kActionWaitMs);
        if (!top) return Fail("no window \"" + a[1] + "\"");
        HWND focus = drv::FocusedWindow(top);
        if (!focus || GetAncestor(focus, GA_ROOT) != top) return Fail("nothing has the focus in \"" + a[1] + "\"");
        drv::TypeText(focus, a[2]);
        return 0;
    }
    if (verb == "this-computer" && a.size() == 1) {
        updexar::win32::Win32Network network;
        std::printf("%s\t%s\n", network.LocalHostName().c_str(), network.LocalAddress().c_str());
        return 0;
    }
    if (verb == "click-nth" && a.size() == 4) {
        HWND top = WaitTop(a[1], kActionWaitMs);
        if (!top) return Fail("no window \"" + a[1] + "\"");
        int n = std::atoi(a[3].c_str());
        for (const drv::WindowInfo& w : drv::ListChildren(top)) {
            if (!w.visible || Upper(w.className) != "BUTTON" || !SameText(w.text, a[2]) || n-- > 0) continue;
            if (!w.enabled) return Fail("the button \"" + a[2] + "\" is disabled");
            drv::Click(w.hwnd);
            return 0;
        }
        return Fail("no button \"" + a[2] + "\" " + a[3] + " in \"" + a[1] + "\"");
    }
    if (verb == "set-text" && a.size() == 4) {
        HWND top = WaitTop(a[1], kActionWaitMs);
        if (!top) return Fail("no window \"" + a[1] + "\"");
        int n = std::atoi(a[2].c_str());
        for (const drv::WindowInfo& w : drv::ListChildren(top)) {
            if (!w.visible || Upper(w.className) != "EDIT" || n-- > 0) continue;
            const std::wstring text = updexar::win32::Wide(a[3]);
            DWORD_PTR ok = 0;
            SendMessageTimeoutW(w.hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_ABORTIFHUNG, 5000, &ok);
            return ok ? 0 : Fail("the edit box refused the text");
        }
        return Fail("no edit box " + a[2] + " in \"" + a[1] + "\"");
    }
    if (verb == "focused" && a.size() == 2) {
        HWND top = WaitTop(a[1], kActionWaitMs);
        if (!top) return Fail("no window \"" + a[1] + "\"");
        HWND focus = drv::FocusedWindow(top);
        if (!focus || GetAncestor(focus, GA_ROOT) != top) return Fail("nothing has the focus in \"" + a[1] + "\"");
        const std::string cls = drv::ClassOf(focus);
        const bool password = Upper(cls) == "EDIT" && (GetWindowLongW(focus, GWL_STYLE) & ES_PASSWORD);
        RECT r;
        GetWindowRect(focus, &r);
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        std::string caret = "-";
        if (GetGUIThreadInfo(GetWindowThreadProcessId(top, nullptr), &info) && info.hwndCaret == focus)
            caret = std::to_string(info.rcCaret.left);
        std::printf("%s\t%s\t%ld,%ld,%ld,%ld\t%s\n", cls.c_str(), password ? "password" : "-", r.left, r.top, r.right,
                    r.bottom, caret.c_str());
        return 0;
    }
    if ((verb == "cell" && a.size() == 4) || (verb == "click-check" && a.size() == 4) ||
        (verb == "click-cell" && (a.size() == 4 || (a.size() == 5 && a[4] == "double")))) {
        HWND top = WaitTop(a[1], kActionWaitMs);
        HWND grid = top ? GridOf(top) : nullptr;
        if (!grid) return Fail("no grid in a window \"" + a[1] + "\"");
        const int row = std::atoi(a[2].c_str()), col = std::atoi(a[3].c_str());
        CellAnswer cell;
        if (!AskCell(grid, row, col, cell)) return Fail("the grid did not answer for cell " + a[2] + "," + a[3]);
        const auto& i = cell.info;
        const bool onScreen = (i.flags & updexar::win32::GRIDCELL_ONSCREEN) != 0;
        if (verb == "cell") {
            const std::string rect = onScreen ? RectText(grid, i.left, i.top, i.right, i.bottom) : "-";
            std::printf("%d\t%s\t%s\t%s\t%s\t%s\n", i.check, Hex(i.backColor).c_str(), Hex(i.foreColor).c_str(),
                        FlagWords(i.flags).c_str(), rect.c_str(), OneLine(Narrow(cell.text)).c_str());
            return 0;
        }
        if (!onScreen) return Fail("cell " + a[2] + "," + a[3] + " is not on screen");
        if (verb == "click-check") {
            if (i.check == 0) return Fail("cell " + a[2] + "," + a[3] + " has no check box");
            PostClick(grid, (i.checkLeft + i.checkRight) / 2, (i.checkTop + i.checkBottom) / 2, false);
        } else {
            // Right of any check box, as a user clicks into the text.
            PostClick(grid, i.right - 4, (i.top + i.bottom) / 2, a.size() == 5);
        }
        return 0;
    }
    if (verb == "scroll" && a.size() == 3) {
        HWND top = WaitTop(a[1], kActionWaitMs);
        HWND grid = top ? GridOf(top) : nullptr;
        if (!grid) return Fail("no grid in a window \"" + a[1] + "\"");
        const int lines = std::atoi(a[2].c_str());
        for (int n = 0; n < std::abs(lines); ++n) PostMessageW(grid, WM_VSCROLL, lines > 0 ? SB_LINEDOWN : SB_LINEUP, 0);
        return 0;
    }
    if (verb == "choose" && a.size() == 4) {
        HWND top = WaitTop(a[1], kActionWaitMs);
        if (!top) return Fail("no window \"" + a[1] + "\"");
        int n = std::atoi(a[2].c_str());
        for (const drv::WindowInfo& w : drv::ListChildren(top)) {
            if (!w.visible || Upper(w.className) != "COMBOBOX" || n-- > 0) continue;
            const std::wstring item = updexar::win32::Wide(a[3]);
            DWORD_PTR index = static_cast<DWORD_PTR>(CB_ERR);
            SendMessageTimeoutW(w.hwnd, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(item.c_str()),
                                SMTO_ABORTIFHUNG, 5000, &index);
            if (static_cast<LRESULT>(index) == CB_ERR) return Fail("no item \"" + a[3] + "\" in combo box " + a[2]);
            DWORD_PTR ignored = 0;
            SendMessageTimeoutW(w.hwnd, CB_SETCURSEL, index, 0, SMTO_ABORTIFHUNG, 5000, &ignored);
            // A pick with the mouse ends with this notification; the program reads the choice then.
            SendMessageTimeoutW(GetParent(w.hwnd), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(w.hwnd), CBN_SELCHANGE),
                                reinterpret_cast<LPARAM>(w.hwnd), SMTO_ABORTIFHUNG, 5000, &ignored);
            return 0;
        }
        return Fail("no combo box " + a[2] + " in \"" + a[1] + "\"");
    }
    return Usage();
}

}  // namespace

// The program and its arguments exactly as this probe got them, quotes and blanks included.
int RunProgram(const wchar_t* desktop) {
    const std::string rest = updexar::win32::ArgumentsAfterProgramName(
        updexar::win32::ArgumentsAfterProgramName(Narrow(GetCommandLineW(), std::wcslen(GetCommandLineW()))));
    std::wstring line = updexar::win32::Wide(rest);
    std::wstring desk = desktop ? desktop : L"";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    if (desktop) si.lpDesktop = desk.data();
    PROCESS_INFORMATION pi{};
    // Handles inherited: the program writes to our output, which the script reads.
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi))
    {
        Fail("could not start " + rest + " (error " + std::to_string(GetLastError()) + ")");
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
    HWND keeper = CreateWindowExW(0, L"STATIC", L"ui_probe keeps the desktop", WS_POPUP, 0, 0, 1, 1, nullptr,
                                  nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!keeper) return Fail("could not make the keeper window");
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
    return 0;
}

int wmain(int argc, wchar_t** argv) {
    // Plain "\n" line ends: the scripts read this output on Linux.
    _setmode(_fileno(stdout), _O_BINARY);
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.push_back(Narrow(argv[i], std::wcslen(argv[i])));
    const wchar_t* desktop = _wgetenv(L"UPDEXAR_DESKTOP");
    if (desktop && !*desktop) desktop = nullptr;
    if (!args.empty() && args[0] == "run") return args.size() > 1 ? RunProgram(desktop) : Usage();
    if (!args.empty() && args[0] == "hold") return Hold();
    // Windows of another desktop are invisible to this one: look from inside it.
    if (desktop) {
        HDESK d = OpenDesktopW(desktop, 0, FALSE, GENERIC_ALL);
        if (!d || !SetThreadDesktop(d)) return Fail("cannot enter the desktop " + Narrow(desktop, std::wcslen(desktop)));
    }
    const int code = Run(args);
    std::fflush(stdout);
    return code;
}
