// grid_demo.exe: a window with a grid filled like the LAN machine grid, on the real backend.
// Without UPDEXAR_SHOT_DIR it just waits for a person. With it, a second thread plays the user:
// it clicks check boxes and cells, types, presses keys and scrolls through window messages, checks
// the model after each step, and asks the test script for screenshots on the way. Prints one line
// per check; the exit code is the number of failed checks (100 when the window never came).
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <thread>

#include "forms/application.h"
#include "forms/grid.h"
#include "platform/platform.h"
#include "core/shared_state.h"
#include "ui/scaling.h"
#include "win32/win32_forms_app.h"
#include "win32/win32_forms_peers.h"
#include "win32/win32_grid.h"
#include "win32/win32_platform.h"
#include "wine/ui_driver.h"

using namespace updexar;
using namespace updexar::forms;
namespace drv = updexar::uidriver;

namespace {

const char kCaption[] = "Updexar grid demo";

class frmGridDemo : public Form {
public:
    frmGridDemo()
        : Form("frmGridDemo"), lblTitle(Add<Label>("lblTitle")), vs(Add<VSFlexGrid>("vs")), txtNote(Add<TextBox>("txtNote")) {
        SetCaption(kCaption);
        Move(0, 0, 11400, 7200);
        lblTitle.Move(120, 120, 6000, 255);
        lblTitle.SetCaption("LAN Machines (tick a name or an address)");
        vs.Move(120, 480, 11040, 6060);
        vs.SetFixedCols(0);
        vs.SetCols(7);
        vs.SetRowHeightMin(0);
        vs.SetColWidthMax(4000);
        Font f = vs.GetFont();
        f.name = "Book Antiqua";
        f.size = Font::FromPoints(8);
        vs.SetFont(f);
        lblTitle.SetFont(f);
        txtNote.Move(6240, 90, 4920, 315);
        txtNote.SetFont(f);
        Wire();
    }

    void Form_Load() override {
        ScaleForm(*this);
        Move((GetSystemMetrics(SM_CXSCREEN) * 15 - Width()) / 2, 120 * Shared().sy);
        Prepare();
        Fill(30);
        vs.AutoSize(0, vs.Cols() - 1);
    }

    Label& lblTitle;
    VSFlexGrid& vs;
    TextBox& txtNote;

private:
    // The LAN grid's rules: boxes in columns 1 and 2 (the header's too), user names only in
    // selected rows, a ticked box clears the other one of its row, a header box sets its column.
    void Wire() {
        vs.BeforeEdit = [this](int row, int col, bool& cancel) {
            const bool box = row >= 0 && (col == 1 || col == 2);
            const bool login = row >= 1 && (col == 3 || col == 4);
            if (!box && !login) cancel = true;
            else if (login && vs.CellChecked(row, 1) != CheckTicked && vs.CellChecked(row, 2) != CheckTicked) cancel = true;
            else if (col == 4) cancel = true;  // the password goes through an overlay in the real window
        };
        vs.AfterEdit = [this](int row, int col) {
            if (col != 1 && col != 2) return;
            const int other = col == 1 ? 2 : 1;
            if (row == 0) {
                const int state = vs.CellChecked(0, col);
                for (int r = 1; r < vs.Rows(); ++r) {
                    if (vs.CellChecked(r, col) == CheckNone) continue;
                    vs.SetCellChecked(r, col, state);
                    if (state == CheckTicked && vs.CellChecked(r, other) == CheckTicked) vs.SetCellChecked(r, other, CheckUnticked);
                }
            } else if (vs.CellChecked(row, col) == CheckTicked && vs.CellChecked(row, other) == CheckTicked) {
                vs.SetCellChecked(row, other, CheckUnticked);
            }
        };
        vs.AfterRowColChange = [this](int, int, int row, int col) {
            if (row >= 1 && col == 3) vs.EditCell();
        };
    }

    void Prepare() {
        vs.SetRows(1);
        const char* heads[] = {"Sr. No.", "Computer Name", "IP Address", "User Name", "Password", "Password", "Status"};
        const double fractions[] = {0.06, 0.14, 0.12, 0.18, 0.12};
        for (int c = 0; c < 7; ++c) vs.SetTextMatrix(0, c, heads[c]);
        vs.SetCellFontBold(0, 0, 0, 6, true);
        vs.SetCellChecked(0, 1, 0, 2, CheckUnticked);
        for (int c = 0; c < 5; ++c) vs.SetColWidth(c, std::round(vs.Width() * fractions[c]));
        vs.SetColWidth(5, 0);
        vs.AutoSizeGrowOnly = true;
        vs.AutoSize(0, 6);
    }

