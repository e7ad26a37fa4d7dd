#include "network/frmgetips.h"

#include <cmath>
#include <vector>

#include "core/config.h"
#include "forms/application.h"
#include "forms/grid.h"
#include "mainwindow/frmmain.h"
#include "mainwindow/handoffs.h"
#include "network/lookups.h"
#include "platform/platform.h"
#include "platform/strings.h"
#include "ui/msgbox.h"
#include "ui/placement.h"
#include "ui/scaling.h"

namespace updexar {
namespace {

// A text the classic byte conversion takes: a number (a fraction rounds) from 0 to 255.
std::optional<int> ToByte(const std::string& text) {
    const std::string t = Trim(text);
    if (t.empty()) return std::nullopt;
    bool digits = false, point = false;
    for (char c : t) {
        if (c >= '0' && c <= '9') digits = true;
        else if (c == '.' && !point) point = true;
        else return std::nullopt;
    }
    if (!digits) return std::nullopt;
    const double v = std::nearbyint(Val(t));  // halves go to the even neighbour, as the conversion rounds
    if (v < 0 || v > 255) return std::nullopt;
    return static_cast<int>(v);
}

const char* const kOptionNames[] = {"Computer Name", "IP Address"};


}  // namespace

frmGetIPs::frmGetIPs()
    : Form("frmGetIPs"),
      famMain(Add<forms::Frame>("famMain")),
      optAddIP0(Add<forms::OptionButton>("optAddIP", 0)),
      optAddIP1(Add<forms::OptionButton>("optAddIP", 1)),
      optAddIP2(Add<forms::OptionButton>("optAddIP", 2)),
      txtNameIP(Add<forms::TextBox>("txtNameIP")),
      txtIP0(Add<forms::TextBox>("txtIP", 0)),
      txtIP1(Add<forms::TextBox>("txtIP", 1)),
      txtIP2(Add<forms::TextBox>("txtIP", 2)),
      txtIP3(Add<forms::TextBox>("txtIP", 3)),
      txtIP4(Add<forms::TextBox>("txtIP", 4)),
      lblTo(Add<forms::Label>("lblTo")),
      cmdOk(Add<forms::CommandButton>("cmdOk")),
      cmdcancel(Add<forms::CommandButton>("cmdcancel")),
      famPg(Add<forms::Frame>("famPg")),
      lblPG(Add<forms::Label>("lblPG")),
      cmdCancelPg(Add<forms::CommandButton>("cmdCancelPg")),
      Winsock1(Add<forms::Winsock>("Winsock1")) {
    SetCaption("Search Computer over Network");
    KeyPreview = true;
    Move(0, 0, 6015, 2760);
    Placed(famMain, nullptr, 120, 60, 5655, 1575);
    Placed(optAddIP0, &famMain, 120, 240, 1800, 255).SetCaption("Computer Name");
    Placed(optAddIP1, &famMain, 1980, 240, 1560, 255).SetCaption("IP Address");
    Placed(optAddIP2, &famMain, 3600, 240, 1560, 255).SetCaption("IP Range");
    Placed(txtNameIP, &famMain, 120, 630, 5415, 315);
    for (int i = 0; i < 5; ++i) Placed(txtIP(i), &famMain, 120 + i * 960 + (i == 4 ? 240 : 0), 1095, 720, 315).SetMaxLength(3);
    Placed(lblTo, &famMain, 3960, 1125, 360, 255).SetCaption("to");
    Placed(cmdOk, nullptr, 2400, 1800, 1575, 435).SetCaption("&Ok");
    Placed(cmdcancel, nullptr, 4200, 1800, 1575, 435).SetCaption("&Cancel");
    Placed(famPg, nullptr, 120, 60, 5655, 2175);
    Placed(lblPG, &famPg, 120, 480, 5415, 255).SetCaption("Checking IP []");
    Placed(cmdCancelPg, &famPg, 2040, 1320, 1575, 435).SetCaption("&Cancel");
    famPg.SetVisible(false);
    for (int i = 0; i < 3; ++i) optAddIP(i).Click = [this, i] { optAddIP_Click(i); };
    cmdOk.Click = [this] { cmdOk_Click(); };
    cmdcancel.Click = [this] { cmdcancel_Click(); };
    cmdCancelPg.Click = [this] { cmdCancelPg_Click(); };
}

forms::TextBox& frmGetIPs::txtIP(int i) {
    forms::TextBox* boxes[] = {&txtIP0, &txtIP1, &txtIP2, &txtIP3, &txtIP4};
    return *boxes[i];
}

void frmGetIPs::Form_Load() {
    ScaleForm(*this);
    CenterOnScreen(*this);
    famMain.SetVisible(true);
    famPg.SetVisible(false);
    optAddIP2.SetValue(true);
    optAddIP_Click(2);
    const std::vector<std::string> parts = Split(Winsock1.LocalIP(), ".");
    for (int i = 0; i < 3; ++i) txtIP(i).SetText(i < static_cast<int>(parts.size()) ? parts[i] : "");
    txtIP3.SetText("0");
    txtIP4.SetText("255");
}

void frmGetIPs::optAddIP_Click(int index) {
    txtNameIP.SetEnabled(index != 2);
    for (int i = 0; i < 5; ++i) txtIP(i).SetEnabled(index == 2);
    lblTo.SetEnabled(index == 2);
}

void frmGetIPs::Form_KeyDown(int& keyCode, int /*shift*/) {
    if (keyCode != forms::KeyEscape) return;
    keyCode = 0;
    if (famPg.Visible()) cmdCancelPg_Click();
    else cmdcancel_Click();
}

void frmGetIPs::cmdcancel_Click() { forms::Unload(*this); }

void frmGetIPs::cmdCancelPg_Click() {
    if (cmdCancelPg.Tag.empty()) cmdCancelPg.Tag = "C";
}

bool frmGetIPs::Await(const std::function<bool()>& ready) {
    while (!ready()) {
        forms::DoEvents();
        if (cmdCancelPg.Tag == "C") return false;
    }
    return true;
}

void frmGetIPs::cmdOk_Click() {
    if (optAddIP2.Value()) SearchRange();
    else SearchOne(optAddIP0.Value());
}

void frmGetIPs::SearchRange() {
    for (int i = 0; i < 5; ++i) {
        if (!ToByte(txtIP(i).Text())) {
            ShowMessage(this, "Invalid Value.", 64);
            txtIP(i).SetFocus();
            return;
        }
    }
    const int first = *ToByte(txtIP3.Text()), last = *ToByte(txtIP4.Text());
    if (last < first) {
        ShowMessage(this, "Invalid Range.", 64);
        txtIP4.SetFocus();
        return;
    }
    famMain.SetVisible(false);
    famPg.SetVisible(true);
    cmdCancelPg.Tag.clear();
    lblPG.SetCaption("");

    const std::string prefix = txtIP0.Text() + "." + txtIP1.Text() + "." + txtIP2.Text() + ".";
    const std::string own = ToUpper(Trim(Winsock1.LocalIP()));
    std::vector<std::string> addresses;
    for (int i = first; i <= last; ++i) addresses.push_back(prefix + std::to_string(i));
    // Every name is asked for at once; the grid takes them in the order of the range, so it
    // ends as a search of one address after another would leave it.
    std::vector<std::string> queries;
    for (const std::string& a : addresses) queries.push_back(ToUpper(Trim(a)) == own ? std::string() : a);
    Lookups lookups(queries, [](const std::string& a) { return a.empty() ? std::string() : HostNameFromAddress(a); });
    frmmain& main = forms::Window<frmmain>();
    for (size_t i = 0; i < addresses.size(); ++i) {
        if (cmdCancelPg.Tag == "C") break;
        lblPG.SetCaption("Checking IP Address [" + addresses[i] + "]");
        forms::DoEvents();
        std::optional<std::string> name;
        if (!Await([&] { return (name = lookups.Take(i, 50)).has_value(); })) break;
        AddFoundMachine(main, "", addresses[i], *name);
    }
    forms::Unload(*this);
}

void frmGetIPs::SearchOne(bool byName) {
    const std::string what = kOptionNames[byName ? 0 : 1];
    const std::string text = txtNameIP.Text();
    if (text.empty()) {
        ShowMessage(this, "Please specify '" + what + "'.", 64);
        txtNameIP.SetFocus();
        return;
    }
    if (!byName && !IsValidIPAddress(text)) {
        ShowMessage(this, "Invalid IP Address [" + text + "].", 64);
        txtNameIP.SetFocus();
        return;
    }
    famMain.SetVisible(false);
    famPg.SetVisible(true);
    cmdCancelPg.Tag.clear();
    lblPG.SetCaption("Checking " + what + " [" + text + "]");
    forms::DoEvents();
    Lookups lookup({text}, [byName](const std::string& t) { return byName ? AddressFromHostName(t) : HostNameFromAddress(t); }, 1);
    std::optional<std::string> resolved;
    if (Await([&] { return (resolved = lookup.Take(0, 50)).has_value(); }))
        AddFoundMachine(forms::Window<frmmain>(), byName ? text : "", byName ? "" : text, *resolved);
    forms::Unload(*this);
}

bool IsValidIPAddress(const std::string& text) {
    const std::vector<std::string> parts = Split(text, ".");
    if (parts.size() != 4) return false;
    for (const std::string& p : parts)
        if (!ToByte(p)) return false;
    return true;
}

std::string HostNameFromAddress(const std::string& address) {
    if (Trim(address).empty()) return "";
    platform::Network* network = platform::Os().network;
    return network ? network->HostNameFromAddress(Trim(address)) : "";
}

std::string AddressFromHostName(const std::string& name) {
    if (name.empty()) return "";
    platform::Network* network = platform::Os().network;
    return network ? network->AddressFromHostName(name) : "";
}

void AddFoundMachine(frmmain& main, const std::string& name, const std::string& address, const std::string& resolved) {
    platform::Network* network = platform::Os().network;
    const bool byName = !name.empty();
    if (network) {
        if (byName && ToUpper(Trim(name)) == ToUpper(Trim(network->LocalHostName()))) return;
        if (!byName && ToUpper(Trim(address)) == ToUpper(Trim(network->LocalAddress()))) return;
    }
    forms::VSFlexGrid& vs = main.vs;
    const int col = byName ? 1 : 2;
    const std::string& key = byName ? name : address;
    int row = -1;
    for (int r = 1; r < vs.Rows() && row < 0; ++r)
        if (vs.TextMatrix(r, col) == key) row = r;
    if (row < 0) {
        vs.AddItem("");
        row = vs.Rows() - 1;
        vs.SetTextMatrix(row, 0, std::to_string(row));
    }
    const std::string foundName = byName ? name : resolved;
    const std::string foundAddress = byName ? resolved : address;
    vs.SetTextMatrix(row, 1, "");
    vs.SetTextMatrix(row, 1, foundName);
    vs.SetCellChecked(row, 1, byName ? 1 : foundName.empty() ? 0 : 2);
    vs.SetTextMatrix(row, 2, "");
    vs.SetTextMatrix(row, 2, foundAddress);
    vs.SetCellChecked(row, 2, !byName ? 1 : foundAddress.empty() ? 0 : 2);
}

void InstallComputerSearch() {
    Handoffs().showComputerSearch = [] { forms::Window<frmGetIPs>().Show(true, &forms::Window<frmmain>()); };
}

}  // namespace updexar
