#include <gtest/gtest.h>

#include "mainwindow/frmmain.h"
#include "mainwindow/handoffs.h"
#include "core/config.h"
#include "core/product_table.h"
#include "ui_fixture.h"

using namespace updexar;
using updexar::fakes::ProcessEnded;

namespace {

constexpr auto HKLM = platform::RegRoot::LocalMachine;

struct Main : uitest::UiFixture {
    std::vector<std::string> calls;
    int machinesToLoad = 0;

    explicit Main(const std::string& key = "Galvano", const std::string& commandLine = "") {
        AnswerMessages();
        SetProduct(key);
        Shared().ProgramDir = "C:\\Upd\\GalvanoUpd";
        system.commandLine = commandLine;
        files.AddShare("\\\\SERVER\\share");
        files.MakeFolders("\\\\SERVER\\share\\VEK_Updates\\Upd1\\Log1");
        WriteRegValue(HKLM, "Software\\VEKInfo\\Galvano", "InstallPath", RegKindText, "C:\\Apps\\Galvano\\");
        WriteRegValue(HKLM, "Software\\VEKInfo\\Galvano", "AppPath", RegKindText, "\\\\SERVER\\Data\\Galvano");
        MainWindowHandoffs& h = Handoffs();
        h = MainWindowHandoffs{};
        h.updateSoftwareOnLocal = [this] { calls.push_back("local"); };
        h.showUpdateWindow = [this](const std::string& mode) { calls.push_back("update " + mode); };
        h.showWaitWindow = [this](int seconds) { calls.push_back("wait " + std::to_string(seconds)); };
        h.loadMachineList = [this](frmmain& f) {
            calls.push_back("load list");
            for (int i = 0; i < machinesToLoad; ++i) f.vs.AddItem("");
            return machinesToLoad;
        };
        h.saveOptions = [this](frmmain&) { calls.push_back("save options"); };
        h.saveMachineList = [this](frmmain&) { calls.push_back("save list"); };
    }
    ~Main() { Handoffs() = MainWindowHandoffs{}; }
    frmmain& Window() { return forms::Window<frmmain>(); }
};

// b starts below a's bottom edge, with a gap.
template <class A, class B>
bool Below(const A& a, const B& b) {
    return b.Top() > a.Top() + a.Height();
}

// Adds a machine row: name ticked or not, and its login.
void AddRow(frmmain& f, bool byName, const std::string& user, const std::string& password) {
    f.vs.AddItem("");
    const int r = f.vs.Rows() - 1;
    f.vs.SetTextMatrix(r, 1, "WS" + std::to_string(r));
    f.vs.SetCellChecked(r, 1, byName ? 1 : 2);
    f.vs.SetCellChecked(r, 2, 2);
    f.vs.SetTextMatrix(r, 3, user);
    f.vs.SetTextMatrix(r, 4, std::string(password.size(), '*'));
    f.vs.SetTextMatrix(r, 5, password);
}

}  // namespace

TEST(MainWindow, InteractiveLoadShowsThePathsAndStacksTheChosenFrames) {
    Main m;
    frmmain& f = m.Window();
    EXPECT_EQ(f.Caption(), "Updexar -> Galvano -> GalvanoUpd");
    EXPECT_EQ(f.txtInstDir.Text(), "C:\\Apps\\Galvano");
    EXPECT_EQ(f.txtDataDir.Text(), "\\\\SERVER\\Data\\Galvano");
    EXPECT_EQ(f.vs.Rows(), 1);
    EXPECT_EQ(f.vs.TextMatrix(0, 6), "Status");
    EXPECT_EQ(f.vs.CellChecked(0, 1), 2);
    EXPECT_TRUE(f.vs.CellFontBold(0, 3));
    EXPECT_EQ(f.cboSaveUPL.ListIndex(), -1);
    EXPECT_FALSE(f.optCloseApp1.Visible());  // no warning time chosen yet

    // The chosen frames stack under their boxes, and the window holds them all.
    EXPECT_TRUE(f.famLocal.Visible());
    EXPECT_FALSE(f.famLAN.Visible());
    EXPECT_TRUE(Below(f.chkUpdateOn0, f.famLocal));
    EXPECT_TRUE(Below(f.famLocal, f.chkUpdateOn1));
    EXPECT_TRUE(Below(f.chkUpdateOn1, f.cmdUpdate));
    EXPECT_GT(f.Height(), f.cmdUpdate.Top() + f.cmdUpdate.Height());
    const double closedHeight = f.Height();

    // Opening the LAN choice reads the saved list once.
    m.machinesToLoad = 2;
    f.chkUpdateOn1.SetValue(1);
    EXPECT_TRUE(f.famLAN.Visible());
    EXPECT_TRUE(Below(f.chkUpdateOn1, f.famLAN));
    EXPECT_TRUE(Below(f.famLAN, f.cmdUpdate));
    EXPECT_GT(f.Height(), closedHeight);
    EXPECT_EQ(f.vs.Rows(), 3);
    EXPECT_EQ(f.cboSaveUPL.Text(), "Yes");
    f.chkUpdateOn0.SetValue(0);
    f.chkUpdateOn1.SetValue(0);
    f.chkUpdateOn1.SetValue(1);
    EXPECT_EQ(std::count(m.calls.begin(), m.calls.end(), "load list"), 1);
    EXPECT_FALSE(f.famLocal.Visible());
    EXPECT_LT(f.chkUpdateOn1.Top(), f.famLocal.Top() + f.famLocal.Height()) << "the closed frame leaves no hole";
    EXPECT_TRUE(Below(f.chkUpdateOn0, f.chkUpdateOn1));

    f.cboCloseApp.SetListIndex(2);
    EXPECT_TRUE(f.optCloseApp0.Visible());
}

