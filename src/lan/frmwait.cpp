#include "lan/frmwait.h"

#include "core/config.h"
#include "forms/application.h"
#include "mainwindow/frmmain.h"
#include "ui/scaling.h"

namespace updexar {

frmwait::frmwait()
    : Form("frmwait"),
      cmdOk(Add<forms::CommandButton>("cmdOk")),
      cmdcancel(Add<forms::CommandButton>("cmdcancel")),
      lblAuto(Add<forms::Label>("lblAuto")),
      Timer1(Add<forms::Timer>("Timer1")) {
    SetCaption(" Please Wait ...");
    ControlBox = false;
    Move(0, 0, 5400, 1905);
    lblAuto.Move(240, 240, 4815, 255);
    lblAuto.SetAlignment(forms::Alignment::Center);
    cmdOk.SetCaption("&Ok");
    cmdOk.Move(240, 840, 2355, 435);
    cmdcancel.SetCaption("&Cancel");
    cmdcancel.Move(2700, 840, 2355, 435);
    cmdcancel.Cancel = true;
    Timer1.SetInterval(1000);
    Timer1.SetEnabled(false);
    cmdOk.Click = [this] { cmdOk_Click(); };
    cmdcancel.Click = [this] { cmdcancel_Click(); };
    Timer1.Tick = [this] { Timer1_Timer(); };
}

void frmwait::Form_Load() {
    ScaleForm(*this);
    CenterOnScreen(*this);
}

void frmwait::InitMe(const std::string& mode, int seconds) {
    if (mode == "START") {
        cmdcancel.SetCaption("&Don't Update");
        cmdOk.SetCaption("&Update Now");
        cmdOk.Tag = "Update";
        endsAsOk_ = true;
    } else if (mode == "CLOSE_UPDATE" || mode == "NO_CLOSE_UPDATE") {
        cmdcancel.SetCaption("&Don't Close/Update");
        cmdOk.SetCaption("Close Apps / &Update Now");
        cmdOk.Tag = mode == "CLOSE_UPDATE" ? "Close Apps and Update" : "Cancel Update";
        endsAsOk_ = mode == "CLOSE_UPDATE";
    }
    Timer1.Tag = std::to_string(seconds);
    lblAuto.Tag = "0";
    lblAuto.SetCaption("Auto " + cmdOk.Tag + " in " + std::to_string(seconds) + " Second(s)");
    Timer1.SetEnabled(seconds > 0);
    lblAuto.SetVisible(seconds > 0);
}

void frmwait::Timer1_Timer() {
    if (Timer1.Tag.empty()) return;
    const int gone = static_cast<int>(Val(lblAuto.Tag)) + 1;
    lblAuto.Tag = std::to_string(gone);
    const int total = static_cast<int>(Val(Timer1.Tag));
    if (total <= gone) {
        Timer1.Tag.clear();
        Timer1.SetEnabled(false);
        lblAuto.SetVisible(false);
        if (endsAsOk_) cmdOk_Click();
        else cmdcancel_Click();
        return;
    }
    lblAuto.SetCaption("Auto " + cmdOk.Tag + " in " + std::to_string(total - gone) + " Seconds");
}

void frmwait::cmdOk_Click() {
    forms::Window<frmmain>().cmdexit.Tag = "O";
    forms::Unload(*this);
}

void frmwait::cmdcancel_Click() {
    forms::Window<frmmain>().cmdexit.Tag = "C";
    forms::Unload(*this);
}

void ShowWaitWindow(const std::string& mode, int seconds) {
    frmwait& w = forms::Window<frmwait>();
    w.InitMe(mode, seconds);
    w.Show(true, &forms::Window<frmmain>());
}

}  // namespace updexar
