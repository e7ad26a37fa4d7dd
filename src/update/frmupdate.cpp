#include "update/frmupdate.h"

#include <algorithm>
#include <cmath>

#include "core/config.h"
#include "core/shared_state.h"
#include "forms/application.h"
#include "ui/scaling.h"

namespace updexar {

UpdateSeams& UpdateHooks() {
    static UpdateSeams seams{
        [](forms::Form&) {
            Shared().SvrCheckOk = true;
            return true;
        },
        [](frmUpdate&) { return true; },
        nullptr,
    };
    return seams;
}

frmUpdate::frmUpdate()
    : Form("frmUpdate"),
      picPG(Add<forms::PictureBox>("picPG")),
      shpPG(Add<forms::Shape>("shpPG")),
      lblPG(Add<forms::Label>("lblPG")),
      cmdClose(Add<forms::CommandButton>("cmdClose")),
      tmrPoll(Add<forms::Timer>("tmrPoll")) {
    SetCaption(" Please Wait ...");
    ControlBox = false;
    Move(0, 0, 6150, 1905);
    lblPG.Move(180, 180, 5655, 255);
    picPG.Move(180, 540, 5655, 345);
    shpPG.SetContainer(&picPG);
    shpPG.Move(0, 0, 0, 285);
    shpPG.FillColor = 0x800000;
    cmdClose.SetCaption("&Close");
    cmdClose.Move(4620, 1020, 1215, 375);
    cmdClose.Click = [this] { cmdClose_Click(); };
}

void frmUpdate::InitMe(const std::string& mode) {
    lblPG.Tag = mode;
    cmdClose.SetVisible(false);
}

void frmUpdate::Form_Load() {
    lblPG.Tag.clear();
    lblPG.SetCaption("");
    picPG.Tag = "100";
    shpPG.Tag = "0";
    DrawProgress();
    ScaleForm(*this);
    CenterOnScreen(*this);
}

void frmUpdate::Form_Activate() {
    const std::string mode = lblPG.Tag;
    if (mode != "LOCAL" && mode != "LAN") return;
    // Cleared first: the window is activated again whenever a message box over it closes.
    lblPG.Tag.clear();
    if (mode == "LOCAL") Update(*this);
    else if (UpdateHooks().updateLAN) UpdateHooks().updateLAN(*this);
    if (Loaded()) forms::Unload(*this);
}

void frmUpdate::Form_QueryUnload(int& cancel, forms::UnloadMode mode) {
    // The run decides when the window goes; a close from outside would cut an update in half.
    if (mode != forms::UnloadMode::FromCode) cancel = 1;
}

void frmUpdate::cmdClose_Click() {
    if (cmdClose.Tag.empty()) cmdClose.Tag = "C";
}

void frmUpdate::DrawProgress() {
    const double value = Val(shpPG.Tag);
    const double maximum = Val(picPG.Tag);
    if (value <= 0 || maximum <= 0) {
        shpPG.SetVisible(false);
        return;
    }
    shpPG.Move(0, 0, std::min(1.0, value / maximum) * picPG.ScaleWidth(), picPG.ScaleHeight());
    shpPG.SetVisible(true);
    shpPG.Redraw();
}

void frmUpdate::SetProgress(int64_t value) {
    shpPG.Tag = std::to_string(value);
    DrawProgress();
}

void ShowUpdateWindow(const std::string& mode, forms::Form* owner) {
    frmUpdate& window = forms::Window<frmUpdate>();
    window.InitMe(mode);
    window.Show(true, owner);
}

}  // namespace updexar
