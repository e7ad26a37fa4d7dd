// COM self-registration by calling a library's own DllRegisterServer / DllUnregisterServer.
#pragma once

#include "platform/com.h"

namespace updexar::win32 {

class Win32ComRegistration : public platform::ComRegistration {
public:
    platform::SelfRegResult CallSelfRegistration(const std::string& libraryPath, bool registerServer) override;
};

}  // namespace updexar::win32
