// A window: caption, geometry in twips, key preview, owner, controls in the order they were
// made, and the events a window class overrides.
#pragma once

#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "forms/control.h"

namespace updexar::forms {

class Form {
public:
    explicit Form(std::string name);
    virtual ~Form();
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;

    const std::string& Name() const { return name_; }

    const std::string& Caption() const { return caption_; }
    void SetCaption(const std::string& text);
    double Left() const { return left_; }
    double Top() const { return top_; }
    double Width() const { return width_; }
    double Height() const { return height_; }
    void Move(double left, double top, double width, double height);
    void Move(double left, double top) { Move(left, top, width_, height_); }
    void SetWidth(double v) { Move(left_, top_, v, height_); }
    void SetHeight(double v) { Move(left_, top_, width_, v); }
    // The client area in twips.
    double ScaleWidth() const;
    double ScaleHeight() const;

    bool KeyPreview = false;
    // Fixed dialog frame (no resizing, no minimise or maximise boxes).
    bool FixedDialog = true;
    bool ControlBox = true;
    std::string Tag;

    bool Loaded() const { return loaded_; }
    bool Visible() const { return visible_; }
    bool Modal() const { return modal_; }
    Form* Owner() const { return owner_; }
    uintptr_t hWnd() const;

    // Shows the window; a modal show returns only when the window is hidden or unloaded.
    void Show(bool modal = false, Form* owner = nullptr);
    void Hide();

    // Controls in the order they were made: the design order, then run-time array members.
    const std::vector<Control*>& Controls() const { return order_; }
    Control* Find(const std::string& name, int index = -1) const;
    Control* ActiveControl() const { return active_; }

    // Makes a control of the design; `index` >= 0 makes it a member of a control array.
    template <class T>
    T& Add(const std::string& name, int index = -1) {
        static_assert(std::is_base_of_v<Control, T>);
        auto made = std::make_unique<T>(*this, name, index);
        T& ref = *made;
        Adopt(std::move(made), false);
        return ref;
    }
    // Loads a new member of a control array at run time, copying the lowest member's kind,
    // container, geometry, font and caption; it starts hidden.
    template <class T>
    T& LoadMember(const std::string& name, int index) {
        auto made = std::make_unique<T>(*this, name, index);
        T& ref = *made;
        CopyFromFirstMember(ref);
        Adopt(std::move(made), true);
        return ref;
    }
    void UnloadMember(const std::string& name, int index);
    // Members of a control array, by index.
    std::vector<Control*> Members(const std::string& name) const;
    int UBound(const std::string& name) const;

    // What a window class overrides.
    virtual void Form_Load() {}
    virtual void Form_Activate() {}
    virtual void Form_QueryUnload(int& /*cancel*/, UnloadMode /*mode*/) {}
    virtual void Form_Unload(int& /*cancel*/) {}
    virtual void Form_KeyDown(int& /*keyCode*/, int /*shift*/) {}
    virtual void Form_KeyPress(int& /*keyAscii*/) {}

    // --- Called by the application and the backends ---
    // A key went down while this window had the focus: key preview first, then the control it
    // was typed in (the focused one unless named), then Enter / Esc for the default and cancel
    // buttons.
    void DispatchKeyDown(int keyCode, int shift) { DispatchKeyDown(keyCode, shift, active_); }
    void DispatchKeyDown(int keyCode, int shift, Control* target);
    // Returns the character the handlers left (0 when one of them swallowed it).
    int DispatchKeyPress(int keyAscii) { return DispatchKeyPress(keyAscii, active_); }
    int DispatchKeyPress(int keyAscii, Control* target);
    void SetActiveControl(Control* control) { active_ = control; }
    void MarkLoaded(bool loaded) { loaded_ = loaded; }
    void MarkVisible(bool visible, bool modal, Form* owner);
    void ControlChanged(Control& control, Property what);

private:
    void Adopt(std::unique_ptr<Control> control, bool atRunTime);
    void CopyFromFirstMember(Control& member);
    std::string name_;
    std::string caption_;
    double left_ = 0, top_ = 0, width_ = 4800, height_ = 3600;
    bool loaded_ = false;
    bool visible_ = false;
    bool modal_ = false;
    Form* owner_ = nullptr;
    Control* active_ = nullptr;
    std::vector<std::unique_ptr<Control>> controls_;
    std::vector<Control*> order_;
};

}  // namespace updexar::forms
