#include <gtest/gtest.h>

#include "mainwindow/frmmain.h"
#include "mainwindow/handoffs.h"
#include "core/config.h"
#include "core/exit_codes.h"
#include "ui_fixture.h"

using namespace updexar;

namespace {

constexpr auto HKLM = platform::RegRoot::LocalMachine;
const std::string kAuto = "AUTOUPD-Galvano:" + uitest::UiFixture::kSharePkg + ":3:Log1";

struct Main : uitest::UiFixture {
    std::vector<std::string> calls;
    int machinesToLoad = 0;
    explicit Main(const std::string& key = "Galvano", const std::string& commandLine = "") {
        OnShare(key, false);
        system.commandLine = commandLine;
        Shared().ProgramDir = "C:\\Upd\\GalvanoUpd";
        WriteRegValue(HKLM, "Software\\VEKInfo\\Galvano", "InstallPath", RegKindText, "C:\\Apps\\Galvano\\");
        WriteRegValue(HKLM, "Software\\VEKInfo\\Galvano", "AppPath", RegKindText, "\\\\SERVER\\Data\\Galvano");
        MainWindowHandoffs& h = Handoffs() = MainWindowHandoffs{};
        h.updateSoftwareOnLocal = [this] { calls.push_back("local"); };
        h.showUpdateWindow = [this](const std::string& mode) { calls.push_back("update " + mode); };
        h.showWaitWindow = [this](int seconds) { calls.push_back("wait " + std::to_string(seconds)); };
        // While the list comes in, a click on Update or on the rows meets a closed door.
        h.loadMachineList = [this](frmmain& f) {
            const bool open = f.cmdUpdate.Enabled() || f.vs.Enabled() || f.cmdDelete.Enabled();
            calls.push_back(open ? "load list, open" : "load list");
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

// A machine row: name ticked or not, and its login.
void AddRow(frmmain& f, bool byName, const std::string& user, const std::string& password) {
    uitest::AddMachineRow(f.vs, "WS" + std::to_string(f.vs.Rows()), byName ? 1 : 2, "", 2, user, password);
}

// The LAN frame open on rows added by the test; the grid has the focus, as after a click.
struct GridWindow : Main {
    frmmain& f;
    forms::VSFlexGrid& vs;
    explicit GridWindow(std::initializer_list<bool> selected) : f(Window()), vs(f.vs) {
        f.chkUpdateOn1.SetValue(1);
        for (bool s : selected) AddRow(f, s, "user", "pw" + std::to_string(vs.Rows()));
        vs.SetFocus();
        forms::DoEvents();
    }
    // The user clicks a cell: the grid takes the focus first.
    void Click(int row, int col) {
        vs.SetFocus();
        vs.UserClickCell(row, col);
    }
};

}  // namespace

TEST(MainWindow, InteractiveLoadShowsThePathsAndStacksTheChosenFrames) {
    Main m;
    frmmain& f = m.Window();
    EXPECT_EQ(f.Caption() + "|" + f.txtInstDir.Text() + "|" + f.txtDataDir.Text(),
              "Updexar -> Galvano -> GalvanoUpd|C:\\Apps\\Galvano|\\\\SERVER\\Data\\Galvano");
    EXPECT_EQ(f.vs.Rows(), 1);
    EXPECT_FALSE(f.optCloseApp1.Visible());  // no warning time chosen yet
    // The chosen frames stack under their boxes, and the window holds them all.
    EXPECT_TRUE(f.famLocal.Visible() && !f.famLAN.Visible());
    EXPECT_TRUE(Below(f.chkUpdateOn0, f.famLocal) && Below(f.famLocal, f.chkUpdateOn1));
    EXPECT_TRUE(Below(f.chkUpdateOn1, f.cmdUpdate));
    EXPECT_GT(f.Height(), f.cmdUpdate.Top() + f.cmdUpdate.Height());
    const double closedHeight = f.Height();
    // Opening the LAN choice reads the saved list once.
    m.machinesToLoad = 2;
    f.chkUpdateOn1.SetValue(1);
    EXPECT_TRUE(f.famLAN.Visible() && Below(f.chkUpdateOn1, f.famLAN) && Below(f.famLAN, f.cmdUpdate));
    EXPECT_GT(f.Height(), closedHeight);
    EXPECT_EQ(f.vs.Rows(), 3);
    EXPECT_EQ(f.cboSaveUPL.Text(), "Yes");
    EXPECT_TRUE(f.cmdUpdate.Enabled() && f.vs.Enabled() && f.cmdDelete.Enabled() && f.chkUpdateOn0.Enabled());
    f.chkUpdateOn0.SetValue(0);
    f.chkUpdateOn1.SetValue(0);
    f.chkUpdateOn1.SetValue(1);
    EXPECT_EQ(std::count(m.calls.begin(), m.calls.end(), "load list"), 1);
    EXPECT_FALSE(f.famLocal.Visible());
    EXPECT_LT(f.chkUpdateOn1.Top(), f.famLocal.Top() + f.famLocal.Height()) << "the closed frame leaves no hole";
    EXPECT_TRUE(Below(f.chkUpdateOn0, f.chkUpdateOn1));
    f.cboCloseApp.SetListIndex(2);
    EXPECT_TRUE(f.optCloseApp0.Visible());
    // No product: no local frame; Xelmor has no settings button.
    Main none("O");
    EXPECT_EQ(none.Window().Caption() + "|" + none.Window().txtInstDir.Text(), "Updexar -> GalvanoUpd|");
    EXPECT_EQ(none.Window().chkUpdateOn0.Value(), 1);
    EXPECT_FALSE(none.Window().famLocal.Visible());
    Main x("Xelmor");
    EXPECT_FALSE(x.Window().cmdDataDir.Visible());
}

TEST(MainWindow, AutomaticModeTakesItsOptionsFromTheCommandLineAndStartsOnActivation) {
    Main m("Galvano", kAuto + ":2:1:Y");
    frmmain& f = m.Window();
    EXPECT_EQ(f.txtUpdDir.Text(), "\\\\SERVER\\share");
    EXPECT_EQ(ReadRegValue(HKLM, "Software\\VEKInfo", "SoftUpdPath", RegKindText, ""), "\\\\SERVER\\share");
    EXPECT_EQ(f.cboStartUpd.ListIndex() * 10 + f.cboCloseApp.ListIndex(), 21);
    EXPECT_TRUE(f.optCloseApp1.Value() && f.famLocal.Visible() && !f.chkUpdateOn0.Visible() && !f.lnSep1.Visible());
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

    // No wait starts at once; the wait window closed without "O" cancels. An option the run does not
    // understand ends it, naming the field: nobody would notice a run that waits for nothing.
    const struct {
        std::string options, calls, log;
        std::optional<uint32_t> exit;
    } starts[] = {
        {":0:0:N", "local;", "", {}},
        {":1:1:N", "wait 15;", "Error:Update:Cancelled", ExitCancelled},
        {"", "", "Error:Load:Start Wait missing in Command Line", ExitBadCommandLine},
        {":1:0", "", "Error:Load:Close Choice missing in Command Line", ExitBadCommandLine},
        {":-1:-1:N", "", "Error:Load:Invalid Start Wait [-1] in Command Line", ExitBadCommandLine},
        {":1:9:N", "", "Error:Load:Invalid Close Wait [9] in Command Line", ExitBadCommandLine},
        {":1:1:Q", "", "Error:Load:Invalid Close Choice [Q] in Command Line", ExitBadCommandLine},
        {":01:1:Y", "", "Error:Load:Invalid Start Wait [01] in Command Line", ExitBadCommandLine},
    };
    for (const auto& s : starts) {
        Main run("Galvano", kAuto + s.options);
        run.Ended([&] {
            frmmain& w = run.Window();
            EXPECT_TRUE(w.optCloseApp0.Value()) << s.options;  // "N"
            w.Show();
        });
        std::string calls;
        for (const std::string& call : run.calls) calls += call + ";";
        EXPECT_EQ(calls, s.calls) << s.options;
        EXPECT_EQ(run.Log(), s.log.empty() ? "" : "[START]\r\n" + s.log + "\r\n[END]\r\n") << s.options;
        EXPECT_EQ(run.system.endedWith, s.exit) << s.options;
    }
}

TEST(MainWindow, UpdateOnLanChecksEachChoiceInOrder) {
    Main m;
    frmmain& f = m.Window();
    // What the last message box said, and where the focus went.
    auto asked = [&] {
        const std::string& box = m.messages.back();
        return box.substr(box.find('|') + 1) + "|" + (m.backend.focusLog.empty() ? "" : m.backend.focusLog.back());
    };
    f.UpdateSoftwareOnLAN();
    EXPECT_EQ(asked(), "Please select atlease 1 LAN Machine to Update.|vs");
    AddRow(f, false, "", "");
    AddRow(f, true, "", "");
    AddRow(f, true, "", "");  // only the first selected row is asked about
    m.answers = {"&No"};
    f.UpdateSoftwareOnLAN();
    EXPECT_EQ(asked() + std::to_string(f.vs.Row()) + std::to_string(f.vs.Col()),
              "Do you want to connect without 'User Name'?|vs23");
    m.answers = {"&Yes", "&No"};
    f.UpdateSoftwareOnLAN();
    EXPECT_EQ(asked() + std::to_string(f.vs.Col()), "Do you want to connect without 'Password'?|vs4");
    f.vs.SetTextMatrix(2, 3, "admin");
    f.vs.SetTextMatrix(2, 4, "*");
    const std::string valid = "Please specify valid 'Shared Directory for Storing Updates'";
    const std::pair<std::string, std::string> dirs[] = {
        {"", "Please specify 'Shared Directory for Storing Updates'."},
        {"C:\\Share", valid + " for e.g. '\\\\Server\\VEKUpdate'."},
        {"\\\\SERVER\\my share", valid + " without containing any 'Space Character'."},
        {"\\\\SERVER\\nothing", "'Shared Directory for Storing Updates' [\\\\SERVER\\nothing] does not exist."},
    };
    for (const auto& [dir, message] : dirs) {
        f.txtUpdDir.SetText(dir);
        f.UpdateSoftwareOnLAN();
        EXPECT_EQ(asked(), message + "|txtUpdDir");
    }
    f.txtUpdDir.SetText("\\\\SERVER\\share");
    // Each option left unchosen is asked for in turn.
    for (auto [box, focus] : {std::pair{&f.cboSaveUPL, "|cboSaveUPL"}, {&f.cboStartUpd, "|cboStartUpd"},
                              {&f.cboCloseApp, "|cboCloseApp"}}) {
        f.UpdateSoftwareOnLAN();
        EXPECT_EQ(asked(), "Please select an option." + std::string(focus));
        box->SetListIndex(box == &f.cboSaveUPL ? 0 : 1);
    }
    f.UpdateSoftwareOnLAN();
    EXPECT_EQ(m.backend.focusLog.back(), "optCloseApp(0)");
    f.optCloseApp1.SetValue(true);
    // A package folder whose name cannot travel to the machines: refused before any folder,
    // setting or list is written.
    Shared().ProgramDir = "C:\\Upd\\Galvano Upd";
    f.vs.SetTextMatrix(2, 5, "x\"y");
    f.UpdateSoftwareOnLAN();
    EXPECT_NE(asked().find("[\\\\SERVER\\share\\VEK_Updates\\Galvano Upd] holds a blank"), std::string::npos);
    EXPECT_FALSE(m.files.FolderExists("\\\\SERVER\\share\\VEK_Updates\\Galvano Upd"));
    Shared().ProgramDir = "C:\\Upd\\GalvanoUpd";
    f.UpdateSoftwareOnLAN();
    EXPECT_EQ(m.messages.back(), "Updexar|The User Name or Password of LAN Machine [WS2] holds a double quote, "
                                 "which cannot be passed on. Change it.");
    EXPECT_EQ(f.vs.Row(), 2);
    EXPECT_EQ(m.calls, std::vector<std::string>{}) << "nothing written or started so far";
    f.vs.SetTextMatrix(2, 5, "");
    const size_t shown = m.messages.size();
    f.UpdateSoftwareOnLAN();
    EXPECT_EQ(m.messages.size(), shown);  // nothing more to ask
    EXPECT_EQ(Shared().LanUpdateDir, "\\\\SERVER\\share\\VEK_Updates\\GalvanoUpd");
    EXPECT_TRUE(m.files.FolderExists("\\\\SERVER\\share\\VEK_Updates\\GalvanoUpd"));
    EXPECT_EQ(ReadRegValue(HKLM, "Software\\VEKInfo", "SoftUpdPath", RegKindText, ""), "\\\\SERVER\\share");
    EXPECT_EQ(m.calls, (std::vector<std::string>{"save options", "save list", "update LAN"}));
    // A shared directory that is already the staging folder gets no second one.
    f.txtUpdDir.SetText("\\\\SERVER\\share\\vek_updates");
    f.UpdateSoftwareOnLAN();
    EXPECT_EQ(Shared().LanUpdateDir, "\\\\SERVER\\share\\vek_updates\\GalvanoUpd");
}

TEST(MainWindowGrid, BoxesNamesAndTheLoginsOfSelectedRowsAreEditedAndARowKeepsOneTickedBox) {
    GridWindow g({true, false, true});
    auto& vs = g.vs;
    // Fill writes the selected rows' passwords, masking each character.
    g.f.txtPass.SetText("\xC3\xA9t\xC3\xA9");  // three characters
    g.answers = {"&Yes"};
    g.f.cmdFill1.Press();
    EXPECT_EQ(vs.TextMatrix(1, 4) + "|" + vs.TextMatrix(1, 5), "***|\xC3\xA9t\xC3\xA9");
    EXPECT_EQ(vs.TextMatrix(2, 4) + "|" + vs.TextMatrix(2, 5), "***|pw2") << "an unselected row keeps its login";
    // A user name opens as soon as it becomes current, in a selected row only; nor does an
    // unselected row's password open, by click, double click or key.
    g.Click(1, 3);
    EXPECT_EQ(vs.Editing() ? vs.EditRow() : -1, 1);
    g.Click(2, 3);
    vs.UserKeyPress('x');
    EXPECT_FALSE(vs.Editing());
    g.Click(2, 4);
    g.Click(2, 4);
    vs.UserDoubleClickCell(2, 4);
    vs.UserKeyDown(forms::KeyF2, 0);
    EXPECT_FALSE(g.f.txtPassU.Visible() || vs.Editing());
    // Names and addresses are typed into in any row; status and the plain password never.
    g.Click(2, 1);
    vs.UserKeyPress('Q');
    vs.UserCommitEdit("QORPC-02");
    EXPECT_EQ(vs.TextMatrix(2, 1), "QORPC-02");
    for (int col : {5, 6}) {
        vs.Select(1, col);
        vs.EditCell();
        EXPECT_FALSE(vs.Editing()) << "column " << col;
    }
    vs.SetCellChecked(3, 1, forms::CheckNone);  // an address only: no name box
    vs.SetCellChecked(3, 2, forms::CheckTicked);
    vs.Select(1, 1);
    auto rows = [&] {
        std::string s;
        for (int r = 1; r <= 3; ++r) s += std::to_string(vs.CellChecked(r, 1)) + std::to_string(vs.CellChecked(r, 2));
        return s;
    };
    const std::pair<std::pair<int, int>, std::string> toggles[] = {
        {{1, 2}, "212201"},  // the address cleared the name
        {{1, 1}, "122201"},  // the name cleared the address
        {{1, 1}, "222201"},  // unticking leaves the row unselected
        {{0, 2}, "212101"},  // the header box sets the column
        {{0, 1}, "121201"},  // a row without a name box keeps its address
        {{0, 1}, "222201"},  // the unticked header unticks the column only
    };
    for (const auto& [cell, after] : toggles) {
        vs.UserToggleCheck(cell.first, cell.second);
        EXPECT_EQ(rows(), after) << cell.first << "," << cell.second;
    }
    EXPECT_EQ(vs.Row(), 1) << "the header's boxes do not move the current cell";
    // Delete takes the current row and numbers the rest again; Clear takes them all.
    g.answers = {"&Yes", "&Yes"};
    g.f.cmdDelete.Press();
    EXPECT_EQ(vs.Rows(), 3);
    EXPECT_EQ(vs.TextMatrix(1, 0) + vs.TextMatrix(1, 5) + "|" + vs.TextMatrix(2, 0), "1pw2|2");
    g.f.cmdClear.Press();
    EXPECT_EQ(vs.Rows(), 1);
}

// The password box over a selected row: the arrows leave it at its edges (Shift selects inside
// it), Up and Down go to the rows around, Enter to the last column; what was typed stays, masked.
TEST(MainWindowGrid, ThePasswordBoxIsLeftAtItsEdgesAndKeepsWhatWasTyped) {
    GridWindow g({true, false, true});
    const int last = g.vs.Cols() - 1;  // the plain password's column is hidden
    const struct {
        int row, caret, key, shift, toRow, toCol;  // toRow 0: the box stays open
    } keys[] = {
        {1, 1, forms::KeyLeft, 0, 0, 0},   {1, 0, forms::KeyLeft, forms::ShiftKey, 0, 0},
        {1, 0, forms::KeyLeft, 0, 1, 3},   {1, 2, forms::KeyRight, 0, 0, 0},
        {1, 3, forms::KeyRight, 0, 1, last}, {1, 0, forms::KeyUp, 0, 0, 0},
        {1, 0, forms::KeyDown, 0, 2, 4},   {3, 3, forms::KeyDown, 0, 0, 0},
        {3, 3, forms::KeyUp, 0, 2, 4},     {3, 1, forms::KeyReturn, 0, 3, last},
    };
    for (const auto& k : keys) {
        g.vs.Select(k.row, 4);
        g.vs.EditCell();
        ASSERT_TRUE(g.f.txtPassU.Visible());
        g.f.txtPassU.SetText("abc");
        g.f.txtPassU.SetSelStart(k.caret);
        if (k.key == forms::KeyReturn) g.f.DispatchKeyPress(k.key);
        else fakes::HeadlessBackend::Key(g.f, k.key, k.shift);
        forms::DoEvents();
        const std::string where = std::to_string(k.row) + ":" + std::to_string(k.key) + "@" + std::to_string(k.caret);
        EXPECT_EQ(g.f.txtPassU.Visible(), k.toRow == 0) << where;
        if (k.toRow == 0) continue;
        EXPECT_EQ(g.vs.Row() * 10 + g.vs.Col(), k.toRow * 10 + k.toCol) << where;
        EXPECT_EQ(g.vs.TextMatrix(k.row, 4) + "|" + g.vs.TextMatrix(k.row, 5), "***|abc") << where;
    }
}
