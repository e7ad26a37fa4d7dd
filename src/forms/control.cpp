#include "forms/control.h"

#include <algorithm>

#include "forms/application.h"
#include "forms/form.h"
#include "platform/clock.h"
#include "platform/errors.h"

namespace updexar::forms {

Control::Control(Form& form, std::string name, int index, std::string typeName, bool hasFont, bool hasGeometry)
    : form_(form), name_(std::move(name)), index_(index), typeName_(std::move(typeName)), hasFont_(hasFont),
      hasGeometry_(hasGeometry) {}

void Control::Changed(Property what) { form_.ControlChanged(*this, what); }

void Control::Move(double left, double top, double width, double height) {
    if (left == left_ && top == top_ && width == width_ && height == height_) return;
    left_ = left;
    top_ = top;
    width_ = std::max(0.0, width);
    height_ = std::max(0.0, height);
    Changed(Property::Geometry);
}

void Control::SetVisible(bool v) {
    if (v == visible_) return;
    visible_ = v;
    Changed(Property::Visible);
}

void Control::SetEnabled(bool v) {
    if (v == enabled_) return;
    enabled_ = v;
    Changed(Property::Enabled);
}

void Control::SetTabIndex(int v) {
    if (v == tabIndex_) return;
    // Tab indexes stay a permutation: the control that had v moves up, as in a designer.
    for (Control* other : form_.Controls()) {
        if (other != this && other->tabIndex_ >= v && other->tabIndex_ < tabIndex_) ++other->tabIndex_;
        else if (other != this && other->tabIndex_ <= v && other->tabIndex_ > tabIndex_) --other->tabIndex_;
    }
    tabIndex_ = v;
    Changed(Property::TabIndex);
}

void Control::SetFocus() {
    form_.SetActiveControl(this);
    if (form_.Loaded() && Application::HasCurrent()) Application::Current().GetBackend().Focus(*this);
}

void Control::ZOrder(int position) {
    // The stacking is counted in the model too, so a window made later is put in its place.
    int extreme = zIndex_;
    for (Control* other : form_.Controls())
        if (other != this) extreme = position == 0 ? std::max(extreme, other->zIndex_ + 1) : std::min(extreme, other->zIndex_ - 1);
    zIndex_ = extreme;
    if (form_.Loaded() && Application::HasCurrent()) Application::Current().GetBackend().ZOrder(*this, position == 0);
}

void Control::SetFont(const Font& font) {
    font_ = font;
    Changed(Property::Font);
}

void Control::SetFontName(const std::string& name) {
    Font f = font_;
    f.name = name;
    SetFont(f);
}

void Control::SetFontBold(bool bold) {
    Font f = font_;
    f.bold = bold;
    SetFont(f);
}

void Control::SetFontSize(double points) {
    Font f = font_;
    double taken = points;
    if (Application::HasCurrent()) taken = Application::Current().GetBackend().FontSizeTaken(f.name, f.bold, points);
    f.size = Font::FromPoints(taken);
    SetFont(f);
}

// ---- Label

Label::Label(Form& form, std::string name, int index) : Control(form, std::move(name), index, "Label", true, true) {}

void Label::SetCaption(const std::string& text) {
    caption_ = text;
    Changed(Property::Caption);
    Fit();
}

void Label::SetAutoSize(bool on) {
    autoSize_ = on;
    Fit();
}

void Label::SetWordWrap(bool on) {
    wordWrap_ = on;
    Changed(Property::Appearance);
    Fit();
}

void Label::SetAlignment(Alignment a) {
    alignment_ = a;
    Changed(Property::Appearance);
}

void Label::SetFont(const Font& font) {
    Control::SetFont(font);
    Fit();
}

void Label::SetWidth(double v) {
    Control::SetWidth(v);
    if (wordWrap_) Fit();
}

void Label::Fit() {
    if (!autoSize_ || !Application::HasCurrent()) return;
    const Size s = Application::Current().GetBackend().MeasureText(font_, caption_, wordWrap_, Width());
    if (wordWrap_) Control::Move(Left(), Top(), Width(), s.height);
    else Control::Move(Left(), Top(), s.width, s.height);
}

// ---- TextBox

TextBox::TextBox(Form& form, std::string name, int index)
    : Control(form, std::move(name), index, "TextBox", true, true) {}

void TextBox::SetText(const std::string& text) {
    if (text == text_) return;
    text_ = text;
    selStart_ = selLength_ = 0;
    caretAtStart_ = false;
    Changed(Property::Text);
    if (Change) Change();
}

void TextBox::ReadSelection() const {
    if (!Parent().Loaded() || !Application::HasCurrent()) return;
    int start = 0, length = 0, caret = 0;
    if (!Application::Current().GetBackend().ReadSelection(*this, start, length, caret)) return;
    selStart_ = start;
    selLength_ = length;
    caretAtStart_ = length > 0 && caret == start;
}

int TextBox::SelStart() const {
    ReadSelection();
    return selStart_;
}

int TextBox::SelLength() const {
    ReadSelection();
    return selLength_;
}

int TextBox::CaretPos() const {
    ReadSelection();
    return caretAtStart_ ? selStart_ : selStart_ + selLength_;
}

void TextBox::SetSelStart(int start) { SetSelection(start, 0); }

void TextBox::SetSelLength(int length) { SetSelection(SelStart(), length); }

void TextBox::SetSelection(int start, int length) {
    const int chars = CharCount(text_);
    selStart_ = std::clamp(start, 0, chars);
    selLength_ = std::clamp(length, 0, chars - selStart_);
    caretAtStart_ = false;
    Changed(Property::Selection);
}

void TextBox::SetLocked(bool on) {
    locked_ = on;
    Changed(Property::Appearance);
}

void TextBox::SetPasswordChar(char c) {
    passwordChar_ = c;
    Changed(Property::Appearance);
}

void TextBox::SetMaxLength(int n) {
    maxLength_ = n < 0 ? 0 : n;
    Changed(Property::Appearance);
}

void TextBox::SetMultiLine(bool on) {
    multiLine_ = on;
    Changed(Property::Appearance);
}

void TextBox::SetBorderVisible(bool on) {
    borderVisible_ = on;
    Changed(Property::Appearance);
}

// ---- CommandButton

CommandButton::CommandButton(Form& form, std::string name, int index)
    : Control(form, std::move(name), index, "CommandButton", true, true) {}

void CommandButton::SetCaption(const std::string& text) {
    caption_ = text;
    Changed(Property::Caption);
}

void CommandButton::Press() {
    if (!Enabled() || !Visible()) return;
    if (Click) Click();
}

// ---- CheckBox

CheckBox::CheckBox(Form& form, std::string name, int index)
    : Control(form, std::move(name), index, "CheckBox", true, true) {}

void CheckBox::SetCaption(const std::string& text) {
    caption_ = text;
    Changed(Property::Caption);
}

void CheckBox::SetValue(int v) {
    if (v == value_) return;
    value_ = v;
    Changed(Property::Value);
    if (Click) Click();
}

// ---- OptionButton

OptionButton::OptionButton(Form& form, std::string name, int index)
    : Control(form, std::move(name), index, "OptionButton", true, true) {}

void OptionButton::SetCaption(const std::string& text) {
    caption_ = text;
    Changed(Property::Caption);
}

void OptionButton::SetValue(bool v) {
    if (v) {
        for (Control* c : Parent().Controls()) {
            auto* other = dynamic_cast<OptionButton*>(c);
            if (other && other != this && other->Container() == Container() && other->value_) {
                other->value_ = false;
                other->Changed(Property::Value);
            }
        }
    }
    const bool changed = v != value_;
    value_ = v;
    if (changed) Changed(Property::Value);
    // Selecting an option raises Click even when it was selected already.
    if (v && Click) Click();
}

// ---- ComboBox

ComboBox::ComboBox(Form& form, std::string name, int index)
    : Control(form, std::move(name), index, "ComboBox", true, true) {}

void ComboBox::AddItem(const std::string& item) {
    items_.push_back(item);
    Changed(Property::Items);
}

void ComboBox::Clear() {
    items_.clear();
    listIndex_ = -1;
    Changed(Property::Items);
}

void ComboBox::SetListIndex(int i) {
    if (i < -1 || i >= ListCount()) throw RuntimeError(ErrInvalidPropertyValue);
    if (i == listIndex_) return;
    listIndex_ = i;
    Changed(Property::ListIndex);
    if (Click) Click();
}

std::string ComboBox::Text() const { return listIndex_ >= 0 ? items_[static_cast<size_t>(listIndex_)] : std::string(); }

// ---- Frame, PictureBox, Shape, Line, Image

Frame::Frame(Form& form, std::string name, int index) : Control(form, std::move(name), index, "Frame", true, true) {}

void Frame::SetCaption(const std::string& text) {
    caption_ = text;
    Changed(Property::Caption);
}

void Frame::SetBorderVisible(bool on) {
    borderVisible_ = on;
    Changed(Property::Appearance);
}

PictureBox::PictureBox(Form& form, std::string name, int index)
    : Control(form, std::move(name), index, "PictureBox", true, true) {}

double PictureBox::ScaleWidth() const {
    return Application::HasCurrent() ? Application::Current().GetBackend().InnerSize(*this).width : Width();
}

double PictureBox::ScaleHeight() const {
    return Application::HasCurrent() ? Application::Current().GetBackend().InnerSize(*this).height : Height();
}

Shape::Shape(Form& form, std::string name, int index) : Control(form, std::move(name), index, "Shape", false, true) {}

Line::Line(Form& form, std::string name, int index) : Control(form, std::move(name), index, "Line", false, false) {}

void Line::SetEnds(double x1, double y1, double x2, double y2) {
    x1_ = x1;
    y1_ = y1;
    x2_ = x2;
    y2_ = y2;
    Changed(Property::Appearance);
}

Image::Image(Form& form, std::string name, int index) : Control(form, std::move(name), index, "Image", false, true) {}

// ---- Timer

Timer::Timer(Form& form, std::string name, int index) : Control(form, std::move(name), index, "Timer", false, false) {}

Timer::~Timer() {
    if (Application::HasCurrent()) Application::Current().RemoveTimer(this);
}

void Timer::SetInterval(int ms) {
    interval_ = std::max(0, ms);
    Rearm();
}

void Timer::SetEnabled(bool on) {
    Control::SetEnabled(on);
    Rearm();
}

void Timer::Rearm() {
    if (!Application::HasCurrent()) return;
    Application& app = Application::Current();
    if (Enabled() && interval_ > 0 && Parent().Loaded()) {
        dueAt_ = app.Clock().MonotonicMs() + interval_;
        app.AddTimer(this);
    } else {
        dueAt_ = -1;
        app.RemoveTimer(this);
    }
}

void Timer::Fire(int64_t now) {
    if (firing_ || dueAt_ < 0 || now < dueAt_) return;
    dueAt_ = now + interval_;
    firing_ = true;
    struct Reset {
        bool& flag;
        ~Reset() { flag = false; }
    } reset{firing_};
    if (Tick) Tick();
}

}  // namespace updexar::forms
