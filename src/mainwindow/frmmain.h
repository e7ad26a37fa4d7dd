// The main window: the local and LAN update choices with their settings, and the update button.
// In automatic mode (started by a LAN run) it starts the update by itself when it is activated.
#pragma once

#include <string>

#include "forms/form.h"
#include "forms/grid.h"

namespace updexar {

class frmmain : public forms::Form {
public:
    frmmain();

    forms::CheckBox& chkUpdateOn0;
    forms::CheckBox& chkUpdateOn1;
    forms::Frame& famLocal;
    forms::Label& lblDataDir;
    forms::TextBox& txtDataDir;
    forms::CommandButton& cmdDataDir;
    forms::Label& lblInstDir;
    forms::TextBox& txtInstDir;
    forms::PictureBox& cmdInstDir;
    forms::Frame& famLAN;
    forms::VSFlexGrid& vs;
    forms::CommandButton& cmdSearch;
    forms::CommandButton& cmdGetLoginNms;
    forms::CommandButton& cmdDelete;
    forms::CommandButton& cmdClear;
    forms::Label& lblUser;
    forms::TextBox& txtUser;
    forms::CommandButton& cmdFill0;
    forms::Label& lblPass;
    forms::TextBox& txtPass;
    forms::CommandButton& cmdFill1;
    forms::TextBox& txtPassU;
    forms::Label& lblUpdDir;
    forms::TextBox& txtUpdDir;
    forms::PictureBox& cmdUpdDir;
    forms::Label& lblUpdDirNote;
    forms::Label& lblStartUpd;
    forms::ComboBox& cboStartUpd;
    forms::Label& lblHeadCloseApp;
    forms::Label& lblCloseApp0;
    forms::ComboBox& cboCloseApp;
    forms::Label& lblCloseApp1;
    forms::OptionButton& optCloseApp0;
    forms::OptionButton& optCloseApp1;
    forms::Label& lblSaveUPL;
    forms::ComboBox& cboSaveUPL;
    forms::Label& lblNoteLAN;
    forms::Line& lnSep0;
    forms::Line& lnSep1;
    forms::CommandButton& cmdUpdate;
    forms::CommandButton& cmdexit;
    forms::TextBox& txtfont;

    forms::CheckBox& chkUpdateOn(int index) { return index == 0 ? chkUpdateOn0 : chkUpdateOn1; }
    forms::OptionButton& optCloseApp(int index) { return index == 0 ? optCloseApp0 : optCloseApp1; }

    void Form_Load() override;
    void Form_Activate() override;
    void Form_KeyDown(int& keyCode, int shift) override;

    // Fills txtDataDir and txtInstDir for the current product.
    void GetPaths();
    void ArrangeLayout();
    void UpdateSoftwareOnLAN();
    // Clears the grid to its header row and sets the column widths of the design.
    void PrepareGrid();
    bool GridAsks(bool precondition, const std::string& question);
    // Column 3 (the user) or 4 and 5 (the password, masked and plain) of every selected row.
    void FillSelected(bool password);

    // The grid's rules: which cells may be edited, one ticked box per row, the header boxes for
    // whole columns, user names edited as soon as they are reached, and the password typed into
    // txtPassU over its cell instead of into the grid.
    void vs_BeforeEdit(int row, int col, bool& cancel);
    void vs_AfterEdit(int row, int col);
    void vs_AfterRowColChange(int oldRow, int oldCol, int newRow, int newCol);
    void vs_AfterScroll(int oldTop, int oldLeft, int newTop, int newLeft);
    void txtPassU_KeyDown(int& keyCode, int shift);
    void txtPassU_KeyPress(int& keyAscii);
    void txtPassU_LostFocus();

    void chkUpdateOn_Click(int index);
    void cboCloseApp_Click();
    void cmdUpdate_Click();
    void cmdexit_Click();
    void cmdDataDir_Click();
    void cmdInstDir_Click();
    void cmdUpdDir_Click();

private:
    void Load();
    void Design();
    // Selects a grid cell, scrolls it into view and gives the grid the focus.
    void FocusCell(int row, int col);
    // The password overlay over row's column 4, with that row's password selected.
    void OpenPasswordOverlay(int row);
    // Puts the overlay where its row's password cell is now.
    void PlacePasswordOverlay();
    // Writes the overlay's password into its row (masked and plain) and hides it.
    void ClosePasswordOverlay();
    // A keyboard exit: the grid takes the focus (and the password with it) at that cell.
    void LeavePasswordOverlay(int row, int col);
    int PasswordRow() const;
    bool EnsureFolder(const std::string& folder);
};

// Folder choosers on the shell's dialog: the chosen folder, or empty.
std::string BrowseForDirectory(uintptr_t owner, bool newStyle, bool noNewFolder);
std::string BrowseForNetworkShare(uintptr_t owner, bool newStyle, bool noNewFolder);

// Why the LAN run cannot start on these machines, empty when it can: PsExec's command line carries
// the run's shared folder unquoted inside the utility's argument, where a blank ends it and a ":"
// splits it, and each selected machine's logins between double quotes. `row` is the machine's
// row, 0 for the folder.
std::string LanInputRefusal(const forms::VSFlexGrid& vs, const std::string& lanDir, int& row);

// The wait time of a list item: the leading number of its text ("15 Seconds" -> 15).
int SecondsOfItem(const std::string& item);

// Why the option fields of an unattended command line (4: start wait 0-3, 5: close wait 0-3, 6:
// close Y or N) cannot be used, naming the field; empty when they can.
std::string OptionRefusal(const std::vector<std::string>& fields);

// Makes frmmain the window the start opens.
void InstallMainWindow();

}  // namespace updexar
