// The computer search: machines for the LAN grid by name, by address, or every address of a
// range in the last part of a /24 network, each completed with the other half by name lookup.
#pragma once

#include <optional>
#include <string>

#include "forms/form.h"
#include "forms/winsock.h"

namespace updexar {

class frmmain;

class frmGetIPs : public forms::Form {
public:
    frmGetIPs();
    forms::Frame& famMain;
    forms::OptionButton& optAddIP0;
    forms::OptionButton& optAddIP1;
    forms::OptionButton& optAddIP2;
    forms::TextBox& txtNameIP;
    forms::TextBox& txtIP0;
    forms::TextBox& txtIP1;
    forms::TextBox& txtIP2;
    forms::TextBox& txtIP3;
    forms::TextBox& txtIP4;
    forms::Label& lblTo;
    forms::CommandButton& cmdOk;
    forms::CommandButton& cmdcancel;
    forms::Frame& famPg;
    forms::Label& lblPG;
    forms::CommandButton& cmdCancelPg;
    forms::Winsock& Winsock1;

    forms::OptionButton& optAddIP(int i) { return i == 0 ? optAddIP0 : i == 1 ? optAddIP1 : optAddIP2; }
    forms::TextBox& txtIP(int i);

    void Form_Load() override;
    void Form_KeyDown(int& keyCode, int shift) override;
    void optAddIP_Click(int index);
    void cmdOk_Click();
    void cmdcancel_Click();
    void cmdCancelPg_Click();

private:
    void SearchRange();
    void SearchOne(bool byName);
    // Waits for a lookup without holding the window; false when the user stopped the search.
    bool Await(const std::function<bool()>& ready);
};

// Dotted text to a byte each, four parts; leading zeros allowed.
bool IsValidIPAddress(const std::string& text);
std::string HostNameFromAddress(const std::string& address);
std::string AddressFromHostName(const std::string& name);
// Puts a machine found by name (address empty) or by address (name empty) into the grid, with
// the other half as `resolved` found it; this computer itself is left out.
void AddFoundMachine(frmmain& main, const std::string& name, const std::string& address, const std::string& resolved);

// Behind the main window's search button.
void InstallComputerSearch();

}  // namespace updexar
