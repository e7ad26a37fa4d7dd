// The window toolkit on real windows: the message box answered by a user on another thread,
// and the backend's controls, events, focus, keys, closing and loop.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <functional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "forms/application.h"
#include "platform/platform.h"
#include "core/shared_state.h"
#include "ui/msgbox.h"
#include "ui/scaling.h"
#include "win32/win32_forms_app.h"
#include "win32/win32_forms_peers.h"
#include "win32/win32_platform.h"
#include "wine/ui_driver.h"

using namespace updexar;
namespace drv = updexar::uidriver;

namespace {

class FormsWine : public testing::Test {
protected:
    void SetUp() override {
        if (!platform::HasPlatform()) {
            platform::InstallPlatform(&win32::Win32Platform());
            installedPlatform_ = true;
        }
        ResetShared();
        std::string sys = platform::Os().system->SystemDirectory();
        if (!sys.empty() && sys.back() == '\\') sys.pop_back();
        Shared().SysDir = sys;
        ComputeScaleFactors();
        forms_ = win32::InstallWin32Forms();
    }
    void TearDown() override {
        forms_.reset();
        if (installedPlatform_) platform::InstallPlatform(nullptr);
    }

    forms::Application& App() { return forms_->app; }
    win32::Win32FormsBackend& Backend() { return forms_->backend; }

    // Lets the loop run until cond holds; false when it did not within the time.
    bool PumpUntil(const std::function<bool()>& cond, int timeoutMs = 3000) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (!cond()) {
            if (std::chrono::steady_clock::now() > end) return false;
            App().DoEvents();
            Sleep(5);
        }
        return true;
    }

    // Shows a message box on this thread while `user` acts on it from another. A user that finds
    // no window gets the box out of the way, so a failure cannot hang the run.
    int16_t AskWith(int style, const std::string& prompt, const std::string& title, std::function<void(HWND)> user) {
        std::thread driver([this, title, user] {
            HWND top = drv::FindTopWindow(title, 15000);
            if (top) {
                user(top);
                return;
            }
            App().Post([this] {
                Shared().MsgBoxResult = 99;
                for (forms::Form* f : App().LoadedForms()) App().Unload(*f);
            });
        });
        const int16_t result = ShowMessage(nullptr, prompt, style, title);
        driver.join();
        return result;
    }

    std::unique_ptr<win32::Win32Forms> forms_;
    bool installedPlatform_ = false;
};

HWND WaitFocus(HWND top) {
    HWND focus = nullptr;
    drv::WaitFor([&] { return (focus = drv::FocusedWindow(top)) != nullptr; }, 3000);
    return focus;
}

// Where the message box put its parts, in client coordinates of the dialog.
struct Layout {
    RECT client{};
    RECT window{};
    RECT label{};
    bool icon = false;
    std::vector<RECT> buttons;
};

Layout Measure(HWND top) {
    Layout l;
    GetClientRect(top, &l.client);
    GetWindowRect(top, &l.window);
    for (const drv::WindowInfo& w : drv::ListChildren(top)) {
        if (!w.visible) continue;
        RECT r = w.rect;
        MapWindowPoints(nullptr, top, reinterpret_cast<POINT*>(&r), 2);
        if (lstrcmpiA(w.className.c_str(), "Static") == 0) {
            if ((w.style & SS_TYPEMASK) == SS_ICON) l.icon = true;
            else l.label = r;
        } else if (lstrcmpiA(w.className.c_str(), "Button") == 0) {
            l.buttons.push_back(r);
        }
    }
    return l;
}

