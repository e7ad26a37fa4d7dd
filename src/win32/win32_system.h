// Folders, names, display facts and the profile reader of this computer and process.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/system.h"

namespace updexar::win32 {

class Win32System : public platform::System {
public:
    std::string SystemDirectory() override;
    std::string WindowsDirectory() override;
    std::string TempDirectory() override;
    std::string AllUsersProfileDirectory() override;
    std::string DefaultUserProfileDirectory() override;
    std::string UserProfileDirectory() override;
    std::string CommonStartupFolder() override;
    std::string UserStartupFolder() override;
    std::string Wow64SystemDirectory() override;
    std::unique_ptr<platform::ExclusiveLock> TryExclusiveLock(const std::string& name) override;

    std::string ComputerName() override;
    std::string LongDate(const DateTime& when) override;
    bool IsWinNTPlatform() override;

    platform::ScreenSize DisplayModeSize() override;
    int LogicalDpiX() override;
    int TwipsPerPixelX() override;
    int TwipsPerPixelY() override;
    platform::ScreenSize ScreenSizeTwips() override;
    int SystemMetric(int index) override;

    std::string ReadProfileString(const std::string& file, const std::string& section, const std::string& key,
                                  const std::string& fallback, uint32_t bufferChars = 255) override;

    std::string ProgramPath() override;
    std::string CommandLine() override;
    [[noreturn]] void EndProcess(uint32_t exitCode) override;
};

// What follows the program name in a full process command line, without the blanks in between.
// The program name ends at the first blank outside double quotes, as the C runtime splits it;
// the rest stays as it was typed.
std::string ArgumentsAfterProgramName(std::string_view commandLine);

}  // namespace updexar::win32
