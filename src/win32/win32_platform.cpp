#include "win32/win32_platform.h"

#include <cstdlib>
#include <memory>

#include "win32/win32_ansi.h"
#include "win32/win32_com.h"
#include "win32/win32_database.h"
#include "win32/win32_filesystem.h"
#include "win32/win32_fonts.h"
#include "win32/win32_network.h"
#include "win32/win32_process.h"
#include "win32/win32_registry.h"
#include "win32/win32_services.h"
#include "win32/win32_shell.h"
#include "win32/win32_system.h"
#include "win32/win32_tcp.h"

namespace updexar::win32 {

platform::Platform& Win32Platform() {
    static Win32AnsiText text;
    static Win32Registry registry;
    static Win32FileSystem files(text);
    static Win32System system;
    static Win32Processes processes;
    static Win32ServiceControl services;
    static Win32ComRegistration com;
    static Win32Fonts fonts;
    static Win32Shell shell;
    static Win32Network network;
    static Win32TcpClient tcp;
    static Win32Database database;
    static platform::StdClock realClock;
    static std::unique_ptr<platform::ScaledClock> scaled;
    static platform::Platform p = [] {
        platform::Platform made;
        made.registry = &registry;
        made.files = &files;
        made.system = &system;
        made.processes = &processes;
        made.services = &services;
        made.com = &com;
        made.fonts = &fonts;
        made.shell = &shell;
        made.network = &network;
        made.tcp = &tcp;
        made.database = &database;
        made.text = &text;
        made.clock = &realClock;
        if (const char* s = std::getenv("UPDEXAR_TIME_SCALE")) {
            const double factor = std::atof(s);
            if (factor > 1.0) {
                scaled = std::make_unique<platform::ScaledClock>(realClock, factor);
                made.clock = scaled.get();
            }
        }
        return made;
    }();
    return p;
}

}  // namespace updexar::win32
