// The logged-on user lookup: for every selected machine of the LAN grid, the account that is
// logged on there, found through the machine's remote registry.
#pragma once

#include <string>

#include "forms/form.h"
#include "forms/winsock.h"

namespace updexar {

class frmLoginNms : public forms::Form {
public:
    frmLoginNms();
    forms::Frame& famPg;
    forms::Label& lblPG;
    forms::CommandButton& cmdCancelPg;
    forms::Winsock& Winsock1;

    void Form_Load() override;
    void Form_Activate() override;
    void Form_KeyDown(int& keyCode, int shift) override;
    void cmdCancelPg_Click();
    void RetrieveUserNames();
};

// "domain\account" of the third account that resolves among the machine's loaded user hives;
// empty when the machine cannot be reached or fewer resolve.
std::string GetLoggedOnUser(const std::string& machine);

// Behind the main window's user-name button.
void InstallUserNameLookup();

}  // namespace updexar
