// Where the main window hands over to windows and procedures of other parts of the program:
// the update and wait windows, the server settings, the computer search, the user-name lookup,
// the running-applications check and the saved options and machine list. Each is a hook that
// its own module installs; until it does, the hand-over does nothing.
#pragma once

#include <functional>
#include <string>

namespace updexar {

class frmmain;

struct MainWindowHandoffs {
    // Closes running product programs and runs the local update.
    std::function<void()> updateSoftwareOnLocal;
    // Loads the progress window, calls its InitMe with the mode ("LOCAL" or "LAN") and shows it
    // modal, owned by the main window.
    std::function<void(const std::string& mode)> showUpdateWindow;
    // The wait window before an automatic update: InitMe("START", seconds), shown modal. It
    // sets the main window's cmdexit Tag to "O" when the update may go on.
    std::function<void(int seconds)> showWaitWindow;
    // The server-settings window in settings-only use, modal.
    std::function<void()> showServerSettings;
    // The computer search and the logged-on user lookup, modal.
    std::function<void()> showComputerSearch;
    std::function<void()> showUserNameLookup;
    // The options file and the saved machine list in the shared directory.
    std::function<void(frmmain&)> loadOptions;
    std::function<void(frmmain&)> saveOptions;
    // Returns how many machine rows it loaded.
    std::function<int(frmmain&)> loadMachineList;
    std::function<void(frmmain&)> saveMachineList;
};

MainWindowHandoffs& Handoffs();

}  // namespace updexar
