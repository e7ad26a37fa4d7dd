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

struct Scratch {
    win32::Win32AnsiText text;
    win32::Win32FileSystem files{text};
    win32::Win32Registry registry;
    win32::Win32System system;
    ContractEnv env{&files, &registry, &text, &system, "", ""};
    const testing::TestInfo* owner = nullptr;
    int serial = 0;

    ~Scratch() { Remove(); }
    void Make() {
        const std::string unique = std::to_string(GetCurrentProcessId()) + "-" + std::to_string(GetTickCount()) + "-" +
                                   std::to_string(++serial);
        env.scratchFolder = system.TempDirectory() + "updexar-test-" + unique;
        files.CreateFolder(env.scratchFolder);
        env.scratchKey = win32::Narrow(kKeyParent) + "\\" + unique;
        registry.Create(platform::RegRoot::CurrentUser, env.scratchKey);
    }
    void Remove() {
        try {
            if (!env.scratchFolder.empty()) files.DeleteFolder(env.scratchFolder, true);
        } catch (const std::exception&) {
            // Left behind in the temporary directory; nothing depends on it.
        }
        if (!env.scratchKey.empty()) RegDeleteTreeW(HKEY_CURRENT_USER, win32::Wide(env.scratchKey).c_str());
        RegDeleteKeyW(HKEY_CURRENT_USER, kKeyParent);  // only goes when empty
        env.scratchFolder.clear();
        env.scratchKey.clear();
    }
};

}  // namespace

ContractEnv& Env() {
    static Scratch scratch;
    const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
    if (scratch.env.scratchFolder.empty() || test != scratch.owner) {
        scratch.Remove();
        scratch.Make();
        scratch.owner = test;
    }
    return scratch.env;
}

}  // namespace updexar::contract