// Every style the program uses, answered by keys, clicks and the close box; the width rules are
// the unit tests' business, but the real dialog must show a long text whole and keep the buttons
// below it, centred, inside the window.
TEST_F(FormsWine, MessageBoxAnswersKeysClicksAndTheCloseBoxAndShowsItsTextWhole) {
    struct Case {
        int style;
        // enter, esc, close, click:<caption>; esc+click and close+click: the key or the close box
        // must leave a box with several buttons open, so the click after it gives the answer.
        std::string action;
        int16_t expected;
        std::string focused;
    };
    const std::vector<Case> cases = {
        {0, "enter", 1, "&Ok"},
        {64, "esc", 1, "&Ok"},
        {64, "close", 1, "&Ok"},
        {36, "esc+click:&Yes", 6, "&Yes"},
        {36, "close+click:&No", 7, "&Yes"},
        {292, "enter", 7, "&No"},
        {547, "enter", 2, "&Cancel"},
        {18, "click:&Retry", 4, "&Abort"},
    };
    std::string longText;
    for (int i = 0; i < 30; ++i) longText += "The update could not be copied to the server. ";
    Layout one, wrapped;
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE("style " + std::to_string(c.style) + " " + c.action);
        const std::string title = "Answer " + std::to_string(++n);
        bool closeItem = false, sawWindow = false;
        std::string focused;
        const std::string prompt = c.style == 547 ? longText : "Question number " + std::to_string(n) + "?";
        const int16_t result = AskWith(c.style, prompt, title, [&](HWND top) {
            sawWindow = true;
            closeItem = drv::HasCloseMenuItem(top);
            focused = drv::WindowText(WaitFocus(top));
            if (c.style == 0) one = Measure(top);
            if (c.style == 547) wrapped = Measure(top);
            std::string action = c.action;
            const auto plus = action.find('+');
            if (plus != std::string::npos) {
                if (action.substr(0, plus) == "esc") drv::PressKeyFocused(top, VK_ESCAPE);
                else drv::PressCloseBox(top);
                action = action.substr(plus + 1);
            }
            if (action == "enter") drv::PressKeyFocused(top, VK_RETURN);
            else if (action == "esc") drv::PressKeyFocused(top, VK_ESCAPE);
            else if (action == "close") drv::PressCloseBox(top);
            else if (action.rfind("click:", 0) == 0) drv::Click(drv::FindChild(top, "Button", action.substr(6)));
            drv::WaitGone(top, 5000);
        });
        EXPECT_TRUE(sawWindow);
        EXPECT_EQ(result, c.expected);
        EXPECT_EQ(focused, c.focused);
        const bool oneButton = c.style == 0 || c.style == 64;
        EXPECT_EQ(closeItem, oneButton) << "the close entry belongs only to one-button dialogs";
        EXPECT_TRUE(App().LoadedForms().empty());
    }

    const int width = wrapped.window.right - wrapped.window.left;
    EXPECT_TRUE(wrapped.icon);
    EXPECT_FALSE(one.icon);
    EXPECT_LT(width, GetSystemMetrics(SM_CXSCREEN) * 3 / 4) << "wider than the text needs";
    EXPECT_GE(wrapped.label.bottom - wrapped.label.top, 3 * (one.label.bottom - one.label.top)) << "did not wrap";
    EXPECT_LE(wrapped.label.right, wrapped.client.right);
    ASSERT_EQ(wrapped.buttons.size(), 3u);
    // Centred on the outer width, which is what the model lays out against.
    EXPECT_NEAR((wrapped.buttons[0].left + wrapped.buttons[2].right) / 2.0, width / 2.0, 1.5);
    for (const RECT& b : wrapped.buttons) {
        EXPECT_GE(b.top, wrapped.label.bottom) << "buttons overlap the text";
        EXPECT_LE(b.bottom, wrapped.client.bottom) << "buttons cut off at the bottom";
    }
}

