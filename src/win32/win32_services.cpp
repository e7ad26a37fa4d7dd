#include "win32/win32_services.h"

#include <windows.h>
#include <winsvc.h>

#include <vector>

#include "win32/wide.h"

// The interface's method names collide with the SDK's A/W macros.
#undef CreateService
#undef OpenService

namespace updexar::win32 {
namespace {

// Owns one service-manager or service handle.
class ScHandle {
public:
    explicit ScHandle(SC_HANDLE h) : h_(h) {}
    ~ScHandle() {
        if (h_) CloseServiceHandle(h_);
    }
    ScHandle(const ScHandle&) = delete;
    ScHandle& operator=(const ScHandle&) = delete;
    SC_HANDLE get() const { return h_; }

private:
    SC_HANDLE h_;
};

// Calls query(buffer, size, &needed) until the buffer is large enough. The buffer is of DWORDs so
// the structures the system writes into it are aligned.
template <typename Query>
bool QueryGrowing(std::vector<DWORD>& buffer, DWORD initialBytes, Query query) {
    DWORD bytes = initialBytes;
    for (int attempt = 0; attempt < 8; ++attempt) {
        buffer.assign((bytes + sizeof(DWORD) - 1) / sizeof(DWORD), 0);
        DWORD needed = 0;
        if (query(reinterpret_cast<BYTE*>(buffer.data()), bytes, &needed)) return true;
        const DWORD error = GetLastError();
        if (error != ERROR_MORE_DATA && error != ERROR_INSUFFICIENT_BUFFER) return false;
        // An enumeration counts only what did not fit, and services may come and go between
        // calls: what we had, plus what was missing, plus some room.
        bytes += needed + 4096;
    }
    return false;
}

std::string TextOf(const wchar_t* s) { return s ? Narrow(s, wcslen(s)) : std::string(); }

class Win32Service : public platform::Service {
public:
    explicit Win32Service(SC_HANDLE h) : handle_(h) {}

    std::optional<std::string> ProgramPath() override {
        std::vector<DWORD> buffer;
        const bool ok = QueryGrowing(buffer, 512, [&](BYTE* data, DWORD size, DWORD* needed) {
            return QueryServiceConfigW(handle_.get(), reinterpret_cast<QUERY_SERVICE_CONFIGW*>(data), size,
                                       needed) != 0;
        });
        if (!ok) return std::nullopt;
        return TextOf(reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data())->lpBinaryPathName);
    }

    std::optional<uint32_t> State() override {
        SERVICE_STATUS status{};
        if (!QueryServiceStatus(handle_.get(), &status)) return std::nullopt;
        return status.dwCurrentState;
    }

    bool Stop() override {
        SERVICE_STATUS status{};
        return ControlService(handle_.get(), SERVICE_CONTROL_STOP, &status) != 0;
    }

    bool Start() override { return StartServiceW(handle_.get(), 0, nullptr) != 0; }

    bool Delete() override { return DeleteService(handle_.get()) != 0; }

private:
    ScHandle handle_;
};

class Win32ServiceManager : public platform::ServiceManager {
public:
    explicit Win32ServiceManager(SC_HANDLE h) : handle_(h) {}

    std::optional<std::vector<platform::ServiceEntry>> EnumerateAll() override {
        std::vector<DWORD> buffer;
        DWORD count = 0;
        auto enumerate = [&](DWORD types) {
            return QueryGrowing(buffer, 1024, [&](BYTE* data, DWORD size, DWORD* needed) {
                // Always from the start: a partial answer is thrown away and asked again in full.
                DWORD resume = 0;
                count = 0;
                return EnumServicesStatusExW(handle_.get(), SC_ENUM_PROCESS_INFO, types, SERVICE_STATE_ALL, data,
                                             size, needed, &count, &resume, nullptr) != 0;
            });
        };
        // Older systems refuse the newer type bits; Win32 and driver services are what matter.
        if (!enumerate(SERVICE_TYPE_ALL)) {
            if (GetLastError() != ERROR_INVALID_PARAMETER || !enumerate(SERVICE_WIN32 | SERVICE_DRIVER)) {
                return std::nullopt;
            }
        }
        std::vector<platform::ServiceEntry> out;
        const auto* entries = reinterpret_cast<const ENUM_SERVICE_STATUS_PROCESSW*>(buffer.data());
        out.reserve(count);
        for (DWORD i = 0; i < count; ++i) {
            platform::ServiceEntry e;
            e.name = TextOf(entries[i].lpServiceName);
            e.displayName = TextOf(entries[i].lpDisplayName);
            e.type = entries[i].ServiceStatusProcess.dwServiceType;
            e.state = entries[i].ServiceStatusProcess.dwCurrentState;
            e.processId = entries[i].ServiceStatusProcess.dwProcessId;
            out.push_back(std::move(e));
        }
        return out;
    }

    std::unique_ptr<platform::Service> OpenService(const std::string& name, bool fullAccess) override {
        const DWORD access = fullAccess ? SERVICE_ALL_ACCESS
                                        : SERVICE_QUERY_CONFIG | SERVICE_QUERY_STATUS | SERVICE_ENUMERATE_DEPENDENTS |
                                              SERVICE_INTERROGATE | READ_CONTROL;
        SC_HANDLE h = OpenServiceW(handle_.get(), Wide(name).c_str(), access);
        if (!h) return nullptr;
        return std::make_unique<Win32Service>(h);
    }

    std::unique_ptr<platform::Service> CreateService(const platform::NewService& service) override {
        const std::wstring name = Wide(service.name);
        const std::wstring display = Wide(service.displayName);
        const std::wstring program = Wide(service.programPath);
        SC_HANDLE h = CreateServiceW(handle_.get(), name.c_str(), display.c_str(), SERVICE_ALL_ACCESS,
                                     SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START, SERVICE_ERROR_NORMAL,
                                     program.c_str(), nullptr, nullptr, nullptr, L"LocalSystem", L"");
        if (!h) return nullptr;
        return std::make_unique<Win32Service>(h);
    }

private:
    ScHandle handle_;
};

}  // namespace

std::unique_ptr<platform::ServiceManager> Win32ServiceControl::OpenManager(bool fullAccess) {
    const DWORD access = fullAccess ? SC_MANAGER_ALL_ACCESS
                                    : SC_MANAGER_CONNECT | SC_MANAGER_ENUMERATE_SERVICE | SC_MANAGER_CREATE_SERVICE;
    SC_HANDLE h = OpenSCManagerW(nullptr, SERVICES_ACTIVE_DATABASEW, access);
    if (!h) return nullptr;
    return std::make_unique<Win32ServiceManager>(h);
}

}  // namespace updexar::win32
