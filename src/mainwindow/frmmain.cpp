#include "mainwindow/frmmain.h"

#include <cstring>

#include <cmath>
#include <initializer_list>
#include <utility>
#include <vector>

#include "forms/application.h"
#include "mainwindow/handoffs.h"
#include "mainwindow/product_paths.h"
#include "platform/errors.h"
#include "platform/platform.h"
#include "platform/strings.h"
#include "core/config.h"
#include "core/product_table.h"
#include "startup/frmcheckcom.h"
#include "core/shared_state.h"
#include "core/update_log.h"
#include "ui/msgbox.h"
#include "ui/placement.h"
#include "ui/scaling.h"

namespace updexar {
namespace {

using namespace forms;

constexpr auto HKLM = platform::RegRoot::LocalMachine;
constexpr const char* kVekInfo = "Software\\VEKInfo";
constexpr const char* kWaitItems[] = {"(Wait Time)", "15 Seconds", "30 Seconds", "60 Seconds"};

// Grid columns and their design widths in twips; column 5 holds the plain password and is hidden.
struct Column {
    const char* header;
    double designWidth;
    double loadFraction;  // share of the grid's width at load; 0 keeps the design width
};
constexpr Column kColumns[] = {
    {"Sr. No.", 690, 0.06},   {"Computer Name", 1440, 0.14}, {"IP Address", 1200, 0.12},
    {"User Name", 1200, 0.18}, {"Password", 960, 0.12},      {"Password", 0, 0},
    {"Status", 960, 0},
};

void Place(Control& c, Control* container, double left, double top, double width, double height) {
    Placed(c, container, left, top, width, height);
}

template <class T>
T& Captioned(T& c, const std::string& caption) {
    c.SetCaption(caption);
    return c;
}

bool IsAutomatic() { return IsAutomaticMode(); }

}  // namespace

MainWindowHandoffs& Handoffs() {
    static MainWindowHandoffs handoffs;
    return handoffs;
}

std::string OptionRefusal(const std::vector<std::string>& fields) {
    static const struct {
        const char* name;
        const char* values;
    } kOptions[] = {{"Start Wait", "0123"}, {"Close Wait", "0123"}, {"Close Choice", "YN"}};
    for (size_t i = 0; i < 3; ++i) {
        const std::string name = kOptions[i].name;
        if (fields.size() <= 4 + i) return name + " missing in Command Line";
        const std::string& value = fields[4 + i];
        if (value.size() != 1 || !std::strchr(kOptions[i].values, value[0]))
            return "Invalid " + name + " [" + value + "] in Command Line";
    }
    return {};
}

int SecondsOfItem(const std::string& item) {
    const size_t blank = item.find(' ');
    return static_cast<int>(Val(item.substr(0, blank)));
}

frmmain::frmmain()
    : Form("frmmain"),
      chkUpdateOn0(Add<CheckBox>("chkUpdateOn", 0)),
      chkUpdateOn1(Add<CheckBox>("chkUpdateOn", 1)),
      famLocal(Add<Frame>("famLocal")),
      lblDataDir(Add<Label>("lblDataDir")),
      txtDataDir(Add<TextBox>("txtDataDir")),
      cmdDataDir(Add<CommandButton>("cmdDataDir")),
      lblInstDir(Add<Label>("lblInstDir")),
      txtInstDir(Add<TextBox>("txtInstDir")),
      cmdInstDir(Add<PictureBox>("cmdInstDir")),
      famLAN(Add<Frame>("famLAN")),
      vs(Add<VSFlexGrid>("vs")),
      cmdSearch(Add<CommandButton>("cmdSearch")),
      cmdGetLoginNms(Add<CommandButton>("cmdGetLoginNms")),
      cmdDelete(Add<CommandButton>("cmdDelete")),
      cmdClear(Add<CommandButton>("cmdClear")),
      lblUser(Add<Label>("lblUser")),
      txtUser(Add<TextBox>("txtUser")),
      cmdFill0(Add<CommandButton>("cmdFill", 0)),
      lblPass(Add<Label>("lblPass")),
      txtPass(Add<TextBox>("txtPass")),
      cmdFill1(Add<CommandButton>("cmdFill", 1)),
      txtPassU(Add<TextBox>("txtPassU")),
      lblUpdDir(Add<Label>("lblUpdDir")),
      txtUpdDir(Add<TextBox>("txtUpdDir")),
      cmdUpdDir(Add<PictureBox>("cmdUpdDir")),
      lblUpdDirNote(Add<Label>("lblUpdDirNote")),
      lblStartUpd(Add<Label>("lblStartUpd")),
      cboStartUpd(Add<ComboBox>("cboStartUpd")),
      lblHeadCloseApp(Add<Label>("lblHeadCloseApp")),
      lblCloseApp0(Add<Label>("lblCloseApp", 0)),
      cboCloseApp(Add<ComboBox>("cboCloseApp")),
      lblCloseApp1(Add<Label>("lblCloseApp", 1)),
      optCloseApp0(Add<OptionButton>("optCloseApp", 0)),
      optCloseApp1(Add<OptionButton>("optCloseApp", 1)),
      lblSaveUPL(Add<Label>("lblSaveUPL")),
      cboSaveUPL(Add<ComboBox>("cboSaveUPL")),
      lblNoteLAN(Add<Label>("lblNoteLAN")),
      lnSep0(Add<Line>("lnSep", 0)),
      lnSep1(Add<Line>("lnSep", 1)),
      cmdUpdate(Add<CommandButton>("cmdUpdate")),
      cmdexit(Add<CommandButton>("cmdexit")),
      txtfont(Add<TextBox>("txtfont")) {
    Design();
}

// Positions for an 800 x 600 screen; ScaleForm stretches them to the real one.
void frmmain::Design() {
    KeyPreview = true;
    Move(0, 0, 9300, 8985);
    Font book;
    book.name = "Book Antiqua";
    book.size = Font::FromPoints(8.25);
    for (Control* c : Controls())
        if (c->HasFont()) c->SetFont(book);
    Font note = book;
    note.name = "Times New Roman";
    lblNoteLAN.SetFont(note);

    Place(Captioned(chkUpdateOn0, "Update on Local Machine"), nullptr, 240, 120, 4200, 255);
    Place(famLocal, nullptr, 240, 435, 8760, 960);
    Place(Captioned(lblDataDir, "Software Data Directory"), &famLocal, 120, 270, 2280, 255);
    Place(txtDataDir, &famLocal, 2460, 210, 5640, 315);
    Place(Captioned(cmdDataDir, "..."), &famLocal, 8160, 210, 480, 315);
    Place(Captioned(lblInstDir, "Installation Directory"), &famLocal, 120, 630, 2280, 255);
    Place(txtInstDir, &famLocal, 2460, 570, 5640, 315);
    Place(cmdInstDir, &famLocal, 8160, 570, 480, 315);
    cmdInstDir.Picture = "folder";

    Place(Captioned(chkUpdateOn1, "Update on LAN Machines"), nullptr, 240, 1515, 4200, 255);
    Place(famLAN, nullptr, 240, 1830, 8760, 6060);
    Place(vs, &famLAN, 120, 240, 8520, 1335);
    // The widths set at load stay the least a column gets when it is sized to its contents.
    vs.AutoSizeGrowOnly = true;
    Place(Captioned(cmdSearch, "&Search"), &famLAN, 120, 1635, 1215, 330);
    Place(Captioned(cmdGetLoginNms, "&Get User Name"), &famLAN, 1395, 1635, 1575, 330);
    Place(Captioned(cmdDelete, "&Delete"), &famLAN, 3030, 1635, 1095, 330);
    Place(Captioned(cmdClear, "&Clear"), &famLAN, 4185, 1635, 1095, 330);
    Place(Captioned(lblUser, "Common/Admin:User Name"), &famLAN, 120, 2085, 2520, 255);
    Place(txtUser, &famLAN, 2700, 2025, 2400, 315);
    Place(Captioned(cmdFill0, "&Fill"), &famLAN, 5160, 2025, 855, 315);
    Place(Captioned(lblPass, "Common/Admin:Password"), &famLAN, 120, 2445, 2520, 255);
    Place(txtPass, &famLAN, 2700, 2385, 2400, 315);
    txtPass.SetPasswordChar('*');
    Place(Captioned(cmdFill1, "&Fill"), &famLAN, 5160, 2385, 855, 315);
    Place(txtPassU, &famLAN, 0, 0, 1000, 255);
    txtPassU.SetPasswordChar('*');
    // It lies inside a grid cell, which is its frame.
    txtPassU.SetBorderVisible(false);
    txtPassU.SetVisible(false);
    lnSep0.SetContainer(&famLAN);
    lnSep0.SetEnds(120, 2760, 8640, 2760);
    Place(Captioned(lblUpdDir, "Shared Directory for Copying Updates"), &famLAN, 120, 2880, 3300, 255);
    Place(txtUpdDir, &famLAN, 3480, 2820, 4620, 315);
    Place(cmdUpdDir, &famLAN, 8160, 2820, 480, 315);
    cmdUpdDir.Picture = "network";
    Place(Captioned(lblUpdDirNote, "(with Read/Write permissions to all the Users)"), &famLAN, 3480, 3165, 4620, 255);
    Place(Captioned(lblStartUpd, "Show wait window before update on LAN Machines for"), &famLAN, 120, 3525, 5160, 255);
    Place(cboStartUpd, &famLAN, 5340, 3465, 1800, 315);
    Place(Captioned(lblHeadCloseApp, "If any VEK Application is already running on Machine"), &famLAN, 120, 3885, 6000, 255);
    lblHeadCloseApp.SetFontBold(true);
    Place(Captioned(lblCloseApp0, "Show warning message and wait for"), &famLAN, 360, 4245, 4920, 255);
    Place(cboCloseApp, &famLAN, 5340, 4185, 1800, 315);
    Place(Captioned(lblCloseApp1, "If no response in time, Close Applications & Update"), &famLAN, 360, 4605, 4920, 255);
    Place(Captioned(optCloseApp0, "No"), &famLAN, 5340, 4575, 780, 285);
    Place(Captioned(optCloseApp1, "Yes"), &famLAN, 6180, 4575, 780, 285);
    Place(Captioned(lblSaveUPL, "Save User Login Details in Shared Directory"), &famLAN, 120, 4965, 5160, 255);
    Place(cboSaveUPL, &famLAN, 5340, 4905, 1800, 315);
    lnSep1.SetContainer(&famLAN);
    lnSep1.SetEnds(120, 5310, 8640, 5310);
    Place(Captioned(lblNoteLAN,
                    "Note: If utility does not update on some LAN Machines due to security reasons, you are advised "
                    "to Run Update Utility on each such LAN Machine and try to Update again; otherwise you have to "
                    "update on each such LAN Machine manually selecting the first Option 'Update on Local Machine'."),
          &famLAN, 120, 5370, 8520, 630);
    lblNoteLAN.SetWordWrap(true);

    Place(Captioned(cmdUpdate, "&Update >>"), nullptr, 5700, 8010, 1575, 375);
    Place(Captioned(cmdexit, "E&xit"), nullptr, 7425, 8010, 1575, 375);
    Place(txtfont, nullptr, -5000, 0, 1000, 315);
    txtfont.SetText("font");
    txtfont.SetVisible(false);

    for (const char* item : kWaitItems) {
        cboStartUpd.AddItem(item);
        cboCloseApp.AddItem(item);
    }
    cboSaveUPL.AddItem("No");
    cboSaveUPL.AddItem("Yes");

    chkUpdateOn0.Click = [this] { chkUpdateOn_Click(0); };
    chkUpdateOn1.Click = [this] { chkUpdateOn_Click(1); };
    cboCloseApp.Click = [this] { cboCloseApp_Click(); };
    cmdUpdate.Click = [this] { cmdUpdate_Click(); };
    cmdexit.Click = [this] { cmdexit_Click(); };
    cmdDataDir.Click = [this] { cmdDataDir_Click(); };
    cmdSearch.Click = [this] {
        if (Handoffs().showComputerSearch) Handoffs().showComputerSearch();
        vs.AutoSize(0, vs.Cols() - 1);
    };
    cmdGetLoginNms.Click = [this] {
        if (!GridAsks(vs.Rows() > 1, "Confirm Fill 'Logger User Name' for All the selected LAN Machines ?")) return;
        if (Handoffs().showUserNameLookup) Handoffs().showUserNameLookup();
        vs.AutoSize(0, vs.Cols() - 1);
    };
    cmdFill0.Click = [this] { FillSelected(false); };
    cmdFill1.Click = [this] { FillSelected(true); };
    cmdDelete.Click = [this] {
        const int row = vs.Row();
        if (!GridAsks(row >= 1 && row < vs.Rows(), "Confirm delete selected LAN Machine ?")) return;
        vs.RemoveItem(row);
        for (int r = 1; r < vs.Rows(); ++r) vs.SetTextMatrix(r, 0, std::to_string(r));
    };
    cmdClear.Click = [this] {
        if (GridAsks(vs.Rows() > 1, "Confirm delete all the LAN Machines ?")) vs.SetRows(1);
    };
    cmdInstDir.Click = [this] { cmdInstDir_Click(); };
    cmdUpdDir.Click = [this] { cmdUpdDir_Click(); };
    vs.BeforeEdit = [this](int row, int col, bool& cancel) { vs_BeforeEdit(row, col, cancel); };
    vs.AfterEdit = [this](int row, int col) { vs_AfterEdit(row, col); };
    vs.AfterRowColChange = [this](int r0, int c0, int r1, int c1) { vs_AfterRowColChange(r0, c0, r1, c1); };
    vs.AfterScroll = [this](int t0, int l0, int t1, int l1) { vs_AfterScroll(t0, l0, t1, l1); };
    txtPassU.KeyDown = [this](int& keyCode, int shift) { txtPassU_KeyDown(keyCode, shift); };
    txtPassU.KeyPress = [this](int& keyAscii) { txtPassU_KeyPress(keyAscii); };
    txtPassU.LostFocus = [this] { txtPassU_LostFocus(); };
}

void frmmain::Form_Load() {
    try {
        Load();
    } catch (const RuntimeError& e) {
        if (!IsAutomatic()) {
            ShowMessage(nullptr, e.Description(), MsgStyleError, "Form_Load");
            platform::EndProcessNow(0);
        }
        LogErrorLAN("Error:Load:" + e.Description());
        EndAutomaticRun(ExitStartFailed);
    }
}

void frmmain::Load() {
    SharedState& s = Shared();
    platform::Platform& os = platform::Os();
    const std::string command = os.system->CommandLine();

    cmdUpdate.Tag.clear();
    ComputeScaleFactors();
    ScaleForm(*this);
    if (vs.FontSize() < 8) vs.SetFontSize(8);

    chkUpdateOn0.Tag = "1";
    chkUpdateOn0.SetValue(1);
    GetPaths();
    chkUpdateOn1.Tag = "0";
    chkUpdateOn1.SetValue(0);

    PrepareGrid();
    txtUpdDir.Tag = ReadRegValue(HKLM, kVekInfo, "SoftUpdPath", RegKindText, "");

    if (!command.empty()) {
        const std::vector<std::string> f = CommandFields(command);
        auto field = [&f](size_t i) -> const std::string& {
            if (i >= f.size()) throw RuntimeError(ErrSubscript);
            return f[i];
        };
        txtUpdDir.SetText(StripTrailingBackslash(os.files->ParentFolder(field(1))));
        if (ToUpper(txtUpdDir.Text()) != ToUpper(txtUpdDir.Tag)) {
            WriteRegValue(HKLM, kVekInfo, "SoftUpdPath", RegKindText, txtUpdDir.Text());
            txtUpdDir.Tag = txtUpdDir.Text();
        }
        // Nobody is at the machine to notice a run that waits for nothing: an option the run does
        // not understand ends it here, naming the field.
        const std::string refusal = OptionRefusal(f);
        if (!refusal.empty()) {
            LogErrorLAN("Error:Load:" + refusal);
            EndAutomaticRun(ExitBadCommandLine);
        }
        cboStartUpd.SetListIndex(static_cast<int>(Val(field(4))));
        cboCloseApp.SetListIndex(static_cast<int>(Val(field(5))));
        if (field(6) == "Y") optCloseApp1.SetValue(true);
        else optCloseApp0.SetValue(true);
    } else {
        txtUpdDir.SetText(txtUpdDir.Tag);
        if (Handoffs().loadOptions) Handoffs().loadOptions(*this);
        cboStartUpd.SetListIndex(static_cast<int>(Val(cboStartUpd.Tag)));
        cboCloseApp.SetListIndex(static_cast<int>(Val(cboCloseApp.Tag)));
        if (optCloseApp0.Tag == "N") optCloseApp0.SetValue(true);
        else if (optCloseApp0.Tag == "Y") optCloseApp1.SetValue(true);
    }

    cboCloseApp_Click();
    cboSaveUPL.SetListIndex(-1);

    std::string caption = "Updexar";
    if (s.ProductKey != kNoProductKey) caption += " -> " + s.ProductName;
    caption += " -> " + PathFileName(s.ProgramDir);
    SetCaption(caption);

    const double screenWidth = os.system->ScreenSizeTwips().width;
    Move((screenWidth - Width()) / 2, 120 * s.sy);
    ArrangeLayout();
    if (!command.empty()) cmdUpdate.Tag = "Y";
}

void frmmain::GetPaths() {
    txtDataDir.SetText("");
    txtInstDir.SetText("");
    const ProductPaths p = ResolveProductPaths();
    txtDataDir.SetText(p.dataDir);
    txtInstDir.SetText(p.installDir);
}

void frmmain::PrepareGrid() {
    vs.Tag.clear();
    vs.SetCols(7);
    vs.SetRows(1);
    for (int c = 0; c < 7; ++c) {
        vs.SetTextMatrix(0, c, kColumns[c].header);
        vs.SetColWidth(c, kColumns[c].designWidth);
    }
    vs.SetCellFontBold(0, 0, 0, 6, true);
    vs.SetCellChecked(0, 1, 0, 2, 2);
    for (int c = 0; c <= 4; ++c) vs.SetColWidth(c, std::round(vs.Width() * kColumns[c].loadFraction));
    vs.AutoSize(0, 6);
}

void frmmain::ArrangeLayout() {
    const SharedState& s = Shared();
    const bool automatic = IsAutomatic();
    chkUpdateOn0.SetVisible(!automatic);
    chkUpdateOn1.SetVisible(!automatic);
    lnSep0.SetVisible(!automatic);
    lnSep1.SetVisible(!automatic);
    famLocal.SetVisible(chkUpdateOn0.Value() == 1 && (automatic || s.ProductKey != kNoProductKey));
    famLAN.SetVisible(chkUpdateOn1.Value() == 1 && !automatic);
    cmdDataDir.SetVisible(s.ProductKey != "Xelmor");

    const double sy = s.sy;
    double top = chkUpdateOn0.Top();
    if (automatic) {
        famLocal.SetTop(top);
        top = famLocal.Top() + famLocal.Height() + 120 * sy;
    } else {
        auto stack = [&](CheckBox& box, Frame& frame) {
            box.SetTop(top);
            if (frame.Visible()) {
                frame.SetTop(box.Top() + box.Height() + 60 * sy);
                top = frame.Top() + frame.Height() + 120 * sy;
            } else {
                top = box.Top() + box.Height() + 120 * sy;
            }
        };
        stack(chkUpdateOn0, famLocal);
        stack(chkUpdateOn1, famLAN);
    }
    cmdUpdate.SetTop(top);
    cmdexit.SetTop(top);
    SetHeight(cmdUpdate.Top() + cmdUpdate.Height() + 600);

    // The saved machine list is read the first time the LAN choice is opened.
    if (!automatic && chkUpdateOn1.Value() == 1 && vs.Tag.empty()) {
        vs.Tag = "Y";
        vs.SetRows(1);
        // A long list takes a while to look up, and the window answers meanwhile: nothing that
        // works on the rows, or starts a run on them, takes a click before the last row is in.
        // Exit stays open.
        std::vector<std::pair<forms::Control*, bool>> held;
        for (forms::Control* c : std::initializer_list<forms::Control*>{
                 &chkUpdateOn0, &chkUpdateOn1, &vs, &cmdSearch, &cmdGetLoginNms, &cmdDelete, &cmdClear, &cmdFill0,
                 &cmdFill1, &txtUpdDir, &cmdUpdDir, &cboSaveUPL, &cmdUpdate}) {
            held.emplace_back(c, c->Enabled());
            c->SetEnabled(false);
        }
        const int loaded = Handoffs().loadMachineList ? Handoffs().loadMachineList(*this) : 0;
        for (auto& [c, enabled] : held) c->SetEnabled(enabled);
        if (loaded > 0) cboSaveUPL.SetListIndex(1);
        vs.AutoSize(0, vs.Cols() - 1);
    }
}

void frmmain::chkUpdateOn_Click(int index) {
    CheckBox& box = chkUpdateOn(index);
    const std::string value = std::to_string(box.Value());
    if (value == box.Tag) return;
    box.Tag = value;
    ArrangeLayout();
}

void frmmain::cboCloseApp_Click() {
    const bool shown = cboCloseApp.ListIndex() >= 1;
    lblCloseApp1.SetVisible(shown);
    optCloseApp0.SetVisible(shown);
    optCloseApp1.SetVisible(shown);
}

void frmmain::Form_Activate() {
    if (cmdUpdate.Tag != "Y") return;
    cmdUpdate.Tag.clear();
    // No wait chosen: the update starts at once.
    if (cboStartUpd.ListIndex() == 0) {
        if (Handoffs().updateSoftwareOnLocal) Handoffs().updateSoftwareOnLocal();
        return;
    }
    cmdexit.Tag.clear();
    if (Handoffs().showWaitWindow) Handoffs().showWaitWindow(SecondsOfItem(cboStartUpd.Text()));
    if (cmdexit.Tag == "O") {
        if (Handoffs().updateSoftwareOnLocal) Handoffs().updateSoftwareOnLocal();
    } else {
        cmdexit_Click();
    }
}

void frmmain::Form_KeyDown(int& keyCode, int /*shift*/) {
    if (keyCode != KeyEscape) return;
    keyCode = 0;
    if (IsAutomatic()) {
        LogErrorLAN("Error:Update:Cancelled");
        EndAutomaticRun(ExitCancelled);
        return;
    }
    if (ShowMessage(this, "Do you really want to Exit?", MsgStyleQuestionNo) == MsgYes) platform::EndProcessNow(0);
}

void frmmain::cmdexit_Click() {
    int key = KeyEscape;
    Form_KeyDown(key, 0);
}

void frmmain::cmdUpdate_Click() {
    if (IsAutomatic()) return;
    if (chkUpdateOn0.Value() == 1) {
        if (ShowMessage(this, "Do you really want to Update software on Local Machine ?", MsgStyleQuestionNo) == MsgYes) {
            if (Handoffs().updateSoftwareOnLocal) Handoffs().updateSoftwareOnLocal();
            if (chkUpdateOn0.Value() != 1) {
                chkUpdateOn0.Tag = "-1";
                chkUpdateOn_Click(0);
            }
        }
    }
    if (chkUpdateOn1.Value() == 1) {
        if (ShowMessage(this, "Do you really want to Update software on selected LAN Machines ?", MsgStyleQuestionNo) == MsgYes)
            UpdateSoftwareOnLAN();
    }
}

// The grid buttons act only where there is something to act on, and after a question that only
// No declines.
bool frmmain::GridAsks(bool precondition, const std::string& question) {
    return precondition && ShowMessage(this, question, MsgStyleQuestionNo) != MsgNo;
}

void frmmain::FillSelected(bool password) {
    if (!GridAsks(vs.Rows() > 1, std::string("Confirm Fill 'Common/Admin ") + (password ? "Password" : "Username") +
                                     "' for All the selected LAN Machines ?"))
        return;
    for (int r = 1; r < vs.Rows(); ++r) {
        if (vs.CellChecked(r, 1) != 1 && vs.CellChecked(r, 2) != 1) continue;
        if (password) {
            vs.SetTextMatrix(r, 4, std::string(static_cast<size_t>(CharCount(txtPass.Text())), '*'));
            vs.SetTextMatrix(r, 5, txtPass.Text());
        } else {
            vs.SetTextMatrix(r, 3, txtUser.Text());
        }
    }
    vs.AutoSize(0, vs.Cols() - 1);
}

// ---- the grid

namespace {

constexpr int kPasswordCol = 4;
constexpr int kPlainPasswordCol = 5;

bool RowSelected(const VSFlexGrid& vs, int row) {
    return vs.CellChecked(row, 1) == CheckTicked || vs.CellChecked(row, 2) == CheckTicked;
}

}  // namespace

void frmmain::vs_BeforeEdit(int row, int col, bool& cancel) {
    const bool box = row >= 0 && (col == 1 || col == 2);
    const bool login = row >= 1 && (col == 3 || col == kPasswordCol);
    if ((!box && !login) || (login && !RowSelected(vs, row))) {
        cancel = true;
        return;
    }
    if (col == kPasswordCol) {
        // Typed into the grid the password would show; the overlay masks it.
        cancel = true;
        OpenPasswordOverlay(row);
    }
}

void frmmain::vs_AfterEdit(int row, int col) {
    if (col != 1 && col != 2) return;
    const int other = col == 1 ? 2 : 1;
    if (row == 0) {
        const int state = vs.CellChecked(0, col);
        for (int r = 1; r < vs.Rows(); ++r) {
            if (vs.CellChecked(r, col) == CheckNone) continue;
            vs.SetCellChecked(r, col, state);
            if (state == CheckTicked && vs.CellChecked(r, other) == CheckTicked) vs.SetCellChecked(r, other, CheckUnticked);
        }
    } else if (vs.CellChecked(row, col) == CheckTicked && vs.CellChecked(row, other) == CheckTicked) {
        vs.SetCellChecked(row, other, CheckUnticked);
    }
}

void frmmain::vs_AfterRowColChange(int, int, int newRow, int newCol) {
    if (newRow >= 1 && newCol == 3) vs.EditCell();
}

void frmmain::vs_AfterScroll(int, int, int, int) {
    if (!txtPassU.Visible()) return;
    const int r = PasswordRow();
    const bool inView = r >= vs.TopRow() && r <= vs.BottomRow() &&
                        (kPasswordCol < vs.FixedCols() || (kPasswordCol >= vs.LeftCol() && kPasswordCol <= vs.RightCol()));
    if (inView) {
        PlacePasswordOverlay();
        return;
    }
    // Closed as on a loss of focus; the focus does not stay behind in the hidden box.
    if (ActiveControl() == &txtPassU) vs.SetFocus();
    ClosePasswordOverlay();
}

int frmmain::PasswordRow() const { return static_cast<int>(Val(txtPassU.Tag)); }

void frmmain::OpenPasswordOverlay(int row) {
    // Still open (the click that brought us here took the focus, but its loss has not been
    // handled yet): what was typed goes into its row first.
    if (txtPassU.Visible()) ClosePasswordOverlay();
    vs.ShowCell(row, kPasswordCol);
    txtPassU.SetFontName(vs.GetFont().name);
    txtPassU.SetFontSize(vs.FontSize() - 1);
    txtPassU.SetText(vs.TextMatrix(row, kPlainPasswordCol));
    txtPassU.Tag = std::to_string(row);
    PlacePasswordOverlay();
    txtPassU.SetVisible(true);
    txtPassU.ZOrder(0);
    txtPassU.SetFocus();
    txtPassU.SetSelStart(0);
    txtPassU.SetSelLength(CharCount(txtPassU.Text()));
}

void frmmain::PlacePasswordOverlay() {
    const SharedState& s = Shared();
    const int r = PasswordRow();
    txtPassU.Move(vs.ColPos(kPasswordCol) + vs.Left() + 15 * s.sx, vs.RowPos(r) + vs.Top() + 15 * s.sy,
                  vs.ColWidth(kPasswordCol) - 60 * s.sx, vs.RowHeight(r) - 90 * s.sy);
}

void frmmain::ClosePasswordOverlay() {
    const int r = PasswordRow();
    const std::string& password = txtPassU.Text();
    if (r >= 1 && r < vs.Rows()) {
        vs.SetTextMatrix(r, kPasswordCol, std::string(static_cast<size_t>(CharCount(password)), '*'));
        vs.SetTextMatrix(r, kPlainPasswordCol, password);
    }
    txtPassU.SetVisible(false);
}

void frmmain::txtPassU_LostFocus() {
    // Closed already (its row scrolled away), or the focus came back before this arrived: it was
    // opened again, or the focus only went to another window and returns here.
    if (!txtPassU.Visible() || ActiveControl() == &txtPassU) return;
    ClosePasswordOverlay();
}

void frmmain::LeavePasswordOverlay(int row, int col) {
    vs.SetFocus();
    vs.Select(row, col);
    vs.ShowCell(row, col);
}

void frmmain::txtPassU_KeyPress(int& keyAscii) {
    if (keyAscii != KeyReturn) return;
    keyAscii = 0;
    LeavePasswordOverlay(PasswordRow(), vs.Cols() - 1);
}

void frmmain::txtPassU_KeyDown(int& keyCode, int shift) {
    // Shift with an arrow selects inside the box.
    if (shift & ShiftKey) return;
    const int r = PasswordRow();
    auto leave = [&](int row, int col) {
        keyCode = 0;
        LeavePasswordOverlay(row, col);
    };
    switch (keyCode) {
        case KeyLeft:
            if (txtPassU.CaretPos() == 0) leave(r, 3);
            break;
        case KeyRight:
            // The plain password's column is hidden: the last column follows.
            if (txtPassU.CaretPos() == CharCount(txtPassU.Text())) leave(r, vs.Cols() - 1);
            break;
        case forms::KeyDown:
            if (r + 1 < vs.Rows()) leave(r + 1, kPasswordCol);
            break;
        case KeyUp:
            if (r > 1) leave(r - 1, kPasswordCol);
            break;
        default:
            break;
    }
}

void frmmain::cmdDataDir_Click() {
    if (Handoffs().showServerSettings) Handoffs().showServerSettings();
}

void frmmain::cmdInstDir_Click() {
    const std::string path = BrowseForDirectory(hWnd(), true, true);
    if (!path.empty()) txtInstDir.SetText(StripTrailingBackslash(path));
}

void frmmain::cmdUpdDir_Click() {
    const std::string path = BrowseForNetworkShare(hWnd(), true, true);
    if (!path.empty()) txtUpdDir.SetText(StripTrailingBackslash(path));
}

void frmmain::FocusCell(int row, int col) {
    vs.Select(row, col);
    vs.ShowCell(row, col);
    vs.SetFocus();
}

bool frmmain::EnsureFolder(const std::string& folder) {
    platform::FileSystem& files = *platform::Os().files;
    try {
        if (!files.FolderExists(folder)) files.CreateFolder(folder);
    } catch (const RuntimeError&) {
    }
    if (files.FolderExists(folder)) return true;
    ShowMessage(this, "Failed to Create Folder [" + folder + "].", MsgStyleInfo);
    return false;
}

void frmmain::UpdateSoftwareOnLAN() {
    try {
        SharedState& s = Shared();
        int first = -1;
        for (int r = 1; r < vs.Rows(); ++r) {
            if (vs.CellChecked(r, 1) == 1 || vs.CellChecked(r, 2) == 1) {
                first = r;
                break;
            }
        }
        if (first < 0) {
            ShowMessage(this, "Please select atlease 1 LAN Machine to Update.", MsgStyleInfo);
            vs.SetFocus();
            return;
        }
        if (vs.TextMatrix(first, 3).empty() &&
            ShowMessage(this, "Do you want to connect without 'User Name'?", MsgStyleQuestionNo) == MsgNo) {
            FocusCell(first, 3);
            return;
        }
        if (vs.TextMatrix(first, 4).empty() &&
            ShowMessage(this, "Do you want to connect without 'Password'?", MsgStyleQuestionNo) == MsgNo) {
            FocusCell(first, 4);
            return;
        }

        const std::string shared = txtUpdDir.Text();
        auto refuse = [&](const std::string& message) {
            ShowMessage(this, message, MsgStyleInfo);
            txtUpdDir.SetFocus();
        };
        if (shared.empty()) return refuse("Please specify 'Shared Directory for Storing Updates'.");
        if (shared.rfind("\\\\", 0) != 0)
            return refuse("Please specify valid 'Shared Directory for Storing Updates' for e.g. '\\\\Server\\VEKUpdate'.");
        if (shared.find(' ') != std::string::npos)
            return refuse("Please specify valid 'Shared Directory for Storing Updates' without containing any 'Space Character'.");
        if (!platform::Os().files->FolderExists(shared))
            return refuse("'Shared Directory for Storing Updates' [" + shared + "] does not exist.");

        auto pick = [&](Control& c) {
            ShowMessage(this, "Please select an option.", MsgStyleInfo);
            c.SetFocus();
        };
        if (cboSaveUPL.ListIndex() < 0) return pick(cboSaveUPL);
        if (cboStartUpd.ListIndex() < 1) return pick(cboStartUpd);
        if (cboCloseApp.ListIndex() < 1) return pick(cboCloseApp);
        if (!optCloseApp0.Value() && !optCloseApp1.Value()) return pick(optCloseApp0);

        std::string updates = shared;
        if (!EndsWithNoCase(updates, "\\VEK_Updates")) updates += "\\VEK_Updates";
        const std::string lanDir = updates + "\\" + PathFileName(s.ProgramDir);
        int row = 0;
        const std::string refusal = LanInputRefusal(vs, lanDir, row);
        if (!refusal.empty()) {
            ShowMessage(this, refusal, MsgStyleInfo);
            if (row > 0) FocusCell(row, 3);
            else txtUpdDir.SetFocus();
            return;
        }
        if (!EnsureFolder(updates) || !EnsureFolder(lanDir)) return;
        s.LanUpdateDir = lanDir;

        if (ToUpper(shared) != ToUpper(txtUpdDir.Tag)) {
            WriteRegValue(HKLM, kVekInfo, "SoftUpdPath", RegKindText, shared);
            txtUpdDir.Tag = shared;
        }
        if (Handoffs().saveOptions) Handoffs().saveOptions(*this);
        if (Handoffs().saveMachineList) Handoffs().saveMachineList(*this);
        if (Handoffs().showUpdateWindow) Handoffs().showUpdateWindow("LAN");
    } catch (const RuntimeError& e) {
        ShowMessage(this, e.Description(), MsgStyleError, "UpdateSoftwareOnLAN");
    }
}

std::string LanInputRefusal(const forms::VSFlexGrid& vs, const std::string& lanDir, int& row) {
    row = 0;
    if (lanDir.find_first_of(" :") != std::string::npos)
        return "The Shared Directory [" + lanDir + "] holds a blank or a \":\", which the LAN Machines cannot be given. Choose a folder without.";
    for (int r = 1; r < vs.Rows(); ++r) {
        const bool byName = vs.CellChecked(r, 1) == 1;
        if (!byName && vs.CellChecked(r, 2) != 1) continue;
        if (vs.TextMatrix(r, 3).find('"') == std::string::npos && vs.TextMatrix(r, 5).find('"') == std::string::npos) continue;
        row = r;
        return "The User Name or Password of LAN Machine [" + vs.TextMatrix(r, byName ? 1 : 2) +
               "] holds a double quote, which cannot be passed on. Change it.";
    }
    return "";
}

std::string BrowseForDirectory(uintptr_t owner, bool newStyle, bool noNewFolder) {
    platform::BrowseRequest request;
    request.ownerWindow = owner;
    request.title = "Select a directory.";
    request.newStyle = newStyle;
    request.noNewFolder = noNewFolder;
    return TrimAtNul(platform::Os().shell->BrowseForFolder(request));
}

std::string BrowseForNetworkShare(uintptr_t owner, bool newStyle, bool noNewFolder) {
    platform::BrowseRequest request;
    request.ownerWindow = owner;
    request.title = "Select a network computer or share.";
    request.newStyle = newStyle;
    request.noNewFolder = noNewFolder;
    request.networkRoot = true;
    return TrimAtNul(platform::Os().shell->BrowseForFolder(request));
}

void InstallMainWindow() {
    ShowMainWindowHook() = [] { Application::Current().Get<frmmain>().Show(false, nullptr); };
}

}  // namespace updexar