// A window with one of each control the backend makes a window for.
class frmSample : public forms::Form {
public:
    frmSample()
        : forms::Form("frmSample"),
          lblName(Add<forms::Label>("lblName")),
          txtName(Add<forms::TextBox>("txtName")),
          chkKeep(Add<forms::CheckBox>("chkKeep")),
          famMode(Add<forms::Frame>("famMode")),
          optMode0(Add<forms::OptionButton>("optMode", 0)),
          optMode1(Add<forms::OptionButton>("optMode", 1)),
          cboList(Add<forms::ComboBox>("cboList")),
          cmdOk(Add<forms::CommandButton>("cmdOk")),
          cmdCancel(Add<forms::CommandButton>("cmdCancel")) {
        KeyPreview = true;
        FixedDialog = true;
        Move(600, 600, 7200, 5400);
        lblName.Move(120, 120, 1200, 255);
        lblName.SetCaption("&Name");
        txtName.Move(1440, 120, 2400, 300);
        chkKeep.Move(120, 600, 2400, 255);
        chkKeep.SetCaption("&Keep");
        famMode.Move(120, 1000, 3000, 1400);
        famMode.SetCaption("Mode");
        for (forms::OptionButton* o : {&optMode0, &optMode1}) o->SetContainer(&famMode);
        optMode0.Move(120, 240, 2000, 255);
        optMode1.Move(120, 600, 2000, 255);
        cboList.Move(3600, 600, 2400, 315);
        for (const char* item : {"one", "two", "three"}) cboList.AddItem(item);
        cmdOk.Move(3600, 3000, 1200, 375);
        cmdOk.SetCaption("OK");
        cmdOk.Default = true;
        cmdCancel.Move(5000, 3000, 1200, 375);
        cmdCancel.SetCaption("Cancel");
        cmdCancel.Cancel = true;
        cmdOk.Click = [this] { ++okPressed; };
        cmdCancel.Click = [this] { ++cancelPressed; };
        chkKeep.Click = [this] { ++checkClicks; };
        txtName.Change = [this] { ++changes; };
        cboList.Click = [this] { ++listClicks; };
        txtName.GotFocus = [this] { ++textFocus; };
    }
    forms::Label& lblName;
    forms::TextBox& txtName;
    forms::CheckBox& chkKeep;
    forms::Frame& famMode;
    forms::OptionButton& optMode0;
    forms::OptionButton& optMode1;
    forms::ComboBox& cboList;
    forms::CommandButton& cmdOk;
    forms::CommandButton& cmdCancel;

    int okPressed = 0, cancelPressed = 0, checkClicks = 0, changes = 0, listClicks = 0, textFocus = 0;
    std::vector<int> keys;
    std::vector<forms::UnloadMode> closeRequests;
    int refuseCloses = 0;

    void Form_KeyDown(int& keyCode, int) override { keys.push_back(keyCode); }
    void Form_QueryUnload(int& cancel, forms::UnloadMode mode) override {
        closeRequests.push_back(mode);
        if (refuseCloses > 0) {
            --refuseCloses;
            cancel = 1;
        }
    }
};

