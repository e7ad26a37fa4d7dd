// The first window of the program. It never shows: it picks the product and the mode, fills the
// shared record, repairs the components the utility depends on, and opens the main window.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "forms/form.h"

namespace updexar {

// How the start finds out whether its own components work. The real ones always do (the file
// service and the controls are our own code); tests make them fail to exercise the repairs.
struct ComponentProbe {
    // True when the file-system service answers.
    std::function<bool()> fileSystemWorks = [] { return true; };
    // The error text of loading the hidden window that holds the TCP and grid controls; empty
    // when both load. A specific failure names "MSWINSCK" or "VSFLEX".
    std::function<std::optional<std::string>()> controlsLoadError = [] { return std::nullopt; };
};
ComponentProbe& StartupProbe();

// Opens the main window once the start is done; the main window's module installs it.
std::function<void()>& ShowMainWindowHook();

// The product letter of a program file: the last character of its name without extension.
char ProductLetterOfProgram(const std::string& programPath);
// True when the operating system is of the NT platform.
bool IsWinNTPlatform();

class frmcheckCOM : public forms::Form {
public:
    frmcheckCOM();
    void Form_Load() override;

private:
    void Start();
    void RepairFileSystem();
    void RepairControls();
    void RepairControl(const std::string& file, char mark, std::string& marks);
    void RunRegSvr32(const std::string& arguments);
};

}  // namespace updexar
