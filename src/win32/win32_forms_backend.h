// The window toolkit on real Windows windows: a window per form, a child window per control, and
// the message loop the toolkit's modal loops and DoEvents run on.
#pragma once

#include <windows.h>

#include <memory>

#include "forms/backend.h"

namespace updexar::win32 {

class Win32FormsBackend : public forms::Backend {
public:
    // Must be made on the thread that runs the windows.
    Win32FormsBackend();
    ~Win32FormsBackend() override;
    Win32FormsBackend(const Win32FormsBackend&) = delete;
    Win32FormsBackend& operator=(const Win32FormsBackend&) = delete;

    void FormLoaded(forms::Form& form) override;
    void FormUnloaded(forms::Form& form) override;
    void ControlAdded(forms::Control& control) override;
    void ControlRemoved(forms::Control& control) override;
    void ControlChanged(forms::Control& control, forms::Property what) override;
    void FormChanged(forms::Form& form, forms::Property what) override;

    void ShowForm(forms::Form& form, bool modal, forms::Form* owner) override;
    void HideForm(forms::Form& form) override;
    void EndModal(forms::Form& form) override;
    void Focus(forms::Control& control) override;
    void ZOrder(forms::Control& control, bool front) override;
    bool ReadSelection(const forms::Control& box, int& start, int& length, int& caret) override;
    void RemoveCloseMenuItems(forms::Form& form) override;
    uintptr_t Handle(const forms::Form& form) override;

    forms::Size MeasureText(const forms::Font& font, const std::string& text, bool wordWrap, double wrapWidth) override;
    double FontSizeTaken(const std::string& face, bool bold, double requested) override;
    forms::Size InnerSize(const forms::Control& control) override;
    forms::Size InnerSize(const forms::Form& form) override;

    void Pump(int64_t waitMs, platform::Clock& clock) override;
    void Wake() override;

    int SystemMessageBox(forms::Form* owner, const std::string& prompt, int style,
                         const std::optional<std::string>& title) override;

    // The native window of a loaded form or of a control; null when it has none.
    HWND WindowOf(const forms::Form& form) const;
    HWND WindowOf(const forms::Control& control) const;
    // A WM_QUIT came through the loop: the program is asked to end.
    bool QuitRequested() const;

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

}  // namespace updexar::win32