RECT ClientRectIn(HWND child, HWND parent) {
    RECT r;
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

// How each control behaves under the user's hand is UserInputReachesTheModel's business; here
// where the windows are and that model changes reach them.
TEST_F(FormsWine, ControlsGetWindowsThatFollowTheModel) {
    auto& f = App().Get<frmSample>();
    HWND form = Backend().WindowOf(f);
    ASSERT_TRUE(form);
    EXPECT_FALSE(IsWindowVisible(form)) << "a loaded form shows only when asked";
    f.Show();
    auto window = [&](forms::Control& c) { return Backend().WindowOf(c); };

    // Geometry in pixels at the screen's DPI; inside a container, relative to its client area.
    const RECT text = ClientRectIn(window(f.txtName), form);
    EXPECT_EQ(text.left, win32::TwipsToPixelsX(1440));
    EXPECT_EQ(text.top, win32::TwipsToPixelsY(120));
    EXPECT_EQ(text.right - text.left, win32::TwipsToPixelsX(2400));
    HWND frame = window(f.famMode);
    EXPECT_EQ(GetParent(window(f.optMode1)), frame);
    const RECT option = ClientRectIn(window(f.optMode1), frame);
    EXPECT_EQ(option.left, win32::TwipsToPixelsX(120));
    EXPECT_EQ(option.top, win32::TwipsToPixelsY(600));
    RECT client, outer;
    GetClientRect(form, &client);
    GetWindowRect(form, &outer);
    EXPECT_NEAR(f.ScaleHeight(), win32::PixelsToTwipsY(client.bottom), 0.5);
    EXPECT_EQ(outer.right - outer.left, win32::TwipsToPixelsX(7200));

    f.lblName.SetCaption("Full &name");
    f.lblName.SetAlignment(forms::Alignment::Right);
    f.txtName.SetText("abc");
    f.chkKeep.SetVisible(false);
    f.cmdCancel.SetEnabled(false);
    f.chkKeep.SetValue(2);
    f.cboList.SetListIndex(1);
    f.SetCaption("Sample window");
    EXPECT_EQ(drv::WindowText(window(f.lblName)), "Full &name");
    EXPECT_EQ(GetWindowLongW(window(f.lblName), GWL_STYLE) & SS_TYPEMASK, SS_RIGHT);
    EXPECT_EQ(drv::WindowText(window(f.txtName)), "abc");
    EXPECT_FALSE(IsWindowVisible(window(f.chkKeep)));
    EXPECT_FALSE(IsWindowEnabled(window(f.cmdCancel)));
    EXPECT_EQ(SendMessageW(window(f.chkKeep), BM_GETCHECK, 0, 0), BST_INDETERMINATE);
    EXPECT_EQ(SendMessageW(window(f.cboList), CB_GETCURSEL, 0, 0), 1);
    EXPECT_EQ(drv::WindowText(form), "Sample window");

    // Windows made later lie under the ones made before, as the model counts them; ZOrder
    // restacks a control among the windows of its container, and a frame's box stays under
    // what is in it.
    EXPECT_EQ(GetWindow(form, GW_CHILD), window(f.lblName));
    EXPECT_EQ(GetWindow(window(f.lblName), GW_HWNDNEXT), window(f.txtName));
    f.cmdCancel.ZOrder(0);
    EXPECT_EQ(GetWindow(form, GW_CHILD), window(f.cmdCancel));
    f.cmdCancel.ZOrder(1);
    EXPECT_EQ(GetWindow(window(f.cmdCancel), GW_HWNDNEXT), nullptr);
    f.optMode0.ZOrder(1);
    HWND below = GetWindow(window(f.optMode0), GW_HWNDNEXT);
    EXPECT_TRUE(below && drv::ClassOf(below) == "Button" && (GetWindowLongW(below, GWL_STYLE) & 0x0F) == BS_GROUPBOX);

    // A control array member loaded at run time gets a window; unloading it takes it away.
    auto& extra = f.LoadMember<forms::OptionButton>("optMode", 2);
    HWND extraWindow = window(extra);
    ASSERT_TRUE(extraWindow);
    EXPECT_EQ(GetParent(extraWindow), frame);
    f.UnloadMember("optMode", 2);
    EXPECT_FALSE(IsWindow(extraWindow));

    EXPECT_TRUE(App().Unload(f));
    EXPECT_FALSE(IsWindow(form));
}

TEST_F(FormsWine, UserInputReachesTheModel) {
    auto& f = App().Get<frmSample>();
    f.Show();
    HWND form = Backend().WindowOf(f);
    ASSERT_TRUE(IsWindowVisible(form));

    // Check box: each click toggles between unchecked and checked and raises Click.
    drv::Click(Backend().WindowOf(f.chkKeep));
    ASSERT_TRUE(PumpUntil([&] { return f.chkKeep.Value() == 1; }));
    EXPECT_EQ(SendMessageW(Backend().WindowOf(f.chkKeep), BM_GETCHECK, 0, 0), BST_CHECKED);
    drv::Click(Backend().WindowOf(f.chkKeep));
    ASSERT_TRUE(PumpUntil([&] { return f.chkKeep.Value() == 0; }));
    EXPECT_EQ(f.checkClicks, 2);

    // Option buttons: a click selects one and clears the other of its frame.
    f.optMode0.SetValue(true);
    drv::Click(Backend().WindowOf(f.optMode1));
    ASSERT_TRUE(PumpUntil([&] { return f.optMode1.Value(); }));
    EXPECT_FALSE(f.optMode0.Value());
    EXPECT_EQ(SendMessageW(Backend().WindowOf(f.optMode0), BM_GETCHECK, 0, 0), BST_UNCHECKED);

    // Typing, more than the box shows: the model follows, Change is raised for each character,
    // and the caret stays where the typing is.
    f.txtName.SetFocus();
    ASSERT_TRUE(PumpUntil([&] { return f.textFocus > 0; }));
    EXPECT_EQ(f.ActiveControl(), &f.txtName);
    HWND edit = Backend().WindowOf(f.txtName);
    const int before = f.changes;
    const std::string typed = "\\\\SERVER\\share\\Updates\\Galvano\\Upd1\\Log1\\T1234.txt";
    drv::TypeText(edit, typed);
    EXPECT_TRUE(PumpUntil([&] { return f.txtName.Text() == typed; })) << f.txtName.Text();
    EXPECT_EQ(f.changes - before, static_cast<int>(typed.size()));
    DWORD start = 0, end = 0;
    SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, typed.size());
    EXPECT_EQ(end, typed.size());
    EXPECT_EQ(f.txtName.CaretPos(), static_cast<int>(typed.size()));

    // The selection is counted in characters, the window's in UTF-16 units; the caret is found
    // at whichever end the selection was made towards.
    f.txtName.SetText("d\xC3\xA9j\xC3\xA0 \xF0\x9F\x94\x91 key");  // the key symbol takes two units
    f.txtName.SetSelStart(6);
    f.txtName.SetSelLength(3);
    SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, 7u);
    EXPECT_EQ(end, 10u);
    EXPECT_EQ(f.txtName.CaretPos(), 9);
    SendMessageW(edit, EM_SETSEL, 9, 5);  // from after "k" back to the key symbol
    EXPECT_EQ(f.txtName.SelStart(), 5);
    EXPECT_EQ(f.txtName.SelLength(), 3);
    EXPECT_EQ(f.txtName.CaretPos(), 5);
    drv::PressKey(edit, VK_LEFT);
    ASSERT_TRUE(PumpUntil([&] { return f.txtName.SelLength() == 0; }));
    EXPECT_EQ(f.txtName.CaretPos(), 4) << "Left moves on from where the caret was";

    // A combo box selection made with the keyboard.
    f.cboList.SetFocus();
    drv::PressKey(Backend().WindowOf(f.cboList), VK_DOWN);
    ASSERT_TRUE(PumpUntil([&] { return f.cboList.ListIndex() == 0; }));
    EXPECT_EQ(f.listClicks, 1);

    // Tab walks the tab order over visible, enabled, focusable controls; the form sees keys first.
    f.txtName.SetFocus();
    f.chkKeep.SetEnabled(false);
    drv::PressKey(edit, VK_TAB);
    ASSERT_TRUE(PumpUntil([&] { return f.ActiveControl() != &f.txtName; }));
    EXPECT_EQ(f.ActiveControl(), &f.optMode0) << "Tab did not skip the disabled check box";
    EXPECT_EQ(GetFocus(), Backend().WindowOf(f.optMode0));
    // Shift+Tab, as real keyboard input, goes back.
    drv::SendKeys(VK_TAB, 1);
    EXPECT_TRUE(PumpUntil([&] { return f.ActiveControl() == &f.txtName; })) << "Shift+Tab did not go back";
    f.chkKeep.SetEnabled(true);

    // Enter presses the default button, Esc the cancel button; key preview saw both.
    f.txtName.SetFocus();
    f.keys.clear();
    drv::PressKey(edit, VK_RETURN);
    ASSERT_TRUE(PumpUntil([&] { return f.okPressed == 1; }));
    drv::PressKey(edit, VK_ESCAPE);
    ASSERT_TRUE(PumpUntil([&] { return f.cancelPressed == 1; }));
    EXPECT_EQ(f.keys, (std::vector<int>{VK_RETURN, VK_ESCAPE}));
    // Alt plus the access key presses the button.
    f.cmdOk.SetCaption("&Go");
    drv::PressKey(edit, 'G', 4);
    ASSERT_TRUE(PumpUntil([&] { return f.okPressed == 2; }));

    // The close box asks the form; it may refuse, and the next close goes through.
    f.refuseCloses = 1;
    drv::PressCloseBox(form);
    ASSERT_TRUE(PumpUntil([&] { return f.closeRequests.size() == 1; }));
    // Work posted now runs after whatever the refused close left in the queue.
    bool settled = false;
    App().Post([&] { settled = true; });
    ASSERT_TRUE(PumpUntil([&] { return settled; }));
    EXPECT_TRUE(IsWindowVisible(form));
    EXPECT_EQ(f.closeRequests[0], forms::UnloadMode::ControlMenu);
    drv::PressCloseBox(form);
    ASSERT_TRUE(PumpUntil([&] { return !IsWindow(form); }));
    EXPECT_FALSE(App().IsLoaded<frmSample>());
}

