// Controls with the properties the windows use: geometry in twips, Caption/Text, Tag, Visible,
// Enabled, TabIndex, a font, and the events each kind raises.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "forms/backend.h"
#include "forms/types.h"

namespace updexar::forms {

class Form;

class Control {
public:
    Control(Form& form, std::string name, int index, std::string typeName, bool hasFont, bool hasGeometry);
    virtual ~Control() = default;
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    const std::string& Name() const { return name_; }
    // Index within a control array; -1 for a control that is not in one.
    int Index() const { return index_; }
    // The kind's type name ("Label", "CommandButton", "VSFlexGrid", ...).
    const std::string& TypeName() const { return typeName_; }
    Form& Parent() const { return form_; }
    // The frame or picture box this control sits in; null for the form itself.
    Control* Container() const { return container_; }
    void SetContainer(Control* container) { container_ = container; }
    bool HasFont() const { return hasFont_; }
    bool HasGeometry() const { return hasGeometry_; }

    double Left() const { return left_; }
    double Top() const { return top_; }
    double Width() const { return width_; }
    double Height() const { return height_; }
    void SetLeft(double v) { Move(v, top_, width_, height_); }
    void SetTop(double v) { Move(left_, v, width_, height_); }
    virtual void SetWidth(double v) { Move(left_, top_, v, height_); }
    virtual void SetHeight(double v) { Move(left_, top_, width_, v); }
    virtual void Move(double left, double top, double width, double height);
    void Move(double left, double top) { Move(left, top, width_, height_); }

    bool Visible() const { return visible_; }
    void SetVisible(bool v);
    bool Enabled() const { return enabled_; }
    virtual void SetEnabled(bool v);
    int TabIndex() const { return tabIndex_; }
    void SetTabIndex(int v);
    // Whether Tab reaches it (buttons, text boxes, lists, check boxes, option buttons, grids).
    virtual bool CanFocus() const { return false; }
    void SetFocus();
    // 0 puts it over the controls it overlaps, 1 under them.
    void ZOrder(int position = 0);
    // Its place in that stacking: higher lies over lower. Controls made later start under the
    // ones made before them, as child windows do.
    int ZIndex() const { return zIndex_; }

    const Font& GetFont() const { return font_; }
    virtual void SetFont(const Font& font);
    void SetFontName(const std::string& name);
    void SetFontBold(bool bold);
    // Asks for a size; the font takes the nearest size it has, which FontSize then reports.
    void SetFontSize(double points);
    double FontSize() const { return font_.Points(); }
    // Scales the size limits a control keeps besides its geometry (the grid's column widths and
    // row heights); nothing for most kinds.
    virtual void ScaleLimits(float /*sx*/, float /*sy*/) {}

    // Small state between handlers, as text.
    std::string Tag;

