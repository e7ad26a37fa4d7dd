#include "forms/form.h"

#include <algorithm>
#include <limits>

#include "forms/application.h"
#include "platform/errors.h"

namespace updexar::forms {

Form::Form(std::string name) : name_(std::move(name)) {}

Form::~Form() = default;

void Form::SetCaption(const std::string& text) {
    caption_ = text;
    if (loaded_ && Application::HasCurrent()) Application::Current().GetBackend().FormChanged(*this, Property::Caption);
}

void Form::Move(double left, double top, double width, double height) {
    left_ = left;
    top_ = top;
    width_ = std::max(0.0, width);
    height_ = std::max(0.0, height);
    if (loaded_ && Application::HasCurrent()) Application::Current().GetBackend().FormChanged(*this, Property::Geometry);
}

double Form::ScaleWidth() const {
    return Application::HasCurrent() ? Application::Current().GetBackend().InnerSize(*this).width : width_;
}

double Form::ScaleHeight() const {
    return Application::HasCurrent() ? Application::Current().GetBackend().InnerSize(*this).height : height_;
}

uintptr_t Form::hWnd() const {
    return loaded_ && Application::HasCurrent() ? Application::Current().GetBackend().Handle(*this) : 0;
}

void Form::Show(bool modal, Form* owner) { Application::Current().Show(*this, modal, owner); }

void Form::Hide() { Application::Current().Hide(*this); }

Control* Form::Find(const std::string& name, int index) const {
    for (Control* c : order_)
        if (c->Name() == name && c->Index() == index) return c;
    return nullptr;
}

std::vector<Control*> Form::Members(const std::string& name) const {
    std::vector<Control*> members;
    for (Control* c : order_)
        if (c->Name() == name && c->Index() >= 0) members.push_back(c);
    std::sort(members.begin(), members.end(), [](Control* a, Control* b) { return a->Index() < b->Index(); });
    return members;
}

int Form::UBound(const std::string& name) const {
    int ub = -1;
    for (Control* c : order_)
        if (c->Name() == name) ub = std::max(ub, c->Index());
    return ub;
}

void Form::Adopt(std::unique_ptr<Control> control, bool atRunTime) {
    if (control->Index() >= 0 && Find(control->Name(), control->Index())) throw RuntimeError(ErrObjectAlreadyLoaded);
    Control* raw = control.get();
    // New controls go last in the tab order, as a designer adds them.
    int maxTab = -1;
    for (Control* c : order_) maxTab = std::max(maxTab, c->TabIndex());
    // And under every other control, as a new child window goes.
    int minZ = 1;
    for (Control* c : order_) minZ = std::min(minZ, c->zIndex_);
    controls_.push_back(std::move(control));
    order_.push_back(raw);
    raw->tabIndex_ = maxTab + 1;
    raw->zIndex_ = minZ - 1;
    if (atRunTime && loaded_ && Application::HasCurrent()) Application::Current().GetBackend().ControlAdded(*raw);
}

void Form::CopyFromFirstMember(Control& member) {
    const std::vector<Control*> members = Members(member.Name());
    if (members.empty()) return;
    Control& first = *members.front();
    member.SetContainer(first.Container());
    member.Move(first.Left(), first.Top(), first.Width(), first.Height());
    member.SetFont(first.GetFont());
    member.SetEnabled(first.Enabled());
    member.SetVisible(false);
    if (auto* b = dynamic_cast<CommandButton*>(&member)) b->SetCaption(static_cast<CommandButton&>(first).Caption());
    if (auto* l = dynamic_cast<Label*>(&member)) l->SetCaption(static_cast<Label&>(first).Caption());
}

void Form::UnloadMember(const std::string& name, int index) {
    if (index == 0) throw RuntimeError(ErrCantUnloadDesignControl);
    auto it = std::find_if(controls_.begin(), controls_.end(),
                           [&](const std::unique_ptr<Control>& c) { return c->Name() == name && c->Index() == index; });
    if (it == controls_.end()) throw RuntimeError(ErrSubscript);
    Control* raw = it->get();
    if (active_ == raw) active_ = nullptr;
    if (loaded_ && Application::HasCurrent()) Application::Current().GetBackend().ControlRemoved(*raw);
    order_.erase(std::find(order_.begin(), order_.end(), raw));
    controls_.erase(it);
}

void Form::MarkVisible(bool visible, bool modal, Form* owner) {
    visible_ = visible;
    modal_ = visible && modal;
    if (visible) owner_ = owner;
}

void Form::ControlChanged(Control& control, Property what) {
    if (loaded_ && Application::HasCurrent()) Application::Current().GetBackend().ControlChanged(control, what);
}

void Form::DispatchKeyDown(int keyCode, int shift, Control* target) {
    if (KeyPreview) {
        Form_KeyDown(keyCode, shift);
        if (keyCode == 0 || !loaded_) return;
    }
    if (target && target->KeyDown) {
        target->KeyDown(keyCode, shift);
        if (keyCode == 0 || !loaded_) return;
    }
    if (keyCode == KeyEscape) {
        for (Control* c : order_) {
            auto* b = dynamic_cast<CommandButton*>(c);
            if (b && b->Cancel && b->Visible() && b->Enabled()) {
                b->Press();
                return;
            }
        }
    } else if (keyCode == KeyReturn) {
        // Enter presses the button it was typed on, else the default button.
        if (auto* focused = dynamic_cast<CommandButton*>(target)) {
            focused->Press();
            return;
        }
        for (Control* c : order_) {
            auto* b = dynamic_cast<CommandButton*>(c);
            if (b && b->Default && b->Visible() && b->Enabled()) {
                b->Press();
                return;
            }
        }
    }
}

int Form::DispatchKeyPress(int keyAscii, Control* target) {
    if (KeyPreview) {
        Form_KeyPress(keyAscii);
        if (keyAscii == 0 || !loaded_) return keyAscii;
    }
    if (target && target->KeyPress) target->KeyPress(keyAscii);
    return keyAscii;
}

}  // namespace updexar::forms