TEST_F(FormsWine, ModalWindowsDisableTheOthersUntilTheyClose) {
    auto& main = App().Get<frmSample>();
    main.SetCaption("Main window");
    main.Show();
    HWND mainWindow = Backend().WindowOf(main);
    bool disabledMeanwhile = false;
    const int16_t result = AskWith(64, "Modal over the main window", "Modal", [&](HWND top) {
        disabledMeanwhile = !IsWindowEnabled(mainWindow);
        // Owned by the window it interrupts, so it stays above it.
        EXPECT_EQ(GetWindow(top, GW_OWNER), mainWindow);
        drv::PressKeyFocused(top, VK_RETURN);
        drv::WaitGone(top);
    });
    EXPECT_EQ(result, 1);
    EXPECT_TRUE(disabledMeanwhile);
    EXPECT_TRUE(IsWindowEnabled(mainWindow));
    EXPECT_EQ(App().ActiveForm(), &main);
    App().Unload(main);
}

TEST_F(FormsWine, TheLoopRunsTimersWakesForPostedWorkAndRethrowsHandlerErrors) {
    auto& f = App().Get<frmSample>();
    f.Show();

    auto& timer = f.Add<forms::Timer>("tmrTick");
    int ticks = 0;
    timer.Tick = [&] { ++ticks; };
    timer.SetInterval(30);
    App().WaitUntil([&] { return ticks >= 3; });
    timer.SetEnabled(false);

    // Work posted from another thread wakes a loop that waits without a timer.
    std::atomic<bool> done{false}, gaveUp{false};
    std::thread poster([&] {
        Sleep(200);
        App().Post([&] { done = true; });
    });
    std::thread watchdog([&] {
        for (int i = 0; i < 500 && !done; ++i) Sleep(20);
        if (!done) {
            gaveUp = true;
            App().Post([] {});
        }
    });
    App().WaitUntil([&] { return done || gaveUp; });
    poster.join();
    watchdog.join();
    EXPECT_FALSE(gaveUp) << "posted work did not wake the loop";

    // An error in a click handler comes out of the loop, not out of a window procedure.
    f.cmdOk.Click = [] { throw std::runtime_error("click failed"); };
    drv::Click(Backend().WindowOf(f.cmdOk));
    EXPECT_THROW(PumpUntil([] { return false; }, 2000), std::runtime_error);
    // Also when it is raised inside a window procedure (the text box's change notification).
    f.txtName.Change = [] { throw std::runtime_error("change failed"); };
    drv::TypeText(Backend().WindowOf(f.txtName), "q");
    EXPECT_THROW(PumpUntil([] { return false; }, 2000), std::runtime_error);

    // The program's top-level loop ends when the user has closed the last window.
    f.txtName.Change = nullptr;
    HWND window = Backend().WindowOf(f);
    std::thread user([window] {
        Sleep(200);
        drv::PressCloseBox(window);
    });
    win32::RunMessageLoop();
    user.join();
    EXPECT_TRUE(App().LoadedForms().empty());
    EXPECT_FALSE(IsWindow(window));
}

