#include "fakes/headless_backend.h"

#include "platform/strings.h"

namespace updexar::fakes {

void HeadlessBackend::ShowForm(forms::Form& form, bool modal, forms::Form* owner) {
    transcript.push_back("show " + form.Name() + (modal ? " modal" : "") + (owner ? " owner=" + owner->Name() : ""));
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
            return queue(std::move(action));
        }
    }
    for (const Pending& p : always_)
        if (p.formName == form.Name()) queue(p.action);
}

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

void HeadlessBackend::Pump(int64_t waitMs, platform::Clock& clock) {
    if (!ready_.empty()) {
        auto action = std::move(ready_.front());
        ready_.pop_front();
        action();
    } else if (waitMs > 0) {
        clock.Sleep(static_cast<uint32_t>(std::min<int64_t>(waitMs, 0xFFFFFFFF)));
    } else if (waitMs < 0) {
        throw std::runtime_error("the program waits, but no timer runs and the script has nothing left to do");
    }
}

int HeadlessBackend::SystemMessageBox(forms::Form*, const std::string& prompt, int style,
                                      const std::optional<std::string>& title) {
    const int result = systemMessageBoxAnswers.empty() ? 1 : systemMessageBoxAnswers.front();
    if (!systemMessageBoxAnswers.empty()) systemMessageBoxAnswers.pop_front();
    transcript.push_back("sysmsgbox " + std::to_string(style) + " '" + title.value_or("") + "': " + prompt + " -> " +
                         std::to_string(result));
    return result;
}

// Lines break at blanks; a word longer than the width gets a line of its own.
forms::Size HeadlessBackend::MeasureText(const forms::Font& font, const std::string& text, bool wordWrap,
                                          double wrapWidth) {
    const double cw = font.Points() * 10.0;
    std::string flat = text;  // every kind of line end as one LF
    for (size_t at; (at = flat.find("\r\n")) != std::string::npos;) flat.erase(at, 1);
    std::replace(flat.begin(), flat.end(), '\r', '\n');
    double widest = 0;
    int lines = 0;
    for (const std::string& line : Split(flat, "\n")) {
        const bool fits = !wordWrap || forms::CharCount(line) * cw <= wrapWidth;
        std::string cur;
        for (const std::string& word : fits ? std::vector<std::string>{line} : Split(line, " ")) {
            const std::string candidate = cur.empty() ? word : cur + " " + word;
            if (cur.empty() || forms::CharCount(candidate) * cw <= wrapWidth) {
                cur = candidate;
                continue;
            }
            widest = std::max(widest, forms::CharCount(cur) * cw);
            ++lines;
            cur = word;
        }
        widest = std::max(widest, forms::CharCount(cur) * cw);
        ++lines;
    }
    return {wordWrap ? std::min(widest, wrapWidth) : widest, lines * std::round(font.Points() * 24.0)};
}

}  // namespace updexar::fakes
