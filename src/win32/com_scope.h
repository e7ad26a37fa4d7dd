// COM initialised on this thread for a scope, for the shell dialogs and self-registering
// libraries that need it; a thread already in another apartment is left as it is.
#pragma once

#include <objbase.h>

namespace updexar::win32 {

class ComScope {
public:
    ComScope() : initialised_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
    ~ComScope() {
        if (initialised_) CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

private:
    bool initialised_;
};

}  // namespace updexar::win32
