// The contract tests against the real Windows implementations. Every test gets its own empty
// folder under the temporary directory and its own key under HKCU "Software\UpdexarTest"; the
// previous test's are removed when the next test asks, the last one's at exit.
#include <windows.h>
// Before any platform header: it takes CopyFile/DeleteFile back from <windows.h>.
#include "win32/win32_filesystem.h"

#include <gtest/gtest.h>

#include <string>

#include "contract/contract_env.h"
#include "win32/wide.h"
#include "win32/win32_ansi.h"
#include "win32/win32_registry.h"
#include "win32/win32_system.h"

namespace updexar::contract {
namespace {

const wchar_t kKeyParent[] = L"Software\\UpdexarTest";

class Scratch {
public:
    Scratch() : files_(text_) {
        env_.files = &files_;
        env_.registry = &registry_;
        env_.text = &text_;
        env_.system = &system_;
    }
    ~Scratch() { Remove(); }

    ContractEnv& ForCurrentTest() {
        const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
        if (env_.scratchFolder.empty() || test != owner_) {
            Remove();
            Make();
            owner_ = test;
        }
        return env_;
    }

private:
    void Make() {
        ++serial_;
        const std::string unique = std::to_string(GetCurrentProcessId()) + "-" + std::to_string(GetTickCount()) +
                                   "-" + std::to_string(serial_);
        wchar_t temp[MAX_PATH + 1];
        const DWORD n = GetTempPathW(MAX_PATH + 1, temp);
        std::string folder = win32::Narrow(temp, n);
        if (!folder.empty() && folder.back() == '\\') folder.pop_back();
        folder += "\\updexar-test-" + unique;
        CreateDirectoryW(win32::Wide(folder).c_str(), nullptr);
        env_.scratchFolder = folder;

        env_.scratchKey = win32::Narrow(kKeyParent) + "\\" + unique;
        registry_.Create(platform::RegRoot::CurrentUser, env_.scratchKey);
    }

    void Remove() {
        try {
            if (!env_.scratchFolder.empty()) files_.DeleteFolder(env_.scratchFolder, true);
        } catch (const std::exception&) {
            // Left behind in the temporary directory; nothing depends on it.
        }
        if (!env_.scratchKey.empty()) RegDeleteTreeW(HKEY_CURRENT_USER, win32::Wide(env_.scratchKey).c_str());
        RegDeleteKeyW(HKEY_CURRENT_USER, kKeyParent);  // only goes when empty
        env_.scratchFolder.clear();
        env_.scratchKey.clear();
    }

    win32::Win32AnsiText text_;
    win32::Win32FileSystem files_;
    win32::Win32Registry registry_;
    win32::Win32System system_;
    ContractEnv env_;
    const testing::TestInfo* owner_ = nullptr;
    int serial_ = 0;
};

}  // namespace

ContractEnv& Env() {
    static Scratch scratch;
    return scratch.ForCurrentTest();
}

}  // namespace updexar::contract
