#include "server/frmcheckonsvr.h"

#include "core/config.h"
#include "core/exit_codes.h"
#include "core/shared_state.h"
#include "core/update_log.h"
#include "forms/application.h"
#include "mainwindow/frmmain.h"
#include "mainwindow/handoffs.h"
#include "platform/errors.h"
#include "platform/platform.h"
#include "platform/strings.h"
#include "server/version_table.h"
#include "ui/msgbox.h"
#include "ui/placement.h"
#include "ui/scaling.h"
#include "update/frmupdate.h"

namespace updexar {
namespace {

constexpr auto HKLM = platform::RegRoot::LocalMachine;
constexpr auto HKCU = platform::RegRoot::CurrentUser;
const std::string kService = "Service [VEKSvrReg.Exe]";

std::string ProductKeyPath() { return "Software\\VEKInfo\\" + Shared().ProductKey; }


}  // namespace

frmCheckOnSvr::frmCheckOnSvr()
    : Form("frmCheckOnSvr"),
      famMain(Add<forms::Frame>("famMain")),
      lblDataDir(Add<forms::Label>("lblDataDir")),
      txtDataDir(Add<forms::TextBox>("txtDataDir")),
      cmdDataDir(Add<forms::CommandButton>("cmdDataDir")),
      lblSvr(Add<forms::Label>("lblSvr")),
      txtSvr(Add<forms::TextBox>("txtSvr")),
      lblPort(Add<forms::Label>("lblPort")),
      txtPort(Add<forms::TextBox>("txtPort")),
      chkThinCl(Add<forms::CheckBox>("chkThinCl")),
      cmdsubmit(Add<forms::CommandButton>("cmdsubmit")),
      cmdcancel(Add<forms::CommandButton>("cmdcancel")),
      lblProg(Add<forms::Label>("lblProg")),
      Timer1(Add<forms::Timer>("Timer1")),
      Winsock1(Add<forms::Winsock>("Winsock1")) {
    SetCaption(" Server Settings");
    KeyPreview = true;
    Move(0, 0, 7665, 2970);
    Placed(famMain, nullptr, 120, 60, 7335, 1755);
    Placed(lblDataDir, &famMain, 120, 300, 2280, 255).SetCaption("Software Data Directory");
    Placed(txtDataDir, &famMain, 2460, 255, 4200, 315);
    Placed(cmdDataDir, &famMain, 6720, 255, 480, 315).SetCaption("...");
    Placed(lblSvr, &famMain, 120, 720, 2280, 255).SetCaption("Server Name / IP Address");
    Placed(txtSvr, &famMain, 2460, 675, 2400, 315);
    Placed(chkThinCl, &famMain, 5040, 705, 2160, 255).SetCaption("Thin Client");
    Placed(lblPort, &famMain, 120, 1140, 2280, 255).SetCaption("Port (VEK Service)");
    Placed(txtPort, &famMain, 2460, 1095, 1200, 315);
    Placed(lblProg, nullptr, 240, 720, 7095, 255).SetCaption("Verifying Software Data Directory from Server ...");
    lblProg.SetAlignment(forms::Alignment::Center);
    lblProg.SetVisible(false);
    Placed(cmdsubmit, nullptr, 2160, 1980, 1575, 435).SetCaption("&Submit");
    Placed(cmdcancel, nullptr, 3930, 1980, 1575, 435).SetCaption("&Cancel");
    Timer1.SetInterval(30000);
    Timer1.SetEnabled(false);

    cmdsubmit.Click = [this] { cmdsubmit_Click(); };
    cmdcancel.Click = [this] { cmdcancel_Click(); };
    cmdDataDir.Click = [this] { cmdDataDir_Click(); };
    Timer1.Tick = [this] { Timer1_Timer(); };
    Winsock1.Connected = [this] { Winsock1_Connect(); };
    Winsock1.DataArrival = [this](long bytes) { Winsock1_DataArrival(bytes); };
    Winsock1.Error = [this](int number, const std::string& text) { Winsock1_Error(number, text); };
    Winsock1.PeerClosed = [this] { Winsock1_Close(); };
}

void frmCheckOnSvr::Form_Load() {
    ScaleForm(*this);
    CenterOnScreen(*this);
}

void frmCheckOnSvr::InitMe(bool settingsOnly, bool& ok) {
    ok = false;
    famMain.Tag = settingsOnly ? "Y" : "N";
    // A check asked again from the settings starts clean: the last one's file goes first.
    DeleteTestFile();
    testFile_.clear();
    Winsock1.Tag.clear();
    Timer1.SetEnabled(false);
    lblProg.SetVisible(false);
    famMain.SetVisible(true);
    cmdsubmit.SetCaption("&Submit");

    const std::string key = ProductKeyPath();
    std::string dir = ReadRegValue(HKLM, key, "AppPath", RegKindText, "");
    if (!dir.empty() && dir.back() == '\\') dir.pop_back();
    txtDataDir.SetText(dir);
    chkThinCl.SetValue(Val(ReadRegValue(HKCU, key, "ThinClient", RegKindText, "")) == 1 ? 1 : 0);
    const std::string server = ReadRegValue(chkThinCl.Value() == 1 ? HKCU : HKLM, key, "Server", RegKindText, "");
    txtSvr.SetText(server.empty() ? "localhost" : server);
    const long port = static_cast<long>(Val(ReadRegValue(HKLM, "Software\\VEKInfo", "SvrPort", RegKindText, "")));
    txtPort.SetText(port == 0 ? "7070" : std::to_string(port));
    if (settingsOnly) return;

    if (!CheckDataDir(false)) return;
    SharedState& s = Shared();
    const std::string name = ToUpper(txtSvr.Text());
    s.SvrIsRemote = name != ToUpper(Winsock1.LocalHostName()) && name != "LOCALHOST";
    if (!s.VerInfoTable.empty() && !s.SvrIsRemote) RepairVersionTable(txtSvr.Text());
    if (s.SvrIsRemote) StartServiceCheck();
    ok = true;
}

bool frmCheckOnSvr::CheckDataDir(bool messagesOnly) {
    const SharedState& s = Shared();
    platform::FileSystem& fs = *platform::Os().files;
    const std::string dir = txtDataDir.Text();
    if (!fs.FolderExists(dir)) {
        Refuse("Data Path [" + dir + "] not found", messagesOnly);
        return false;
    }
    if (!EndsWithNoCase(dir, "\\" + s.ProductDirName)) {
        Refuse("Data Path [" + dir + "] is not correct", messagesOnly);
        return false;
    }
    const std::string test = dir + "\\Test" + s.ProductCode + ".TXT";
    try {
        if (!fs.FileExists(test)) fs.WriteAllText(test, "");
        fs.DeleteFile(test);
    } catch (const RuntimeError&) {
        Refuse("Data Path [" + dir + "] is Write-Protected", messagesOnly);
        return false;
    }
    return true;
}

void frmCheckOnSvr::Refuse(const std::string& text, bool messagesOnly) {
    if (!messagesOnly && IsAutomaticMode()) {
        LogErrorLAN("Error:CheckOnSvr:" + text);
        EndAutomaticRun(ExitServerCheck);
    }
    ShowMessage(this, text + ".", MsgStyleInfo);
}

void frmCheckOnSvr::StartServiceCheck() {
    Winsock1.Tag.clear();
    famMain.SetVisible(false);
    cmdsubmit.SetCaption("&Settings");
    lblProg.SetVisible(true);
    if (Winsock1.State() != forms::SckClosed) Winsock1.Close();
    Timer1.SetEnabled(true);
    Winsock1.Tag = "W";
    try {
        Winsock1.Connect(txtSvr.Text(), static_cast<int>(Val(txtPort.Text())));
    } catch (const RuntimeError& e) {
        // A port out of range fails at once, as a socket error would.
        Winsock1_Error(e.Number(), e.Description());
    }
}

void frmCheckOnSvr::ShowSettings() {
    lblProg.SetVisible(false);
    famMain.SetVisible(true);
    cmdsubmit.SetCaption("&Submit");
    txtSvr.SetFocus();
}

void frmCheckOnSvr::DeleteTestFile() {
    if (testFile_.empty()) return;
    try {
        platform::FileSystem& fs = *platform::Os().files;
        if (fs.FileExists(testFile_)) fs.DeleteFile(testFile_);
    } catch (const RuntimeError&) {
    }
}

void frmCheckOnSvr::cmdsubmit_Click() {
    if (cmdsubmit.Caption() == "&Settings") {
        Winsock1.Tag.clear();
        Timer1.SetEnabled(false);
        Winsock1.Tag = "SET";
        Timer1_Timer();
        return;
    }
    if (!CheckDataDir(true)) {
        txtDataDir.SetFocus();
        return;
    }
    const std::string key = ProductKeyPath();
    if (!WriteRegValue(HKLM, key, "DefVal", RegKindText, "0")) {
        ShowMessage(this, "Run the Update Application with Administrative Privileges (Run as Administrator) and Change the Settings.",
                    MsgStyleInfo);
        cmdsubmit.SetFocus();
        return;
    }
    const bool thin = chkThinCl.Value() == 1;
    WriteRegValue(HKLM, key, "AppPath", RegKindText, txtDataDir.Text());
    WriteRegValue(HKCU, key, "ThinClient", RegKindText, thin ? "1" : "0");
    WriteRegValue(thin ? HKCU : HKLM, key, "Server", RegKindText, txtSvr.Text());
    WriteRegValue(HKLM, "Software\\VEKInfo", "SvrPort", RegKindText, std::to_string(static_cast<long>(Val(txtPort.Text()))));
    forms::Window<frmmain>().GetPaths();
    forms::Unload(*this);
}

void frmCheckOnSvr::cmdcancel_Click() {
    if (cmdsubmit.Caption() == "&Settings") {
        Winsock1.Tag.clear();
        Timer1.SetEnabled(false);
        Winsock1.Tag = "CANCEL";
        Timer1_Timer();
        return;
    }
    forms::Unload(*this);
}

void frmCheckOnSvr::Form_KeyDown(int& keyCode, int /*shift*/) {
    if (keyCode != forms::KeyEscape) return;
    keyCode = 0;
    cmdcancel_Click();
}

void frmCheckOnSvr::cmdDataDir_Click() {
    const std::string path = BrowseForDirectory(hWnd(), true, true);
    if (!path.empty()) txtDataDir.SetText(StripTrailingBackslash(path));
}

void frmCheckOnSvr::Form_Unload(int& /*cancel*/) {
    Winsock1.Tag.clear();
    Timer1.SetEnabled(false);
    if (Winsock1.State() != forms::SckClosed) Winsock1.Close();
    DeleteTestFile();
}

void frmCheckOnSvr::Winsock1_Connect() {
    if (Winsock1.Tag != "W") return;
    platform::Platform& os = platform::Os();
    DeleteTestFile();
    const std::string token = vek::MakeToken(os.clock->SecondsSinceMidnight());
    testFile_ = txtDataDir.Text() + "\\" + vek::TokenFileName(token);
    bool made = false;
    try {
        os.files->WriteAllText(testFile_, "Test\r\n");
        made = os.files->FileExists(testFile_);
    } catch (const RuntimeError&) {
    }
    if (!made) {
        Winsock1.Tag.clear();
        Timer1.SetEnabled(false);
        Winsock1.Tag = "NOTCREATE";
        Timer1_Timer();
        return;
    }
    Winsock1.Tag = "C";
    machineKey_ = vek::MachineKey(os.files->Drives());
    answer_.Reset(machineKey_, Shared().ProductCode);
    try {
        Winsock1.SendData(vek::BuildRequest(token, Shared().ProductCode, machineKey_));
    } catch (const RuntimeError& e) {
        Winsock1_Error(e.Number(), e.Description());
    }
}

void frmCheckOnSvr::Winsock1_DataArrival(long bytesTotal) {
    if (bytesTotal <= 0) return;
    std::string bytes;
    Winsock1.GetData(bytes);
    if (Winsock1.Tag != "C") return;  // nothing asked, or already decided
    Decide(answer_.Add(bytes));
}

void frmCheckOnSvr::Winsock1_Close() {
    if (Winsock1.Tag == "C") Decide(answer_.Closed());
}

void frmCheckOnSvr::Decide(const std::string& state) {
    if (state.empty()) return;  // the answer may still come
    Timer1.SetEnabled(false);
    Winsock1.Tag = state;
    Timer1_Timer();
}

void frmCheckOnSvr::Winsock1_Error(int number, const std::string& description) {
    if (Winsock1.Tag == "W" || Winsock1.Tag == "C") Winsock1.Tag = std::to_string(number) + " : " + description;
}

void frmCheckOnSvr::Timer1_Timer() {
    const std::string state = Winsock1.Tag;
    if (state.empty()) return;
    Winsock1.Tag.clear();
    Timer1.SetEnabled(false);
    const bool automatic = IsAutomaticMode();
    const std::string dir = txtDataDir.Text();
    bool unload = false;
    // The run ends here and the window is never unloaded: its test file would stay behind in
    // the shared data directory, one more with every failed run.
    auto endRun = [&](const std::string& line) {
        LogErrorLAN("Error:CheckOnSvr:" + line);
        DeleteTestFile();
        EndAutomaticRun(ExitServerCheck);
    };
    // Automatic: the line, and the run ends. Interactive: the box, then the settings.
    auto report = [&](const std::string& line, const std::string& box, int style) {
        if (automatic) endRun(line);
        ShowMessage(this, box, style);
    };
    if (state == "CANCEL") {
        unload = true;
    } else if (state == "SET") {
    } else if (state == "W" || state == "C") {
        const std::string question =
            state == "W" ? "Can't Connect to " + kService + ".\r\nPlease Check Following on Server Machine :\r\n - " + kService +
                               " is Running ?\r\n - " + kService +
                               " is not been blocked by Firewall or any Antivirus Software.\r\n - Same Port Used for e.g. 7070."
                               "\r\n\r\nDo you want to Retry?"
                         : "Connected to " + kService + " but Failed to Retrieve Data.\r\n\r\nDo you want to Retry?";
        if (automatic)
            endRun(state == "W" ? "Can't Connect to " + kService : "Connected to " + kService + " but Failed to Retrieve Data");
        if (ShowMessage(this, question, MsgStyleQuestion) == MsgYes) {
            // The same wait once more: the connection attempt or the answer may still come.
            Timer1.SetEnabled(true);
            Winsock1.Tag = state;
            return;
        }
    } else if (state == "NOTCREATE") {
        report("Could not Create Temporary File in Data Directory [" + dir + "]",
               "Could not Create Temporary File in Data Directory [" + dir + "].", MsgStyleInfo);
    } else if (state == "NOUPD") {
        report("Old Version of " + kService + " is running on Server",
               "Please Update the Software on Server First.\r\n\r\nOld Version of " + kService + " is running on Server.",
               MsgStyleInfo);
    } else if (state == "NOTEXIST") {
        report("Software Data Directory [" + dir + "] could not be verified from the server",
               "Software Data Directory [" + dir + "] could not be verified from the server.", MsgStyleInfo);
    } else if (state == "EXIST") {
        Shared().SvrCheckOk = true;
        unload = true;
    } else if (state == "-1") {
        report("Failed to Verify Software Data Directory [" + dir + "] from the server",
               "Failed to Verify Software Data Directory [" + dir + "] from the server.", MsgStyleInfo);
    } else {
        report("Error Occured while Connecting to " + kService + "-" + state,
               "Error Occured while Connecting to " + kService + " :\r\n\r\n" + state, MsgStyleOk);
    }
    if (Winsock1.State() != forms::SckClosed) Winsock1.Close();
    if (unload) forms::Unload(*this);
    else ShowSettings();
}

void InstallServerCheck() {
    Handoffs().showServerSettings = [] {
        frmCheckOnSvr& f = forms::Window<frmCheckOnSvr>();
        bool ok = false;
        f.InitMe(true, ok);
        f.Show(true, &forms::Window<frmmain>());
    };
    UpdateHooks().checkServer = [](forms::Form& owner) {
        SharedState& s = Shared();
        frmCheckOnSvr& f = forms::Window<frmCheckOnSvr>();
        bool ok = false;
        f.InitMe(false, ok);
        if (ok ? s.SvrIsRemote : !IsAutomaticMode()) {
            f.Show(true, &owner);
        } else {
            forms::Unload(f);
            if (ok) s.SvrCheckOk = true;
        }
        return s.SvrCheckOk;
    };
}

}  // namespace updexar