    // Events common to many kinds.
    std::function<void()> Click;
    std::function<void()> GotFocus;
    std::function<void()> LostFocus;
    std::function<void(int& keyCode, int shift)> KeyDown;
    std::function<void(int& keyAscii)> KeyPress;

protected:
    void Changed(Property what);
    Font font_;

private:
    friend class Form;
    Form& form_;
    std::string name_;
    int index_;
    std::string typeName_;
    bool hasFont_;
    bool hasGeometry_;
    Control* container_ = nullptr;
    int zIndex_ = 0;
    double left_ = 0, top_ = 0, width_ = 0, height_ = 0;
    bool visible_ = true;
    bool enabled_ = true;
    int tabIndex_ = 0;
};

class Label : public Control {
public:
    Label(Form& form, std::string name, int index = -1);
    const std::string& Caption() const { return caption_; }
    void SetCaption(const std::string& text);
    bool AutoSize() const { return autoSize_; }
    void SetAutoSize(bool on);
    bool WordWrap() const { return wordWrap_; }
    void SetWordWrap(bool on);
    Alignment GetAlignment() const { return alignment_; }
    void SetAlignment(Alignment a);
    void SetFont(const Font& font) override;
    void SetWidth(double v) override;
    Color ForeColor = 0x000000;
    Color BackColor = 0x8000000F;
    bool BackTransparent = true;

private:
    // An auto-sized label fits its text: without word wrap it takes the longest line's width,
    // with word wrap it keeps its width and grows downwards.
    void Fit();
    std::string caption_;
    bool autoSize_ = false;
    bool wordWrap_ = false;
    Alignment alignment_ = Alignment::Left;
};

class TextBox : public Control {
public:
    TextBox(Form& form, std::string name, int index = -1);
    const std::string& Text() const { return text_; }
    // Raises Change when the text differs. The caret goes to the start, as in the window.
    void SetText(const std::string& text);
    // The selection, in characters: where it starts and how long it is. Setting SelStart puts
    // the caret there with nothing selected; setting SelLength selects that much from SelStart
    // with the caret at the end. Both are held inside the text.
    int SelStart() const;
    int SelLength() const;
    void SetSelStart(int start);
    void SetSelLength(int length);
    // Where the caret is: at one end of the selection (a selection made backwards has it at
    // the start).
    int CaretPos() const;
    // The selection as the model last set it, for a backend to put into the window.
    int HeldSelStart() const { return selStart_; }
    int HeldSelLength() const { return selLength_; }
    bool CanFocus() const override { return true; }
    // These reach a window that is already shown; a change of MultiLine makes the window anew.
    bool Locked() const { return locked_; }
    void SetLocked(bool on);
    char PasswordChar() const { return passwordChar_; }
    void SetPasswordChar(char c);
    // 0: no limit beyond the system's.
    int MaxLength() const { return maxLength_; }
    void SetMaxLength(int n);
    bool MultiLine() const { return multiLine_; }
    void SetMultiLine(bool on);
    // The sunken edge; without it the box is flat, for one that lies inside another control.
    bool BorderVisible() const { return borderVisible_; }
    void SetBorderVisible(bool on);
    std::function<void()> Change;

private:
    // The window's selection, when it has one, into the fields below.
    void ReadSelection() const;
    void SetSelection(int start, int length);
    std::string text_;
    mutable int selStart_ = 0;
    mutable int selLength_ = 0;
    mutable bool caretAtStart_ = false;
    bool locked_ = false;
    char passwordChar_ = 0;
    int maxLength_ = 0;
    bool multiLine_ = false;
    bool borderVisible_ = true;
};

class CommandButton : public Control {
public:
    CommandButton(Form& form, std::string name, int index = -1);
    const std::string& Caption() const { return caption_; }
    void SetCaption(const std::string& text);
    bool CanFocus() const override { return true; }
    // Enter presses the default button, Esc the cancel button.
    bool Default = false;
    bool Cancel = false;
    void Press();

private:
    std::string caption_;
};

class CheckBox : public Control {
public:
    CheckBox(Form& form, std::string name, int index = -1);
    const std::string& Caption() const { return caption_; }
    void SetCaption(const std::string& text);
    // 0 unchecked, 1 checked, 2 greyed. Setting a different value raises Click, as the user's
    // click does.
    int Value() const { return value_; }
    void SetValue(int v);
    bool CanFocus() const override { return true; }

private:
    std::string caption_;
    int value_ = 0;
};

class OptionButton : public Control {
public:
    OptionButton(Form& form, std::string name, int index = -1);
    const std::string& Caption() const { return caption_; }
    void SetCaption(const std::string& text);
    // Selecting one clears the other option buttons of the same container and raises Click.
    bool Value() const { return value_; }
    void SetValue(bool v);
    bool CanFocus() const override { return true; }

private:
    std::string caption_;
    bool value_ = false;
};

// A drop-down list; Text is the selected item's text.
class ComboBox : public Control {
public:
    ComboBox(Form& form, std::string name, int index = -1);
    void AddItem(const std::string& item);
    void Clear();
    int ListCount() const { return static_cast<int>(items_.size()); }
    const std::string& List(int i) const { return items_.at(static_cast<size_t>(i)); }
    // -1 when nothing is selected; a change raises Click.
    int ListIndex() const { return listIndex_; }
    void SetListIndex(int i);
    std::string Text() const;
    bool CanFocus() const override { return true; }

private:
    std::vector<std::string> items_;
    int listIndex_ = -1;
};

class Frame : public Control {
public:
    Frame(Form& form, std::string name, int index = -1);
    const std::string& Caption() const { return caption_; }
    void SetCaption(const std::string& text);
    bool BorderVisible() const { return borderVisible_; }
    void SetBorderVisible(bool on);

private:
    std::string caption_;
    bool borderVisible_ = true;
};

class PictureBox : public Control {
public:
    PictureBox(Form& form, std::string name, int index = -1);
    // Width and height inside the border, in twips.
    double ScaleWidth() const;
    double ScaleHeight() const;
    bool Border = true;
    Color BackColor = 0x8000000F;
    // A named picture of the program's resources ("folder", ...); empty for none.
    std::string Picture;
};

class Shape : public Control {
public:
    Shape(Form& form, std::string name, int index = -1);
    Color FillColor = 0x800000;
    bool Filled = true;
    Color BorderColor = 0x000000;
    void Redraw() { Changed(Property::Appearance); }
};

class Line : public Control {
public:
    Line(Form& form, std::string name, int index = -1);
    double X1() const { return x1_; }
    double Y1() const { return y1_; }
    double X2() const { return x2_; }
    double Y2() const { return y2_; }
    void SetEnds(double x1, double y1, double x2, double y2);
    Color BorderColor = 0x808080;

private:
    double x1_ = 0, y1_ = 0, x2_ = 0, y2_ = 0;
};

class Image : public Control {
public:
    Image(Form& form, std::string name, int index = -1);
    // A named picture of the program's resources: "critical", "question", "exclamation",
    // "information", "folder", ...
    std::string Picture;
    bool Stretch = false;
};

class Timer : public Control {
public:
    Timer(Form& form, std::string name, int index = -1);
    ~Timer() override;
    int Interval() const { return interval_; }
    // Milliseconds; 0 stops it.
    void SetInterval(int ms);
    // Enabled starts and stops it.
    void SetEnabled(bool on) override;
    std::function<void()> Tick;
    // When it fires next, on the application clock; -1 when it is stopped.
    int64_t DueAt() const { return dueAt_; }
    // Called by the event loop.
    void Fire(int64_t now);

private:
    void Rearm();
    int interval_ = 0;
    int64_t dueAt_ = -1;
    bool firing_ = false;
};

}  // namespace updexar::forms
