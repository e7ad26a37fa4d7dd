// Facts about this computer and this process: folders, names, display, profile files.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/datetime.h"

namespace updexar::platform {

struct ScreenSize {
    int width = 0;
    int height = 0;
};

// Held while it lives; another holder of the same name cannot take it, in this process or any
// other on the computer.
class ExclusiveLock {
public:
    virtual ~ExclusiveLock() = default;
};

class System {
public:
    virtual ~System() = default;

    // As the system reports them; callers remove a trailing backslash themselves.
    virtual std::string SystemDirectory() = 0;
    virtual std::string WindowsDirectory() = 0;
    virtual std::string TempDirectory() = 0;
    virtual std::string AllUsersProfileDirectory() = 0;
    virtual std::string DefaultUserProfileDirectory() = 0;
    virtual std::string UserProfileDirectory() = 0;
    // The Startup folders the shell names today: all users' and this user's (empty when unknown).
    // On current Windows the old profile paths to them are junctions that refuse a listing.
    virtual std::string CommonStartupFolder() = 0;
    virtual std::string UserStartupFolder() = 0;
    // Where the system folder really is for 64-bit programs such as the service manager, when
    // this 32-bit program runs on 64-bit Windows and sees SystemDirectory() redirected; empty on
    // 32-bit Windows.
    virtual std::string Wow64SystemDirectory() = 0;

    virtual std::string ComputerName() = 0;
    // The date in the user's long date format ("Sunday, 6 December 2026").
    virtual std::string LongDate(const DateTime& when) = 0;
    // Platform id 2 from the version query (with the 148-byte ANSI record); false when it fails.
    virtual bool IsWinNTPlatform() = 0;

    // Current display mode of the default display, in pixels; zeros when unknown.
    virtual ScreenSize DisplayModeSize() = 0;
    // Logical pixels per inch of the desktop, horizontally.
    virtual int LogicalDpiX() = 0;
    virtual int TwipsPerPixelX() = 0;
    virtual int TwipsPerPixelY() = 0;
    // Screen size in twips.
    virtual ScreenSize ScreenSizeTwips() = 0;
    // A system metric (SM_CYCAPTION = 4, SM_CYDLGFRAME = 8, ...), in pixels.
    virtual int SystemMetric(int index) = 0;

    // The profile (INI) reader: the value cut to what fits a buffer of bufferChars characters
    // (including the NUL), or fallback when the section or key is missing.
    virtual std::string ReadProfileString(const std::string& file, const std::string& section,
                                          const std::string& key, const std::string& fallback,
                                          uint32_t bufferChars = 255) = 0;

    // Null when another holder has the name.
    virtual std::unique_ptr<ExclusiveLock> TryExclusiveLock(const std::string& name) = 0;

    // The program's own file path and its command line without the program name.
    virtual std::string ProgramPath() = 0;
    virtual std::string CommandLine() = 0;
    // Ends the process at once: no window is closed, no further code of ours runs.
    [[noreturn]] virtual void EndProcess(uint32_t exitCode) = 0;
};

}  // namespace updexar::platform
