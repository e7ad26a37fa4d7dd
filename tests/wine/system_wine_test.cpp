// Facts about this Windows installation and process: folders, version, display and the command
// line. Profile files are the contract tests' (profile_contract.cpp).
#include <windows.h>
// Before any platform header: it takes CopyFile/DeleteFile back from <windows.h>.
#include "win32/win32_filesystem.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "platform/strings.h"
#include "win32/wide.h"
#include "win32/win32_ansi.h"
#include "win32/win32_system.h"

namespace updexar {
namespace {

bool RunningOnWine() {
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

class SystemWine : public testing::Test {
protected:
    win32::Win32System system_;
    win32::Win32AnsiText text_;
    win32::Win32FileSystem files_{text_};
};

TEST_F(SystemWine, FoldersAndNamesOfThisInstallation) {
    const std::pair<const char*, std::string> folders[] = {
        {"system", system_.SystemDirectory()},
        {"windows", system_.WindowsDirectory()},
        {"temp", system_.TempDirectory()},
        {"user", system_.UserProfileDirectory()},
    };
    for (const auto& [what, folder] : folders)
        EXPECT_TRUE(!folder.empty() && files_.FolderExists(folder)) << what << " [" << folder << "]";

    // Wine does not implement these two and says so; the caller then skips them.
    const std::string allUsers = system_.AllUsersProfileDirectory();
    const std::string defaultUser = system_.DefaultUserProfileDirectory();
    if (RunningOnWine()) {
        EXPECT_EQ("", allUsers);
        EXPECT_EQ("", defaultUser);
    } else {
        EXPECT_TRUE(files_.FolderExists(allUsers)) << allUsers;
        EXPECT_TRUE(StartsWithNoCase(defaultUser, "C:\\")) << defaultUser;
    }
    EXPECT_TRUE(StartsWithNoCase(system_.SystemDirectory(), system_.WindowsDirectory()));
    EXPECT_EQ('\\', system_.TempDirectory().back()) << "callers strip it themselves";

    EXPECT_TRUE(system_.IsWinNTPlatform());
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    ASSERT_TRUE(GetComputerNameW(name, &size));
    EXPECT_EQ(win32::Narrow(name, size), system_.ComputerName());

    const std::string program = system_.ProgramPath();
    EXPECT_TRUE(EndsWithNoCase(program, "platform_wine_tests.exe")) << program;
    EXPECT_TRUE(files_.FileExists(program));
}

// Twips follow from the DPI by the code's own sums; here only that the two ways of asking for
// the screen's size agree.
TEST_F(SystemWine, DisplayModeAndScreenMetricsAgree) {
    ASSERT_GT(system_.LogicalDpiX(), 0);
    const platform::ScreenSize mode = system_.DisplayModeSize();
    if (mode.width != 0) {
        EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), mode.width);
        EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), mode.height);
    }
}

TEST_F(SystemWine, CommandLineLosesOnlyTheProgramName) {
    using win32::ArgumentsAfterProgramName;
    EXPECT_EQ("AUTOUPD-Galvano:\\\\SRV\\Upd\\VEK_Updates\\Pkg:PC-07:Run 1:2:1:Y",
              ArgumentsAfterProgramName("\"C:\\Program Files\\Qor\\UpdateG.exe\" "
                                        "AUTOUPD-Galvano:\\\\SRV\\Upd\\VEK_Updates\\Pkg:PC-07:Run 1:2:1:Y"));
    EXPECT_EQ("a  \"b c\"  ", ArgumentsAfterProgramName("C:\\Qor\\UpdateG.exe   \t a  \"b c\"  "));
    EXPECT_EQ("", ArgumentsAfterProgramName("\"C:\\Program Files\\Qor\\UpdateG.exe\""));
    EXPECT_EQ("", ArgumentsAfterProgramName("UpdateG.exe   "));
    EXPECT_EQ("", ArgumentsAfterProgramName(""));
    // Quotes may open and close inside the program name; an unclosed one runs to the end.
    EXPECT_EQ("arg", ArgumentsAfterProgramName("\"C:\\Program Files\"\\Qor\\UpdateG.exe arg"));
    EXPECT_EQ("", ArgumentsAfterProgramName("\"C:\\Program Files\\UpdateG.exe arg"));
    EXPECT_EQ("x", ArgumentsAfterProgramName("UpdateG.exe\tx"));

    // This process: whatever it was started with, minus its own name.
    const std::string whole = win32::Narrow(std::wstring(GetCommandLineW()));
    const std::string rest = system_.CommandLine();
    EXPECT_TRUE(whole.size() >= rest.size() && whole.compare(whole.size() - rest.size(), rest.size(), rest) == 0);
    EXPECT_FALSE(ContainsNoCase(rest, "platform_wine_tests.exe"));
}

}  // namespace
}  // namespace updexar
