// A window system without windows, for native tests: it keeps a transcript of what would have
// been on screen and plays a scripted user. Waits move the clock instead of sleeping, so a
// window that waits 900 seconds is tested in microseconds (give it a platform::ManualClock).
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "forms/application.h"
#include "forms/backend.h"

namespace updexar::fakes {

// Thrown when the program waits for something that can never come: a modal window is open, no
// timer runs and the script has nothing more to do.
class HeadlessStall : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class HeadlessBackend : public forms::Backend {
public:
    // Everything shown, one line each: "show frmMsgBox modal owner=frmmain", "hide X",
    // "unload X", "sysmsgbox 64 'title': text -> 1".
    std::vector<std::string> transcript;

    // The next time a window of that name is shown, the action runs (once) from the event loop,
    // as a user would act after the window appears.
    void WhenShown(const std::string& formName, std::function<void(forms::Form&)> action);
    // Every time a window of that name is shown (after any one-time action for it).
    void Always(const std::string& formName, std::function<void(forms::Form&)> action);
    // The system message box answers with these results in turn (1 when the list runs out).
    std::deque<int> systemMessageBoxAnswers;

    // Text metrics: each character is charWidth(points) twips wide and a line is lineHeight
    // twips high.
    std::function<double(const forms::Font&)> charWidth = [](const forms::Font& f) { return f.Points() * 10.0; };
    std::function<double(const forms::Font&)> lineHeight = [](const forms::Font& f) { return std::round(f.Points() * 24.0); };
    // The size a face takes; by default whole pixels at 96 DPI, as a TrueType face does.
    std::function<double(const std::string& face, bool bold, double requested)> fontSizeRule;

    // Controls focused, in order. Each change of focus raises LostFocus on the control that had
    // it and GotFocus on the new one, later from the event loop, as the real windows do.
    std::vector<std::string> focusLog;

    // User actions a script uses.
    static void Key(forms::Form& form, int keyCode, int shift = 0);
    static void CloseBox(forms::Form& form);

    void FormLoaded(forms::Form& form) override;
    void FormUnloaded(forms::Form& form) override;
    void ControlAdded(forms::Control&) override {}
    void ControlRemoved(forms::Control& control) override;
    void ControlChanged(forms::Control&, forms::Property) override {}
    void FormChanged(forms::Form&, forms::Property) override {}
    void ShowForm(forms::Form& form, bool modal, forms::Form* owner) override;
    void HideForm(forms::Form& form) override;
    void EndModal(forms::Form&) override {}
    void Focus(forms::Control& control) override;
    // The model keeps the stacking; there is nothing to draw.
    void ZOrder(forms::Control&, bool) override {}
    // Without windows the model's own selection is the box's.
    bool ReadSelection(const forms::Control&, int&, int&, int&) override { return false; }
    void RemoveCloseMenuItems(forms::Form&) override;
    uintptr_t Handle(const forms::Form& form) override;
    forms::Size MeasureText(const forms::Font& font, const std::string& text, bool wordWrap, double wrapWidth) override;
    double FontSizeTaken(const std::string& face, bool bold, double requested) override;
    forms::Size InnerSize(const forms::Control& control) override;
    forms::Size InnerSize(const forms::Form& form) override;
    void Pump(int64_t waitMs, platform::Clock& clock) override;
    void Wake() override {}
    int SystemMessageBox(forms::Form* owner, const std::string& prompt, int style,
                         const std::optional<std::string>& title) override;

private:
    struct Pending {
        std::string formName;
        std::function<void(forms::Form&)> action;
    };
    std::vector<Pending> whenShown_;
    std::vector<Pending> always_;
    std::deque<std::function<void()>> ready_;
    std::map<const forms::Form*, uintptr_t> handles_;
    forms::Control* focused_ = nullptr;
    uintptr_t nextHandle_ = 0x1000;
};

}  // namespace updexar::fakes
