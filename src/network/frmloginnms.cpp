#include "network/frmloginnms.h"

#include <vector>

#include "core/config.h"
#include "forms/application.h"
#include "forms/grid.h"
#include "mainwindow/frmmain.h"
#include "mainwindow/handoffs.h"
#include "network/lookups.h"
#include "platform/platform.h"
#include "platform/strings.h"
#include "ui/scaling.h"

namespace updexar {

frmLoginNms::frmLoginNms()
    : Form("frmLoginNms"),
      famPg(Add<forms::Frame>("famPg")),
      lblPG(Add<forms::Label>("lblPG")),
      cmdCancelPg(Add<forms::CommandButton>("cmdCancelPg")),
      Winsock1(Add<forms::Winsock>("Winsock1")) {
    SetCaption(" Please Wait ...");
    ControlBox = false;
    KeyPreview = true;
    Move(0, 0, 6015, 2160);
    famPg.Move(120, 60, 5655, 1575);
    lblPG.SetContainer(&famPg);
    lblPG.Move(120, 360, 5415, 255);
    cmdCancelPg.SetContainer(&famPg);
    cmdCancelPg.Move(2040, 900, 1575, 435);
    cmdCancelPg.SetCaption("&Cancel");
    cmdCancelPg.Click = [this] { cmdCancelPg_Click(); };
}

void frmLoginNms::Form_Load() {
    lblPG.Tag.clear();
    ScaleForm(*this);
    CenterOnScreen(*this);
}

void frmLoginNms::Form_Activate() {
    if (!lblPG.Tag.empty()) return;
    lblPG.Tag = "Y";
    RetrieveUserNames();
    forms::Unload(*this);
}

void frmLoginNms::Form_KeyDown(int& keyCode, int /*shift*/) {
    if (keyCode != forms::KeyEscape) return;
    keyCode = 0;
    cmdCancelPg_Click();
}

void frmLoginNms::cmdCancelPg_Click() {
    if (cmdCancelPg.Tag.empty()) cmdCancelPg.Tag = "C";
}

void frmLoginNms::RetrieveUserNames() {
    forms::VSFlexGrid& vs = forms::Window<frmmain>().vs;
    std::vector<int> rows;
    std::vector<std::string> machines;
    for (int r = 1; r < vs.Rows(); ++r) {
        if (vs.CellChecked(r, 1) != 1 && vs.CellChecked(r, 2) != 1) continue;
        rows.push_back(r);
        machines.push_back(vs.TextMatrix(r, vs.CellChecked(r, 1) == 1 ? 1 : 2));
    }
    // Every machine is asked at once: one that does not answer costs its own time-out only. The
    // answers go into the grid in the rows' order.
    Lookups lookups(machines, GetLoggedOnUser);
    for (size_t i = 0; i < rows.size(); ++i) {
        if (cmdCancelPg.Tag == "C") return;
        forms::DoEvents();
        lblPG.SetCaption("Retrieving Logged User Name for [" + machines[i] + "]");
        std::optional<std::string> user;
        while (!(user = lookups.Take(i, 50))) {
            forms::DoEvents();
            if (cmdCancelPg.Tag == "C") return;
        }
        if (!user->empty()) vs.SetTextMatrix(rows[i], 3, *user);
    }
}

std::string GetLoggedOnUser(const std::string& machine) {
    platform::Platform& os = platform::Os();
    if (!os.registry || !os.network) return "";
    const std::unique_ptr<platform::RegistryKey> users = os.registry->ConnectUsers(machine);
    if (!users) return "";
    int resolved = 0;
    std::string result;
    for (uint32_t index = 0;; ++index) {
        std::string name;
        const long status = users->EnumSubKey(index, name, 260);
        if (status != platform::RegOk && status != platform::RegMoreData) break;
        const std::string lower = ToLower(name);
        if (lower.find("classes") != std::string::npos || lower.find(".default") != std::string::npos) continue;
        const std::vector<std::string> parts = Split(name, "-");
        if (parts.size() < 4 || parts.size() - 3 > 8) continue;  // no identifier has more than eight
        std::vector<uint32_t> subAuthorities;
        for (size_t i = 3; i < parts.size(); ++i) {
            // Above the signed range the number wraps, as a 32-bit value holds it.
            const double v = Val(parts[i]);
            subAuthorities.push_back(v >= 0 && v <= 4294967295.0 ? static_cast<uint32_t>(static_cast<int64_t>(v)) : 0u);
        }
        const std::optional<platform::Account> account = os.network->LookupNtAccount(machine, subAuthorities);
        if (!account) continue;
        if (++resolved == 3) result = account->domain + "\\" + account->name;
    }
    return result;
}

void InstallUserNameLookup() {
    Handoffs().showUserNameLookup = [] { forms::Window<frmLoginNms>().Show(true, &forms::Window<frmmain>()); };
}

}  // namespace updexar
