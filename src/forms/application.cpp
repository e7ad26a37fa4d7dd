#include "forms/application.h"

#include <algorithm>

#include "platform/clock.h"
#include "platform/errors.h"

namespace updexar::forms {
namespace {
Application* g_current = nullptr;
}

Application::Application(Backend& backend, platform::Clock& clock) : backend_(backend), clock_(clock) {
    g_current = this;
}

Application::~Application() {
    // Windows are released while the application is still current: their timers unhook themselves.
    for (auto& [type, form] : singles_)
        if (form->Loaded()) backend_.FormUnloaded(*form);
    for (auto& form : extras_)
        if (form->Loaded()) backend_.FormUnloaded(*form);
    singles_.clear();
    extras_.clear();
    unloaded_.clear();
    if (g_current == this) g_current = nullptr;
}

Application& Application::Current() {
    if (!g_current) throw RuntimeError(ErrObjectNotSet);
    return *g_current;
}

bool Application::HasCurrent() { return g_current != nullptr; }

void Application::Load(Form& form) {
    backend_.FormLoaded(form);
    form.MarkLoaded(true);
    // Timers enabled at design time start running with the load.
    for (Control* c : form.Controls())
        if (auto* t = dynamic_cast<Timer*>(c)) t->SetInterval(t->Interval());
    ++depth_;
    struct Leave {
        int& d;
        ~Leave() { --d; }
    } leave{depth_};
    form.Form_Load();
}

bool Application::Unload(Form& form, UnloadMode mode) {
    if (!form.Loaded()) return true;
    int cancel = 0;
    form.Form_QueryUnload(cancel, mode);
    if (cancel != 0) return false;
    form.Form_Unload(cancel);
    if (cancel != 0) return false;
    if (!form.Loaded()) return true;  // a handler unloaded it already

    for (Control* c : form.Controls())
        if (auto* t = dynamic_cast<Timer*>(c)) RemoveTimer(t);
    if (form.Modal()) backend_.EndModal(form);
    form.MarkVisible(false, false, nullptr);
    backend_.FormUnloaded(form);
    form.MarkLoaded(false);
    if (active_ == &form) active_ = nullptr;

    // The object lives on until its handlers have returned; a later reference makes a new one.
    for (auto it = singles_.begin(); it != singles_.end(); ++it) {
        if (it->second.get() == &form) {
            unloaded_.push_back(std::move(it->second));
            singles_.erase(it);
            return true;
        }
    }
    for (auto it = extras_.begin(); it != extras_.end(); ++it) {
        if (it->get() == &form) {
            unloaded_.push_back(std::move(*it));
            extras_.erase(it);
            return true;
        }
    }
    return true;
}

void Application::RequestClose(Form& form, UnloadMode mode) { Unload(form, mode); }

void Application::Show(Form& form, bool modal, Form* owner) {
    if (!form.Loaded()) Load(form);
    if (!form.Loaded()) return;  // Form_Load unloaded it
    if (modal && form.Visible() && !form.Modal()) throw RuntimeError(ErrFormAlreadyDisplayed);
    Form* before = active_;
    backend_.ShowForm(form, modal, owner);
    form.MarkVisible(true, modal, owner);
    Activate(form);
    if (!modal) return;

    WaitUntil([&form] { return !form.Loaded() || !form.Visible(); });
    if (form.Loaded()) {
        backend_.EndModal(form);
        form.MarkVisible(false, false, nullptr);
    }
    // Closing a modal window gives the activation back to the window under it.
    Form* back = owner ? owner : before;
    if (back && back != &form && back->Loaded() && back->Visible()) Activate(*back);
}

void Application::Hide(Form& form) {
    if (!form.Loaded() || !form.Visible()) return;
    backend_.HideForm(form);
    form.MarkVisible(false, form.Modal(), form.Owner());
    if (active_ == &form) active_ = nullptr;
}

void Application::Activate(Form& form) {
    if (active_ == &form) return;
    active_ = &form;
    ++depth_;
    struct Leave {
        int& d;
        ~Leave() { --d; }
    } leave{depth_};
    form.Form_Activate();
}

std::vector<Form*> Application::LoadedForms() const {
    std::vector<Form*> out;
    for (auto& [type, form] : singles_) out.push_back(form.get());
    for (auto& form : extras_) out.push_back(form.get());
    return out;
}

void Application::DoEvents() {
    backend_.Pump(0, clock_);
    RunPosted();
    FireDueTimers();
}

void Application::WaitUntil(const std::function<bool()>& done) {
    while (!done()) {
        RunPosted();
        FireDueTimers();
        if (done()) break;
        bool posted;
        {
            std::lock_guard<std::mutex> lock(postedMutex_);
            posted = !posted_.empty();
        }
        backend_.Pump(posted ? 0 : NextTimerWait(), clock_);
    }
}

void Application::Post(std::function<void()> work) {
    {
        std::lock_guard<std::mutex> lock(postedMutex_);
        posted_.push_back(std::move(work));
    }
    backend_.Wake();
}

void Application::RunPosted() {
    std::vector<std::function<void()>> batch;
    {
        std::lock_guard<std::mutex> lock(postedMutex_);
        batch.swap(posted_);
    }
    for (auto& work : batch) work();
}

void Application::AddTimer(Timer* timer) {
    if (std::find(timers_.begin(), timers_.end(), timer) == timers_.end()) timers_.push_back(timer);
}

void Application::RemoveTimer(Timer* timer) { timers_.erase(std::remove(timers_.begin(), timers_.end(), timer), timers_.end()); }

int64_t Application::NextTimerWait() {
    int64_t next = -1;
    for (Timer* t : timers_)
        if (t->DueAt() >= 0 && (next < 0 || t->DueAt() < next)) next = t->DueAt();
    if (next < 0) return -1;
    return std::max<int64_t>(0, next - clock_.MonotonicMs());
}

void Application::FireDueTimers() {
    const int64_t now = clock_.MonotonicMs();
    // A handler may stop or start timers; walk a copy and skip the ones gone meanwhile.
    const std::vector<Timer*> due = timers_;
    for (Timer* t : due) {
        if (std::find(timers_.begin(), timers_.end(), t) == timers_.end()) continue;
        if (t->DueAt() >= 0 && t->DueAt() <= now) t->Fire(now);
    }
}

void Application::CollectUnloaded() {
    if (depth_ == 0) unloaded_.clear();
}

}  // namespace updexar::forms