TEST(MainWindow, NoProductHidesTheLocalFrameAndXelmorTheSettingsButton) {
    Main none("O");
    frmmain& f = none.Window();
    EXPECT_EQ(f.Caption(), "Updexar -> GalvanoUpd");
    EXPECT_EQ(f.chkUpdateOn0.Value(), 1);
    EXPECT_FALSE(f.famLocal.Visible());
    EXPECT_EQ(f.txtInstDir.Text(), "");

    Main x("Xelmor");
    EXPECT_FALSE(x.Window().cmdDataDir.Visible());
}

TEST(MainWindow, AutomaticModeTakesItsOptionsFromTheCommandLineAndStartsOnActivation) {
    Main m("Galvano", "AUTOUPD-Galvano:\\\\SERVER\\share\\VEK_Updates\\Upd1:3:Log1:2:1:Y");
    frmmain& f = m.Window();
    EXPECT_EQ(f.txtUpdDir.Text(), "\\\\SERVER\\share\\VEK_Updates");
    EXPECT_EQ(ReadRegValue(HKLM, "Software\\VEKInfo", "SoftUpdPath", RegKindText, ""), "\\\\SERVER\\share\\VEK_Updates");
    EXPECT_EQ(f.cboStartUpd.ListIndex(), 2);
    EXPECT_EQ(f.cboCloseApp.ListIndex(), 1);
    EXPECT_TRUE(f.optCloseApp1.Value());
    EXPECT_FALSE(f.chkUpdateOn0.Visible());
    EXPECT_FALSE(f.lnSep1.Visible());
    EXPECT_TRUE(f.famLocal.Visible());
    EXPECT_DOUBLE_EQ(f.famLocal.Top(), f.chkUpdateOn0.Top());  // in the hidden box's place
    EXPECT_EQ(f.cmdUpdate.Tag, "Y");

    // The wait window says go on: the local update runs.
    Handoffs().showWaitWindow = [&](int seconds) {
        m.calls.push_back("wait " + std::to_string(seconds));
        f.cmdexit.Tag = "O";
    };
    f.Show();
    EXPECT_EQ(m.calls, (std::vector<std::string>{"wait 30", "local"}));
    f.cmdUpdate_Click();  // the button does nothing in this mode
    EXPECT_EQ(m.calls.size(), 2u);
}

TEST(MainWindow, CancellingTheAutomaticStartLogsItAndEnds) {
    Main m("Galvano", "AUTOUPD-Galvano:\\\\SERVER\\share\\VEK_Updates\\Upd1:3:Log1:1:1:N");
    frmmain& f = m.Window();
    EXPECT_TRUE(f.optCloseApp0.Value());
    EXPECT_THROW(f.Show(), ProcessEnded);  // the wait window closed without "O"
    EXPECT_EQ(m.files.ReadAllText("\\\\SERVER\\share\\VEK_Updates\\Upd1\\Log1\\3.log"),
              "[START]\r\nError:Update:Cancelled\r\n[END]\r\n");

    // Wait time 0: activation does nothing.
    Main idle("Galvano", "AUTOUPD-Galvano:\\\\SERVER\\share\\VEK_Updates\\Upd1:3:Log1:0:0:N");
    idle.Window().Show();
    EXPECT_TRUE(idle.calls.empty());
}

