#include "fakes/headless_backend.h"

#include <algorithm>
#include <cmath>

#include "platform/clock.h"

namespace updexar::fakes {
namespace {

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::string cur;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            lines.push_back(cur);
            cur.clear();
            ++i;
        } else if (text[i] == '\n' || text[i] == '\r') {
            lines.push_back(cur);
            cur.clear();
        } else {
            cur += text[i];
        }
    }
    lines.push_back(cur);
    return lines;
}

}  // namespace

void HeadlessBackend::WhenShown(const std::string& formName, std::function<void(forms::Form&)> action) {
    whenShown_.push_back({formName, std::move(action)});
}

void HeadlessBackend::Always(const std::string& formName, std::function<void(forms::Form&)> action) {
    always_.push_back({formName, std::move(action)});
}

void HeadlessBackend::Key(forms::Form& form, int keyCode, int shift) { form.DispatchKeyDown(keyCode, shift); }

void HeadlessBackend::CloseBox(forms::Form& form) {
    forms::Application::Current().RequestClose(form, forms::UnloadMode::ControlMenu);
}

void HeadlessBackend::FormLoaded(forms::Form& form) { handles_[&form] = nextHandle_++; }

void HeadlessBackend::FormUnloaded(forms::Form& form) {
    transcript.push_back("unload " + form.Name());
    handles_.erase(&form);
    if (focused_ && &focused_->Parent() == &form) focused_ = nullptr;
}

void HeadlessBackend::ControlRemoved(forms::Control& control) {
    if (focused_ == &control) focused_ = nullptr;
}

void HeadlessBackend::ShowForm(forms::Form& form, bool modal, forms::Form* owner) {
    std::string line = "show " + form.Name() + (modal ? " modal" : "");
    if (owner) line += " owner=" + owner->Name();
    transcript.push_back(line);
    forms::Form* target = &form;
    auto queue = [&](std::function<void(forms::Form&)> action) {
        ready_.push_back([target, action] {
            if (target->Loaded()) action(*target);
        });
    };
    for (auto it = whenShown_.begin(); it != whenShown_.end(); ++it) {
        if (it->formName == form.Name()) {
            auto action = std::move(it->action);
            whenShown_.erase(it);
            queue(std::move(action));
            return;
        }
    }
    for (const Pending& p : always_)
        if (p.formName == form.Name()) queue(p.action);
}

void HeadlessBackend::HideForm(forms::Form& form) { transcript.push_back("hide " + form.Name()); }

void HeadlessBackend::Focus(forms::Control& control) {
    focusLog.push_back(control.Name() + (control.Index() >= 0 ? "(" + std::to_string(control.Index()) + ")" : ""));
    if (focused_ == &control) return;
    forms::Control* lost = focused_;
    focused_ = &control;
    // The control may be gone by the time the loop gets to its event.
    auto raise = [](forms::Control* c, std::function<void()> forms::Control::*event) {
        forms::Form* form = &c->Parent();
        const std::string name = c->Name();
        const int index = c->Index();
        forms::Application::Current().Post([form, c, name, index, event] {
            for (forms::Form* f : forms::Application::Current().LoadedForms()) {
                if (f != form || !f->Loaded() || f->Find(name, index) != c) continue;
                if (auto handler = c->*event) handler();
                return;
            }
        });
    };
    if (lost) raise(lost, &forms::Control::LostFocus);
    raise(&control, &forms::Control::GotFocus);
}

void HeadlessBackend::RemoveCloseMenuItems(forms::Form&) {}

uintptr_t HeadlessBackend::Handle(const forms::Form& form) {
    auto it = handles_.find(&form);
    return it == handles_.end() ? 0 : it->second;
}

forms::Size HeadlessBackend::MeasureText(const forms::Font& font, const std::string& text, bool wordWrap,
                                          double wrapWidth) {
    const double cw = charWidth(font);
    const double lh = lineHeight(font);
    double widest = 0;
    int lines = 0;
    for (const std::string& line : SplitLines(text)) {
        if (!wordWrap || forms::CharCount(line) * cw <= wrapWidth) {
            widest = std::max(widest, forms::CharCount(line) * cw);
            ++lines;
            continue;
        }
        // Breaks at blanks; a word longer than the width gets a line of its own.
        std::string cur;
        size_t pos = 0;
        while (pos <= line.size()) {
            size_t next = line.find(' ', pos);
            if (next == std::string::npos) next = line.size();
            const std::string word = line.substr(pos, next - pos);
            const std::string candidate = cur.empty() ? word : cur + " " + word;
            if (!cur.empty() && forms::CharCount(candidate) * cw > wrapWidth) {
                widest = std::max(widest, forms::CharCount(cur) * cw);
                ++lines;
                cur = word;
            } else {
                cur = candidate;
            }
            pos = next + 1;
        }
        widest = std::max(widest, forms::CharCount(cur) * cw);
        ++lines;
    }
    return {wordWrap ? std::min(widest, wrapWidth) : widest, lines * lh};
}

double HeadlessBackend::FontSizeTaken(const std::string& face, bool bold, double requested) {
    if (fontSizeRule) return fontSizeRule(face, bold, requested);
    const double pixels = std::round(requested * 96.0 / 72.0);
    return std::max(1.0, pixels) * 72.0 / 96.0;
}

forms::Size HeadlessBackend::InnerSize(const forms::Control& control) {
    // A 3D border takes two pixels on each side.
    const bool border = dynamic_cast<const forms::PictureBox*>(&control) &&
                        static_cast<const forms::PictureBox&>(control).Border;
    const double b = border ? 60 : 0;
    return {std::max(0.0, control.Width() - b), std::max(0.0, control.Height() - b)};
}

forms::Size HeadlessBackend::InnerSize(const forms::Form& form) {
    return {std::max(0.0, form.Width() - 90), std::max(0.0, form.Height() - 90 - 285)};
}

void HeadlessBackend::Pump(int64_t waitMs, platform::Clock& clock) {
    if (!ready_.empty()) {
        auto action = std::move(ready_.front());
        ready_.pop_front();
        action();
        return;
    }
    if (waitMs > 0) {
        clock.Sleep(static_cast<uint32_t>(std::min<int64_t>(waitMs, 0xFFFFFFFF)));
        return;
    }
    if (waitMs < 0) throw HeadlessStall("the program waits, but no timer runs and the script has nothing left to do");
}

int HeadlessBackend::SystemMessageBox(forms::Form*, const std::string& prompt, int style,
                                      const std::optional<std::string>& title) {
    int result = 1;
    if (!systemMessageBoxAnswers.empty()) {
        result = systemMessageBoxAnswers.front();
        systemMessageBoxAnswers.pop_front();
    }
    transcript.push_back("sysmsgbox " + std::to_string(style) + " '" + title.value_or("") + "': " + prompt + " -> " +
                         std::to_string(result));
    return result;
}

}  // namespace updexar::fakes
