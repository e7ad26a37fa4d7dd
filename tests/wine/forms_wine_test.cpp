// The window toolkit on real windows, where the program's own windows in the scenarios do not
// reach: every message box style answered by keys and the close box, modal windows over their
// owner, and errors of handlers coming out of the loop. Controls under the user's hand are the
// scenarios' business (tests/wine/scenarios).
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
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

// A window with a button and a text box.
class frmSample : public forms::Form {
public:
    frmSample() : forms::Form("frmSample"), txtName(Add<forms::TextBox>("txtName")), cmdOk(Add<forms::CommandButton>("cmdOk")) {
        Move(600, 600, 7200, 5400);
        txtName.Move(1440, 120, 2400, 300);
        cmdOk.Move(3600, 3000, 1200, 375);
        cmdOk.SetCaption("OK");
    }
    forms::TextBox& txtName;
    forms::CommandButton& cmdOk;
};

TEST_F(FormsWine, ModalWindowsHoldTheirOwnerAndHandlerErrorsLeaveTheLoop) {
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

    // An error in a click handler comes out of the loop, not out of a window procedure; also when
    // it is raised inside a window procedure (the text box's change notification).
    main.cmdOk.Click = [] { throw std::runtime_error("click failed"); };
    drv::Click(Backend().WindowOf(main.cmdOk));
    EXPECT_THROW(PumpUntil([] { return false; }, 2000), std::runtime_error);
    main.txtName.Change = [] { throw std::runtime_error("change failed"); };
    drv::TypeText(Backend().WindowOf(main.txtName), "q");
    EXPECT_THROW(PumpUntil([] { return false; }, 2000), std::runtime_error);
    App().Unload(main);
}

}  // namespace