TEST(MainWindow, UpdateOnLanChecksEachChoiceInOrder) {
    Main m;
    frmmain& f = m.Window();
    auto lastFocus = [&] { return m.backend.focusLog.empty() ? std::string() : m.backend.focusLog.back(); };
    auto lastMessage = [&] { return m.messages.back().substr(m.messages.back().find('|') + 1); };

    f.UpdateSoftwareOnLAN();
    EXPECT_EQ(lastMessage(), "Please select atlease 1 LAN Machine to Update.");
    EXPECT_EQ(lastFocus(), "vs");

    AddRow(f, false, "", "");
    AddRow(f, true, "", "");
    AddRow(f, true, "", "");  // only the first selected row is asked about
    m.answers = {"&No"};
    f.UpdateSoftwareOnLAN();
    EXPECT_EQ(lastMessage(), "Do you want to connect without 'User Name'?");
    EXPECT_EQ(f.vs.Row(), 2);
    EXPECT_EQ(f.vs.Col(), 3);
    m.answers = {"&Yes", "&No"};
    f.UpdateSoftwareOnLAN();
    EXPECT_EQ(lastMessage(), "Do you want to connect without 'Password'?");
    EXPECT_EQ(f.vs.Col(), 4);
    f.vs.SetTextMatrix(2, 3, "admin");
    f.vs.SetTextMatrix(2, 4, "*");

    const std::vector<std::pair<std::string, std::string>> dirs = {
        {"", "Please specify 'Shared Directory for Storing Updates'."},
        {"C:\\Share", "Please specify valid 'Shared Directory for Storing Updates' for e.g. '\\\\Server\\VEKUpdate'."},
        {"\\\\SERVER\\my share", "Please specify valid 'Shared Directory for Storing Updates' without containing any 'Space Character'."},
        {"\\\\SERVER\\nothing", "'Shared Directory for Storing Updates' [\\\\SERVER\\nothing] does not exist."},
    };
    for (const auto& [dir, message] : dirs) {
        f.txtUpdDir.SetText(dir);
        f.UpdateSoftwareOnLAN();
        EXPECT_EQ(lastMessage(), message);
        EXPECT_EQ(lastFocus(), "txtUpdDir");
    }

    f.txtUpdDir.SetText("\\\\SERVER\\share");
    f.UpdateSoftwareOnLAN();
    EXPECT_EQ(lastMessage(), "Please select an option.");
    EXPECT_EQ(lastFocus(), "cboSaveUPL");
    f.cboSaveUPL.SetListIndex(0);
    f.UpdateSoftwareOnLAN();
    EXPECT_EQ(lastFocus(), "cboStartUpd");
    f.cboStartUpd.SetListIndex(1);
    f.UpdateSoftwareOnLAN();
    EXPECT_EQ(lastFocus(), "cboCloseApp");
    f.cboCloseApp.SetListIndex(1);
    f.UpdateSoftwareOnLAN();
    EXPECT_EQ(lastFocus(), "optCloseApp(0)");
    EXPECT_TRUE(m.calls.empty() || m.calls.back() != "update LAN");

    f.optCloseApp1.SetValue(true);
    const size_t asked = m.messages.size();
    f.UpdateSoftwareOnLAN();
    EXPECT_EQ(m.messages.size(), asked);  // nothing more to ask
    EXPECT_EQ(Shared().LanUpdateDir, "\\\\SERVER\\share\\VEK_Updates\\GalvanoUpd");
    EXPECT_TRUE(m.files.FolderExists("\\\\SERVER\\share\\VEK_Updates\\GalvanoUpd"));
    EXPECT_EQ(ReadRegValue(HKLM, "Software\\VEKInfo", "SoftUpdPath", RegKindText, ""), "\\\\SERVER\\share");
    EXPECT_EQ(std::vector<std::string>(m.calls.end() - 3, m.calls.end()),
              (std::vector<std::string>{"save options", "save list", "update LAN"}));

    // A shared directory that is already the staging folder gets no second one.
    f.txtUpdDir.SetText("\\\\SERVER\\share\\vek_updates");
    f.UpdateSoftwareOnLAN();
    EXPECT_EQ(Shared().LanUpdateDir, "\\\\SERVER\\share\\vek_updates\\GalvanoUpd");
}
