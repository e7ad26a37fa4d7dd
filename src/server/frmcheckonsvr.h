// The server settings and the check of the data directory before an update: the directory must
// exist, be the product's own and be writable, and where the server is another computer, its VEK
// service must see the very same directory. The same window lets the user correct the settings.
#pragma once

#include <string>

#include "forms/form.h"
#include "forms/winsock.h"
#include "server/vek_protocol.h"

namespace updexar {

class frmCheckOnSvr : public forms::Form {
public:
    frmCheckOnSvr();
    forms::Frame& famMain;
    forms::Label& lblDataDir;
    forms::TextBox& txtDataDir;
    forms::CommandButton& cmdDataDir;
    forms::Label& lblSvr;
    forms::TextBox& txtSvr;
    forms::Label& lblPort;
    forms::TextBox& txtPort;
    forms::CheckBox& chkThinCl;
    forms::CommandButton& cmdsubmit;
    forms::CommandButton& cmdcancel;
    forms::Label& lblProg;
    forms::Timer& Timer1;
    forms::Winsock& Winsock1;

    // Fills the settings; unless settingsOnly, runs the checks and, for a server elsewhere,
    // starts the conversation with its service. ok: every check here passed.
    void InitMe(bool settingsOnly, bool& ok);

    void Form_Load() override;
    void Form_KeyDown(int& keyCode, int shift) override;
    void Form_Unload(int& cancel) override;
    void cmdsubmit_Click();
    void cmdcancel_Click();
    void cmdDataDir_Click();
    void Timer1_Timer();
    void Winsock1_Connect();
    void Winsock1_DataArrival(long bytesTotal);
    void Winsock1_Error(int number, const std::string& description);
    void Winsock1_Close();

private:
    // The three checks of the data directory; the first failure is told and ends them.
    bool CheckDataDir(bool messagesOnly);
    // Interactive: a box; automatic: the log line, and the run ends.
    void Refuse(const std::string& text, bool messagesOnly = false);
    void StartServiceCheck();
    void ShowSettings();
    void DeleteTestFile();
    void Decide(const std::string& state);

    // The test file named in the data directory for this check, deleted on unload.
    std::string testFile_;
    std::string machineKey_;
    vek::AnswerReader answer_;
};

// The settings face over the main window (its data-directory button), and the check before an
// update (the update run's server step).
void InstallServerCheck();

}  // namespace updexar
