// The countdown window before an unattended update starts or closes the product's programs: the
// user at the machine may act at once or refuse; when the time is up the mode decides.
#pragma once

#include <string>

#include "forms/form.h"

namespace updexar {

class frmwait : public forms::Form {
public:
    frmwait();
    forms::CommandButton& cmdOk;
    forms::CommandButton& cmdcancel;
    forms::Label& lblAuto;
    forms::Timer& Timer1;

    // Mode "START", "CLOSE_UPDATE" or "NO_CLOSE_UPDATE"; the caller then shows it modal and reads
    // the main window's cmdexit Tag: "O" to go on, "C" not to.
    void InitMe(const std::string& mode, int seconds);
    void Form_Load() override;
    void Timer1_Timer();
    void cmdOk_Click();
    void cmdcancel_Click();

private:
    // The mode's choice when nobody answers.
    bool endsAsOk_ = false;
};

// InitMe(mode, seconds) and a modal show over the main window.
void ShowWaitWindow(const std::string& mode, int seconds);

}  // namespace updexar