    // Rows as a search and a LAN run leave them: some named, some by address only, some with
    // results of one or several lines.
    void Fill(int machines) {
        for (int i = 1; i <= machines; ++i) {
            const bool named = i % 4 != 3;
            char name[32];
            std::snprintf(name, sizeof name, "QORPC-%02d", i);
            vs.AddItem(std::to_string(i) + "\t" + (named ? name : "") + "\t192.168.1." + std::to_string(10 + i));
            if (named) {
                const bool byName = i % 3 == 2;
                vs.SetCellChecked(i, 1, byName ? CheckTicked : CheckUnticked);
                vs.SetCellChecked(i, 2, byName ? CheckUnticked : (i % 5 == 0 ? CheckUnticked : CheckTicked));
            } else {
                vs.SetCellChecked(i, 2, i == 7 ? CheckUnticked : CheckTicked);
            }
            if (i % 2 == 0) {
                const std::string password = "secret" + std::to_string(i);
                vs.SetTextMatrix(i, 3, "QOR\\admin");
                vs.SetTextMatrix(i, 4, std::string(password.size(), '*'));
                vs.SetTextMatrix(i, 5, password);
            }
        }
        vs.SetTextMatrix(1, 6, "Updated successfully to:\r\nC:\\Prog\\Galvano");
        vs.SetCellBackColor(1, 6, 0x00FF00);
        vs.SetTextMatrix(2, 6, "Connected");
        vs.SetTextMatrix(4, 6, "Not Connected (Time Out)");
        vs.SetTextMatrix(5, 6, "Errors:\r\nUpdate:Cancelled\r\nWhile updating to:\r\nC:\\Prog\\Galvano");
    }
};

// ---- the player

Application* g_app = nullptr;
frmGridDemo* g_form = nullptr;
int g_failures = 0;

// Runs f on the user-interface thread and hands back its result.
template <class R>
R OnUi(std::function<R()> f) {
    auto done = std::make_shared<std::promise<R>>();
    auto result = done->get_future();
    g_app->Post([done, f] {
        try {
            done->set_value(f());
        } catch (...) {
            done->set_exception(std::current_exception());
        }
    });
    if (result.wait_for(std::chrono::seconds(15)) != std::future_status::ready)
        throw std::runtime_error("the window's thread did not answer");
    return result.get();
}

bool Eventually(const std::function<bool()>& cond, int timeoutMs = 5000) {
    return drv::WaitFor([&] { return OnUi<bool>(cond); }, timeoutMs);
}

void Check(bool ok, const std::string& what) {
    std::printf("%s %s\n", ok ? "ok  " : "FAIL", what.c_str());
    std::fflush(stdout);
    if (!ok) ++g_failures;
}

std::string Describe() {
    return OnUi<std::string>([] {
        VSFlexGrid& vs = g_form->vs;
        return "row " + std::to_string(vs.Row()) + " col " + std::to_string(vs.Col()) + " top " +
               std::to_string(vs.TopRow()) + " bottom " + std::to_string(vs.BottomRow()) +
               (vs.Editing() ? " editing '" + vs.EditText() + "'" : "");
    });
}

RECT CellRect(HWND grid, int row, int col, UINT what = win32::GRIDM_GETCELLRECT) {
    RECT rc{};
    if (!SendMessageW(grid, what, MAKEWPARAM(row, col), reinterpret_cast<LPARAM>(&rc)))
        std::printf("     (cell %d,%d is not on screen)\n", row, col);
    return rc;
}

void ClickAt(HWND window, int x, int y, bool dbl = false) {
    const LPARAM at = MAKELPARAM(x, y);
    PostMessageW(window, dbl ? WM_LBUTTONDBLCLK : WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageW(window, WM_LBUTTONUP, 0, at);
}

// A click on the text part of a cell (right of any check box).
void ClickCell(HWND grid, int row, int col) {
    const RECT rc = CellRect(grid, row, col);
    ClickAt(grid, rc.right - 4, (rc.top + rc.bottom) / 2);
}

void ClickCheck(HWND grid, int row, int col) {
    const RECT rc = CellRect(grid, row, col, win32::GRIDM_GETCHECKRECT);
    ClickAt(grid, (rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
}

HWND Editor(HWND grid) { return reinterpret_cast<HWND>(SendMessageW(grid, win32::GRIDM_GETEDITOR, 0, 0)); }

std::string Text(int row, int col) {
    return OnUi<std::string>([row, col] { return g_form->vs.TextMatrix(row, col); });
}

// The script waits for a picture that has stopped changing, so no pause for painting here.
void Shot(const std::string& name) {
    if (!drv::RequestScreenshot(name)) std::printf("     nobody took the screenshot %s\n", name.c_str());
}

void Play(HWND top) {
    HWND grid = drv::FindChild(top, "UpdexarGrid");
    Check(grid != nullptr, "the grid has a window of its own");
    if (!grid) return;

    // On screen: the hidden column takes no room, a result of several lines a taller row.
    RECT hidden;
    Check(!SendMessageW(grid, win32::GRIDM_GETCELLRECT, MAKEWPARAM(1, 5), reinterpret_cast<LPARAM>(&hidden)),
          "the hidden column takes no room on screen");
    const RECT status = CellRect(grid, 1, 6), password = CellRect(grid, 1, 4), plain = CellRect(grid, 2, 6);
    Check(status.left == password.right, "Status follows Password directly");
    Check(status.bottom - status.top > plain.bottom - plain.top, "a two-line result makes its row taller");

    // A click on a check box reaches the model (row 2 starts selected by name).
    ClickCheck(grid, 2, 2);
    Check(Eventually([] { return g_form->vs.CellChecked(2, 2) == CheckTicked && g_form->vs.CellChecked(2, 1) == CheckUnticked; }),
          "clicking row 2's address box ticks it and clears its name box");
    Check(OnUi<bool>([] { return g_form->vs.Row() == 2 && g_form->vs.Col() == 2; }), "the click made that cell current");

    // So does the header's box, which does not move the current cell.
    ClickCheck(grid, 0, 1);
    Check(Eventually([] { return g_form->vs.CellChecked(0, 1) == CheckTicked && g_form->vs.CellChecked(2, 1) == CheckTicked; }),
          "the header box ticks the name boxes");
    Check(OnUi<bool>([] { return g_form->vs.Row() == 2; }), "the header box left the current cell alone");
    Shot("grid");

    // A user name cell of a selected row opens its editor at once; Enter stores the text.
    ClickCell(grid, 3, 3);
    Check(drv::WaitFor([&] { return Editor(grid) != nullptr; }, 5000), "clicking a user name opens the editor");
    HWND editor = Editor(grid);
    Check(editor && drv::WindowText(editor) == "", "the editor holds the cell's text");
    drv::TypeText(editor, "administrator");
    drv::PressKey(editor, VK_RETURN);
    Check(Eventually([] { return !g_form->vs.Editing() && g_form->vs.TextMatrix(3, 3) == "administrator"; }),
          "typing and Enter store the user name (" + Describe() + ")");
    Check(drv::WaitFor([&] { return !IsWindowVisible(editor); }, 3000), "the editor went away");

    // Typing into a current cell starts an edit with that character; Esc drops it.
    ClickCell(grid, 4, 1);
    Check(Eventually([] { return g_form->vs.Row() == 4 && g_form->vs.Col() == 1 && !g_form->vs.Editing(); }),
          "a name cell becomes current without an edit");
    PostMessageW(grid, WM_CHAR, L'Z', 1);
    Check(drv::WaitFor([&] { return Editor(grid) != nullptr; }, 5000), "typing opens the editor");
    editor = Editor(grid);
    drv::TypeText(editor, "9");
    Check(drv::WaitFor([&] { return drv::WindowText(editor) == "Z9"; }, 3000), "the typed character starts the text");
    drv::PressKey(editor, VK_ESCAPE);
    Check(Eventually([] { return !g_form->vs.Editing(); }) && Text(4, 1) == "QORPC-04", "Esc leaves the name as it was");

    // An unselected row refuses its user name.
    ClickCell(grid, 7, 3);
    // The click that made the cell current also asked for the edit: nothing more to wait for.
    Check(Eventually([] { return g_form->vs.Row() == 7 && g_form->vs.Col() == 3; }), "row 7's user name is current");
    Check(Editor(grid) == nullptr && !OnUi<bool>([] { return g_form->vs.Editing(); }),
          "but its edit is refused: neither box of row 7 is ticked");

    // Scroll bar, wheel (that a scroll commits an edit first is grid_test.cpp's business).
    PostMessageW(grid, WM_VSCROLL, SB_TOP, 0);
    Check(Eventually([] { return g_form->vs.TopRow() == 1; }), "the scroll bar's top goes to row 1");
    PostMessageW(grid, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA)), 0);
    Check(Eventually([] { return g_form->vs.TopRow() == 4; }), "one wheel notch scrolls three rows");
    PostMessageW(grid, WM_VSCROLL, SB_LINEDOWN, 0);
    Check(Eventually([] { return g_form->vs.TopRow() == 5; }), "a line down scrolls one row");
    PostMessageW(grid, WM_VSCROLL, SB_TOP, 0);
    Check(Eventually([] { return g_form->vs.TopRow() == 1; }), "back at the top");

    // Space toggles the box of the current cell.
    ClickCell(grid, 8, 2);
    Check(Eventually([] { return g_form->vs.Row() == 8 && g_form->vs.Col() == 2; }), "row 8's address is current");
    drv::PressKey(grid, VK_SPACE);
    Check(Eventually([] { return g_form->vs.CellChecked(8, 2) == CheckTicked && g_form->vs.CellChecked(8, 1) == CheckUnticked; }),
          "Space ticks the address and clears the name");

    // Tab leaves the editor for the next control, and losing the focus commits the edit.
    ClickCell(grid, 10, 3);
    Check(drv::WaitFor([&] { return Editor(grid) != nullptr; }, 5000), "row 10's user name opens");
    editor = Editor(grid);
    drv::TypeText(editor, "via-tab");
    Check(drv::WaitFor([&] { return drv::WindowText(editor) == "via-tab"; }, 3000), "typed into row 10");
    drv::PressKey(editor, VK_TAB);
    Check(Eventually([] { return !g_form->vs.Editing() && g_form->vs.TextMatrix(10, 3) == "via-tab"; }),
          "Tab to the next control commits the edit (" + Describe() + ")");
    Check(drv::WaitFor([&] { return drv::ClassOf(drv::FocusedWindow(top)) == "Edit" && drv::FocusedWindow(top) != editor; }, 3000),
          "the focus went to the text box after the grid");

    // A picture with the editor open.
    PostMessageW(grid, WM_VSCROLL, SB_TOP, 0);
    Check(Eventually([] { return g_form->vs.TopRow() == 1; }), "at the top for the picture");
    ClickCell(grid, 2, 3);
    Check(drv::WaitFor([&] { return Editor(grid) != nullptr; }, 5000), "row 2's user name opens for the picture");
    Shot("grid-edit");
    drv::PressKey(Editor(grid), VK_ESCAPE);
    Check(Eventually([] { return !g_form->vs.Editing(); }), "Esc closes it");
}

}  // namespace

int main() {
    platform::InstallPlatform(&win32::Win32Platform());
    std::string sys = platform::Os().system->SystemDirectory();
    if (!sys.empty() && sys.back() == '\\') sys.pop_back();
    Shared().SysDir = sys;
    ComputeScaleFactors();
    win32::RegisterGridPeer();
    auto forms = win32::InstallWin32Forms();
    g_app = &forms->app;

    g_form = &Window<frmGridDemo>();
    g_form->Show();
    std::printf("screen %dx%d sx=%.3f sy=%.3f dpi=%d\n", GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                Shared().sx, Shared().sy, win32::ScreenDpiX());
    std::fflush(stdout);

    const bool driven = std::getenv("UPDEXAR_SHOT_DIR") != nullptr;
    bool appeared = !driven;
    std::thread user;
    if (driven) {
        const DWORD ui = GetCurrentThreadId();
        user = std::thread([&, ui] {
            drv::UseDesktopOf(ui);
            HWND top = drv::FindTopWindow(kCaption, 30000);
            appeared = top != nullptr;
            try {
                if (top) Play(top);
            } catch (const std::exception& e) {
                Check(false, std::string("the player stopped: ") + e.what());
            }
            g_app->Post([] {
                for (Form* f : g_app->LoadedForms()) g_app->Unload(*f);
            });
        });
    }
    int code = 0;
    try {
        win32::RunMessageLoop();
    } catch (const std::exception& e) {
        std::printf("FAIL the window's thread stopped: %s\n", e.what());
        code = 1;
    }
    if (user.joinable()) user.join();
    if (!appeared) return 100;
    std::printf("%d check(s) failed\n", g_failures);
    return code + g_failures;
}
