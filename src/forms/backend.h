// What a window system must provide to the toolkit. The Windows backend makes real windows;
// the headless backend of the tests keeps a transcript and plays a scripted user.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "forms/types.h"

namespace updexar::platform {
class Clock;
}

namespace updexar::forms {

class Control;
class Form;

// Which property of a control or form changed, so a backend updates only that.
enum class Property {
    Geometry,
    Caption,
    Text,
    Visible,
    Enabled,
    Font,
    TabIndex,
    Value,
    Items,
    ListIndex,
    Appearance,  // colours, border, alignment, word wrap, picture, line ends
    Data,        // control-specific content (grid cells, ...)
    Selection,   // a text box's selection and caret
};

class Backend {
public:
    virtual ~Backend() = default;

    // A form was loaded: make its window (hidden) and a native peer for each of its controls.
    virtual void FormLoaded(Form& form) = 0;
    // The form is being released: destroy its window.
    virtual void FormUnloaded(Form& form) = 0;
    // A control array member was loaded or unloaded at run time.
    virtual void ControlAdded(Control& control) = 0;
    virtual void ControlRemoved(Control& control) = 0;
    virtual void ControlChanged(Control& control, Property what) = 0;
    virtual void FormChanged(Form& form, Property what) = 0;

    // Make the window visible. A modal window disables the application's other windows until
    // EndModal; the caller runs the modal loop itself.
    virtual void ShowForm(Form& form, bool modal, Form* owner) = 0;
    virtual void HideForm(Form& form) = 0;
    virtual void EndModal(Form& form) = 0;
    virtual void Focus(Control& control) = 0;
    // Puts the control's window over (front) or under its sibling windows.
    virtual void ZOrder(Control& control, bool front) = 0;
    // The selection of a text box as its window holds it now, in characters (the user moves it
    // without telling the model); false when there is no window and the model's record stands.
    virtual bool ReadSelection(const Control& box, int& start, int& length, int& caret) = 0;
    // Drop the last two items of the window's system menu (the close entry and the separator).
    virtual void RemoveCloseMenuItems(Form& form) = 0;
    virtual uintptr_t Handle(const Form& form) = 0;

    // Size of text in twips in this font: the longest line's width and the height of all lines;
    // with wordWrap the text wraps at wrapWidth twips.
    virtual Size MeasureText(const Font& font, const std::string& text, bool wordWrap, double wrapWidth) = 0;
    // The size a font of that face really takes when asked for `requested` points.
    virtual double FontSizeTaken(const std::string& face, bool bold, double requested) = 0;
    // Client area of a control that contains others (frame, picture box) or of a form, in twips.
    virtual Size InnerSize(const Control& control) = 0;
    virtual Size InnerSize(const Form& form) = 0;

    // Process pending native events. When none are pending, wait for one for at most waitMs on
    // the given clock (negative: until something happens; 0: do not wait).
    virtual void Pump(int64_t waitMs, platform::Clock& clock) = 0;
    // Wakes a waiting Pump; callable from any thread.
    virtual void Wake() = 0;

    // The system's own message box, the fallback of ours; returns its result code.
    virtual int SystemMessageBox(Form* owner, const std::string& prompt, int style,
                                 const std::optional<std::string>& title) = 0;
};

}  // namespace updexar::forms
