// COM self-registration through a library's own entry points.
#pragma once

#include <cstdint>
#include <string>

namespace updexar::platform {

enum class SelfRegOutcome {
    LoadFailed,    // the library could not be loaded
    NoEntryPoint,  // loaded, but it exports no DllRegisterServer / DllUnregisterServer
    Called,        // the entry point ran; see result
};

struct SelfRegResult {
    SelfRegOutcome outcome = SelfRegOutcome::LoadFailed;
    int32_t result = 0;  // the HRESULT the entry point returned; 0 is success
};

class ComRegistration {
public:
    virtual ~ComRegistration() = default;
    // Loads the library, calls DllRegisterServer (register) or DllUnregisterServer, frees it.
    virtual SelfRegResult CallSelfRegistration(const std::string& libraryPath, bool registerServer) = 0;
};

}  // namespace updexar::platform
