// The progress window of an update: the status text and the bar. Its first activation runs the
// update of this computer ("LOCAL") or the LAN run ("LAN"), then it closes itself.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "forms/form.h"

namespace updexar {

class frmUpdate : public forms::Form {
public:
    frmUpdate();
    forms::PictureBox& picPG;
    forms::Shape& shpPG;
    forms::Label& lblPG;
    forms::CommandButton& cmdClose;
    // Paces the LAN run's looks at the shared folder.
    forms::Timer& tmrPoll;

    // Mode "LOCAL" or "LAN"; the caller then shows the window modal.
    void InitMe(const std::string& mode);
    void Form_Load() override;
    void Form_Activate() override;
    void Form_QueryUnload(int& cancel, forms::UnloadMode mode) override;
    void cmdClose_Click();
    // The bar from the Tags: shpPG's value over picPG's maximum.
    void DrawProgress();
    // Sets the value and redraws.
    void SetProgress(int64_t value);
};

// What the update run hands to parts of the program that may not be there yet.
struct UpdateSeams {
    // The server check before an update, with the server-check window when it must talk to the
    // server. Sets SvrCheckOk; true when the update may go on. By default the server is local
    // and its checks pass.
    std::function<bool(forms::Form& owner)> checkServer;
    // Stores the update in the data directory; true when the update may go on here.
    std::function<bool(frmUpdate&)> copyUpdateToDataPath;
    // The LAN run behind the "LAN" mode.
    std::function<void(frmUpdate&)> updateLAN;
};
UpdateSeams& UpdateHooks();

// The update of this computer from the package in ProgramDir. Reports through message boxes, or
// the update log in an automatic run.
void Update(frmUpdate& window);

// Loads frmUpdate, InitMe(mode), shows it modal over owner.
void ShowUpdateWindow(const std::string& mode, forms::Form* owner);

}  // namespace updexar
