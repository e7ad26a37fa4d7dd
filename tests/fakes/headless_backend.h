// A window system without windows, for native tests: it keeps a transcript of what would have
// been on screen and plays a scripted user. Waits move the clock instead of sleeping, so a
// window that waits 900 seconds is tested in microseconds (give it a platform::ManualClock).
#pragma once

#include <algorithm>
#include <cmath>
#include <deque>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "forms/application.h"
#include "forms/backend.h"
#include "platform/clock.h"

namespace updexar::fakes {

class HeadlessBackend : public forms::Backend {
public:
    // Everything shown, one line each: "show frmMsgBox modal owner=frmmain", "hide X",
    // "unload X", "sysmsgbox 64 'title': text -> 1".
    std::vector<std::string> transcript;
    // The next time a window of that name is shown, the action runs (once) from the event loop,
    // as a user would act after the window appears.
    void WhenShown(const std::string& formName, std::function<void(forms::Form&)> action) {
        whenShown_.push_back({formName, std::move(action)});
    }
    // Every time a window of that name is shown (after any one-time action for it).
    void Always(const std::string& formName, std::function<void(forms::Form&)> action) {
        always_.push_back({formName, std::move(action)});
    }
    // The system message box answers with these results in turn (1 when the list runs out).
    std::deque<int> systemMessageBoxAnswers;
    // The size a face takes; by default whole pixels at 96 DPI, as a TrueType face does. Text is
    // measured at ten twips a character per point and 24 twips a line per point.
    std::function<double(const std::string& face, bool bold, double requested)> fontSizeRule;
    // Controls focused, in order. Each change of focus raises LostFocus on the control that had
    // it and GotFocus on the new one, later from the event loop, as the real windows do.
    std::vector<std::string> focusLog;

    static void Key(forms::Form& form, int keyCode, int shift = 0) { form.DispatchKeyDown(keyCode, shift); }

    void FormLoaded(forms::Form&) override {}
    void FormUnloaded(forms::Form& form) override {
        transcript.push_back("unload " + form.Name());
        if (focused_ && &focused_->Parent() == &form) focused_ = nullptr;
    }
    void ControlAdded(forms::Control&) override {}
    void ControlRemoved(forms::Control& control) override {
        if (focused_ == &control) focused_ = nullptr;
    }
    void ControlChanged(forms::Control&, forms::Property) override {}
    void FormChanged(forms::Form&, forms::Property) override {}
    void ShowForm(forms::Form& form, bool modal, forms::Form* owner) override;
    void HideForm(forms::Form& form) override { transcript.push_back("hide " + form.Name()); }
    void EndModal(forms::Form&) override {}
    void Focus(forms::Control& control) override;
    void ZOrder(forms::Control&, bool) override {}  // the model keeps the stacking; nothing to draw
    // Without windows the model's own selection is the box's.
    bool ReadSelection(const forms::Control&, int&, int&, int&) override { return false; }
    void RemoveCloseMenuItems(forms::Form&) override {}
    uintptr_t Handle(const forms::Form& form) override { return reinterpret_cast<uintptr_t>(&form); }
    forms::Size MeasureText(const forms::Font& font, const std::string& text, bool wordWrap, double wrapWidth) override;
    double FontSizeTaken(const std::string& face, bool bold, double requested) override {
        if (fontSizeRule) return fontSizeRule(face, bold, requested);
        return std::max(1.0, std::round(requested * 96.0 / 72.0)) * 72.0 / 96.0;
    }
    // A 3D border takes two pixels on each side.
    forms::Size InnerSize(const forms::Control& control) override {
        const auto* box = dynamic_cast<const forms::PictureBox*>(&control);
        const double b = box && box->Border ? 60 : 0;
        return {std::max(0.0, control.Width() - b), std::max(0.0, control.Height() - b)};
    }
    forms::Size InnerSize(const forms::Form& form) override {
        return {std::max(0.0, form.Width() - 90), std::max(0.0, form.Height() - 90 - 285)};
    }
    void Pump(int64_t waitMs, platform::Clock& clock) override;
    void Wake() override {}
    int SystemMessageBox(forms::Form*, const std::string& prompt, int style,
                         const std::optional<std::string>& title) override;

private:
    struct Pending {
        std::string formName;
        std::function<void(forms::Form&)> action;
    };
    std::vector<Pending> whenShown_, always_;
    std::deque<std::function<void()>> ready_;
    forms::Control* focused_ = nullptr;
};

}  // namespace updexar::fakes
