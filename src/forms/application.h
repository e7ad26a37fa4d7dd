// The application object: the single instance of each window (made on first reference, released
// on unload), the event loop with its timers, and the backend and clock everything runs on.
// Everything here runs on the one user-interface thread; only Post may be called from others.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <typeindex>
#include <unordered_map>
#include <vector>

#include "forms/backend.h"
#include "forms/form.h"

namespace updexar::platform {
class Clock;
}

namespace updexar::forms {

class Application {
public:
    Application(Backend& backend, platform::Clock& clock);
    ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    // The installed application; there is one per process (tests install their own).
    static Application& Current();
    static bool HasCurrent();

    Backend& GetBackend() { return backend_; }
    platform::Clock& Clock() { return clock_; }
    // Caption of message boxes without a title of their own.
    std::string Title = "Updexar";

    // The window of class F: the loaded one, or a new one that is made and loaded now.
    template <class F>
    F& Get() {
        auto it = singles_.find(std::type_index(typeid(F)));
        if (it != singles_.end()) return static_cast<F&>(*it->second);
        auto made = std::make_unique<F>();
        F& ref = *made;
        singles_[std::type_index(typeid(F))] = std::move(made);
        Load(ref);
        return ref;
    }
    template <class F>
    bool IsLoaded() const {
        return singles_.count(std::type_index(typeid(F))) != 0;
    }
    // A fresh instance of F that is not the single one (each message box is its own).
    template <class F>
    F& New() {
        auto made = std::make_unique<F>();
        F& ref = *made;
        extras_.push_back(std::move(made));
        Load(ref);
        return ref;
    }

    // Asks the window whether it may close (QueryUnload, then Unload) and releases it.
    // False when one of its handlers cancelled.
    bool Unload(Form& form, UnloadMode mode = UnloadMode::FromCode);
    // A close request from outside the program (caption bar, system menu, shutdown).
    void RequestClose(Form& form, UnloadMode mode);
    void Show(Form& form, bool modal, Form* owner);
    void Hide(Form& form);
    // The window became the active window of the application (raises Activate once per change).
    void Activate(Form& form);
    Form* ActiveForm() const { return active_; }
    std::vector<Form*> LoadedForms() const;

    // Lets pending events run: native input, due timers, posted work.
    void DoEvents();
    // Runs events, waiting between them, until done() holds.
    void WaitUntil(const std::function<bool()>& done);
    // Queues work for the user-interface thread; callable from any thread.
    void Post(std::function<void()> work);

    void AddTimer(Timer* timer);
    void RemoveTimer(Timer* timer);
    // Milliseconds until the next timer is due (0 when overdue), -1 when none runs.
    int64_t NextTimerWait();

    // Releases unloaded windows whose handlers have all returned.
    void CollectUnloaded();

private:
    void Load(Form& form);
    void RunPosted();
    void FireDueTimers();
    Backend& backend_;
    platform::Clock& clock_;
    std::unordered_map<std::type_index, std::unique_ptr<Form>> singles_;
    std::vector<std::unique_ptr<Form>> extras_;
    std::vector<std::unique_ptr<Form>> unloaded_;
    std::vector<Timer*> timers_;
    std::mutex postedMutex_;
    std::vector<std::function<void()>> posted_;
    Form* active_ = nullptr;
    int depth_ = 0;
};

// Shorthands for the installed application.
inline void DoEvents() { Application::Current().DoEvents(); }
template <class F>
F& Window() {
    return Application::Current().Get<F>();
}
inline bool Unload(Form& form) { return Application::Current().Unload(form); }

}  // namespace updexar::forms
