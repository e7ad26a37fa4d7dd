// Facts about a pretend computer, all settable, and the profile (INI) reader working on the fake
// file system with the rules of the real one. EndProcess throws ProcessEnded instead of ending.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <optional>
#include <string>

#include "platform/filesystem.h"
#include "platform/system.h"

namespace updexar::fakes {

// Thrown where the real program would end. Deliberately not a std::exception, so handlers that
// catch those cannot swallow the end of the process.
struct ProcessEnded {
    uint32_t exitCode = 0;
};

class FakeSystem : public platform::System {
public:
    // Profile files are read through `files`.
    explicit FakeSystem(platform::FileSystem& files);

    // Set to a folder to play 64-bit Windows.
    std::string wow64SystemDirectory;
    // Names held by locks, also by "other processes" a test adds.
    std::set<std::string> heldLocks;
    std::string programPath = "C:\\Updexar\\UpdateG.exe";
    std::string commandLine;
    // Set when EndProcess was called, in case something swallowed ProcessEnded.
    std::optional<uint32_t> endedWith;
    // Called as the process ends, before ProcessEnded unwinds the stack: what Windows leaves
    // behind, since ending a process there runs no destructor.
    std::function<void()> atEnd;

    // Display size in pixels (also the screen metrics 0 and 1) and DPI (twips per pixel 1440/DPI).
    void SetDisplay(int width, int height, int dpi = 96);
    // A system metric; metrics never set are 0, as the real call answers for unknown indexes.
    void SetMetric(int index, int value) { metrics_[index] = value; }

    std::string SystemDirectory() override { return "C:\\WINDOWS\\system32"; }
    std::string WindowsDirectory() override { return "C:\\WINDOWS"; }
    std::string TempDirectory() override { return "C:\\TEMP\\"; }  // the system reports it with the backslash
    std::string AllUsersProfileDirectory() override { return "C:\\Documents and Settings\\All Users"; }
    std::string DefaultUserProfileDirectory() override { return "C:\\Documents and Settings\\Default User"; }
    std::string UserProfileDirectory() override { return "C:\\Documents and Settings\\Administrator"; }
    std::string CommonStartupFolder() override {
        return "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\StartUp";
    }
    std::string UserStartupFolder() override {
        return "C:\\Users\\Administrator\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\StartUp";
    }
    std::string Wow64SystemDirectory() override { return wow64SystemDirectory; }
    std::unique_ptr<platform::ExclusiveLock> TryExclusiveLock(const std::string& name) override;
    std::string ComputerName() override { return "WS01"; }
    // The long date as an English system with the default format writes it.
    std::string LongDate(const DateTime& when) override;
    bool IsWinNTPlatform() override { return true; }

    platform::ScreenSize DisplayModeSize() override { return display_; }
    int LogicalDpiX() override { return dpi_; }
    int TwipsPerPixelX() override { return 1440 / dpi_; }
    int TwipsPerPixelY() override { return 1440 / dpi_; }
    platform::ScreenSize ScreenSizeTwips() override {
        return {SystemMetric(0) * TwipsPerPixelX(), SystemMetric(1) * TwipsPerPixelY()};
    }
    int SystemMetric(int index) override { return metrics_.count(index) ? metrics_[index] : 0; }

    std::string ReadProfileString(const std::string& file, const std::string& section, const std::string& key,
                                  const std::string& fallback, uint32_t bufferChars = 255) override;

    std::string ProgramPath() override { return programPath; }
    std::string CommandLine() override { return commandLine; }
    [[noreturn]] void EndProcess(uint32_t exitCode) override;

private:
    platform::FileSystem& files_;
    platform::ScreenSize display_{1024, 768};
    int dpi_ = 96;
    std::map<int, int> metrics_;
};

}  // namespace updexar::fakes