TEST_F(FormsWine, TextAndFontsAreMeasuredByTheScreen) {
    const forms::Font font;  // MS Sans Serif 8.25
    const forms::Size one = Backend().MeasureText(font, "Hello world", false, 0);
    const forms::Size two = Backend().MeasureText(font, "Hello world\r\nHello world, again", false, 0);
    EXPECT_GT(one.width, 0);
    EXPECT_NEAR(two.height, 2 * one.height, 0.5);
    EXPECT_GT(two.width, one.width);
    const forms::Size wrapped = Backend().MeasureText(font, "Hello world, again and again and again", true, one.width);
    EXPECT_LE(wrapped.width, one.width);
    EXPECT_GE(wrapped.height, 3 * one.height);
    EXPECT_GT(Backend().MeasureText(font, "", false, 0).height, 0) << "an empty label still has a line";

    // TrueType faces take whole pixels; every size reported is one the face can really show.
    const double dpi = win32::ScreenDpiY();
    for (double asked : {8.25, 9.0, 10.6, 13.3}) {
        const double taken = Backend().FontSizeTaken("Tahoma", false, asked);
        EXPECT_NEAR(taken * dpi / 72.0, std::round(taken * dpi / 72.0), 1e-6) << asked;
        EXPECT_NEAR(taken, asked, 72.0 / dpi) << asked;
        EXPECT_DOUBLE_EQ(Backend().FontSizeTaken("Tahoma", false, taken), taken) << "not stable at " << asked;
    }
}

}  // namespace
