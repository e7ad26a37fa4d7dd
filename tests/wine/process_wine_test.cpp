#include <gtest/gtest.h>

#include <algorithm>

#include "platform/strings.h"
#include "system_wine_util.h"
#include "win32/win32_process.h"
#include "win32/win32_shell.h"

namespace updexar {
namespace {

using systest::Quoted;
using systest::WaitFor;

bool Listed(win32::Win32Processes& processes, uint32_t pid, std::string* exeName = nullptr) {
    for (const auto& entry : processes.Snapshot()) {
        if (entry.id == pid) {
            if (exeName) *exeName = entry.exeName;
            return true;
        }
    }
    return false;
}

TEST(ProcessesWine, StartedHiddenProgramIsListedAndCanBeTerminated) {
    win32::Win32Processes processes;
    const std::string folder = systest::MakeScratchFolder("proc");
    const std::string mark = folder + "\\started.txt";

    const uint32_t pid = processes.StartHidden(Quoted(systest::StandIn("dummy_program.exe")) + " " + Quoted(mark));
    ASSERT_NE(pid, 0u);
    ASSERT_TRUE(WaitFor([&] { return systest::ReadAll(mark).find("started " + std::to_string(pid)) == 0; }))
        << systest::ReadAll(mark);

    std::string exeName;
    ASSERT_TRUE(Listed(processes, pid, &exeName));
    EXPECT_TRUE(EqualsNoCase(PathFileName(exeName), "dummy_program.exe")) << exeName;
    // Our own process is in the snapshot too, so the list is not just the one we started.
    EXPECT_TRUE(Listed(processes, GetCurrentProcessId()));

    EXPECT_TRUE(processes.Terminate(pid, 0));
    EXPECT_TRUE(WaitFor([&] { return !Listed(processes, pid); }));
    EXPECT_FALSE(processes.Terminate(0x7FFFFFF0u, 0)) << "no such process";
    EXPECT_FALSE(processes.Terminate(0, 0));
}

TEST(ProcessesWine, WorkingDirectoryAndSelfEndingProgram) {
    win32::Win32Processes processes;
    const std::string folder = systest::MakeScratchFolder("cwd");
    // A relative file name lands in the working directory handed over; the program ends after 1 s.
    const uint32_t pid =
        processes.StartHidden(Quoted(systest::StandIn("dummy_program.exe")) + " 1 relative.txt", folder);
    ASSERT_NE(pid, 0u);
    EXPECT_TRUE(WaitFor([&] { return systest::FileExists(folder + "\\relative.txt"); }));
    EXPECT_TRUE(WaitFor([&] { return !Listed(processes, pid); }));
}

TEST(ProcessesWine, ProgramsThatCannotStartGiveZero) {
    win32::Win32Processes processes;
    EXPECT_EQ(processes.StartHidden(""), 0u);
    EXPECT_EQ(processes.StartHidden(Quoted(systest::ProgramFolder() + "\\no_such_program.exe") + " /x"), 0u);
    EXPECT_EQ(processes.StartHidden(Quoted(systest::StandIn("dummy_program.exe")), "C:\\no\\such\\folder"), 0u);
}

TEST(ShellWine, ExecuteStartsProgramsWithParametersAndRefusesMissingFiles) {
    win32::Win32Shell shell;
    const std::string folder = systest::MakeScratchFolder("shell");
    const std::string mark = folder + "\\executed.txt";
    // The recorder writes beside itself unless told otherwise; tell it through the environment the
    // started program inherits.
    wchar_t before[MAX_PATH] = {};
    const DWORD hadBefore = GetEnvironmentVariableW(L"UPDEXAR_RECORD", before, MAX_PATH);
    ASSERT_TRUE(SetEnvironmentVariableW(L"UPDEXAR_RECORD", win32::Wide(mark).c_str()));
    const bool started = shell.Execute("open", systest::StandIn("recorder.exe"), "/s \"a b\" /u", folder, 0);
    SetEnvironmentVariableW(L"UPDEXAR_RECORD", hadBefore > 0 && hadBefore < MAX_PATH ? before : nullptr);
    ASSERT_TRUE(started);
    ASSERT_TRUE(WaitFor([&] { return systest::ReadAll(mark).find("\r\n") != std::string::npos; }));
    EXPECT_NE(systest::ReadAll(mark).find("/s \"a b\" /u"), std::string::npos) << systest::ReadAll(mark);

    EXPECT_FALSE(shell.Execute("", folder + "\\missing.exe", "", "", 1));
    EXPECT_FALSE(shell.Execute("open", folder + "\\missing.txt", "", "", 1));
}

}  // namespace
}  // namespace updexar
