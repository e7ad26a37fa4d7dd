#include "lan/saved_settings.h"

#include <vector>

#include "core/config.h"
#include "core/list_file.h"
#include "core/login_list.h"
#include "core/machine_list.h"
#include "core/update_log.h"
#include "forms/application.h"
#include "forms/grid.h"
#include "mainwindow/frmmain.h"
#include "mainwindow/handoffs.h"
#include "network/frmgetips.h"
#include "network/lookups.h"
#include "platform/errors.h"
#include "platform/platform.h"
#include "platform/strings.h"
#include "ui/msgbox.h"

namespace updexar {

std::string SharedSettingsFile(const std::string& sharedDirectory, const std::string& name) {
    std::string folder = sharedDirectory;
    if (!EndsWithNoCase(folder, "\\VEK_Updates")) folder += "\\VEK_Updates";
    return folder + "\\" + name;
}

void LoadOptions(frmmain& main) {
    main.cboStartUpd.Tag = "0";
    main.cboCloseApp.Tag = "0";
    main.optCloseApp0.Tag.clear();
    try {
        platform::FileSystem& fs = *platform::Os().files;
        const std::string path = SharedSettingsFile(main.txtUpdDir.Text(), "VEKUpdUtil.INI");
        if (!fs.FileExists(path)) return;
        std::string line;
        const std::string text = fs.ReadAllText(path);
        for (size_t at = 0; at <= text.size();) {
            size_t end = text.find('\n', at);
            if (end == std::string::npos) end = text.size();
            line = text.substr(at, end - at);
            at = end + 1;
            if (!line.empty() && line.back() == '\r') line.pop_back();
            const size_t equals = line.find('=');
            if (equals == std::string::npos || equals == 0) continue;
            const std::string key = line.substr(0, equals);
            const size_t second = line.find('=', equals + 1);
            const std::string value = line.substr(equals + 1, second == std::string::npos ? std::string::npos : second - equals - 1);
            if (key == "cboStartUpd") main.cboStartUpd.Tag = value;
            else if (key == "cboCloseApp") main.cboCloseApp.Tag = value;
            else if (key == "optCloseApp") main.optCloseApp0.Tag = value;
        }
    } catch (const RuntimeError&) {
        // An unreadable file leaves the options unchosen; the LAN checks then ask for them.
    }
}

void SaveOptions(frmmain& main) {
    try {
        const std::string start = std::to_string(main.cboStartUpd.ListIndex());
        const std::string close = std::to_string(main.cboCloseApp.ListIndex());
        const std::string option = main.optCloseApp0.Value() ? "N" : main.optCloseApp1.Value() ? "Y" : "";
        if (start == main.cboStartUpd.Tag && close == main.cboCloseApp.Tag && option == main.optCloseApp0.Tag) return;
        main.cboStartUpd.Tag = start;
        main.cboCloseApp.Tag = close;
        main.optCloseApp0.Tag = option;
        platform::Os().files->WriteAllText(SharedSettingsFile(main.txtUpdDir.Text(), "VEKUpdUtil.INI"),
                                           "cboStartUpd=" + start + "\r\ncboCloseApp=" + close + "\r\noptCloseApp=" + option + "\r\n");
    } catch (const RuntimeError&) {
    }
}

namespace {
bool g_toldNoAccessRules = false;
}

void SaveMachineList(frmmain& main) {
    try {
        platform::Platform& os = platform::Os();
        platform::FileSystem& fs = *os.files;
        const std::string path = SharedSettingsFile(main.txtUpdDir.Text(), "VEKUpdUtil.UPL");
        const auto removeOld = [&] {
            if (!fs.FileExists(path)) return;
            if (fs.GetAttributes(path) == platform::AttrReadOnly) fs.SetAttributes(path, 0);
            fs.DeleteFile(path);
        };
        if (main.cboSaveUPL.Text() != "Yes") return removeOld();
        forms::VSFlexGrid& vs = main.vs;
        std::vector<SavedMachine> machines;
        for (int r = 1; r < vs.Rows(); ++r) {
            for (int col : {1, 2, 3, 5}) vs.SetTextMatrix(r, col, WithoutRecordBreaks(vs.TextMatrix(r, col)));
            auto ansi = [&](int col) { return os.text->ToAnsi(vs.TextMatrix(r, col)); };
            machines.push_back(SavedMachine{std::to_string(vs.CellChecked(r, 1)), ansi(1), std::to_string(vs.CellChecked(r, 2)),
                                            ansi(2), ansi(3), ansi(5)});
        }
        const std::string text = MachineListText(machines);
        if (text.empty()) return removeOld();
        std::vector<uint8_t> bytes(text.begin(), text.end());
        if (!PackLoginList(bytes)) return;
        // Administrators' passwords on a shared folder: readable by administrators and whoever
        // saved the list, nobody else. A share that keeps no such rule still keeps the list, and
        // the user hears of it once.
        if (ReplaceListFile(fs, path, bytes, os.system->ComputerName()) || g_toldNoAccessRules) return;
        g_toldNoAccessRules = true;
        const std::string told = "The shared folder keeps no access rules: the machine list [" + path +
                                 "] was saved with the folder's own rights, so whoever may read the folder may read its logins";
        if (IsAutomaticMode()) LogErrorLAN("Process:SaveMachineList:" + told);
        else ShowMessage(&main, told + ".", MsgStyleInfo);
    } catch (const RuntimeError&) {
        // A list that cannot be saved is not worth stopping the update for.
    }
}

int LoadMachineList(frmmain& main) {
    int loaded = 0;
    try {
        platform::Platform& os = platform::Os();
        const std::string path = SharedSettingsFile(main.txtUpdDir.Text(), "VEKUpdUtil.UPL");
        if (!os.files->FileExists(path)) return 0;
        std::vector<uint8_t> bytes = os.files->ReadAllBytes(path);
        if (!UnpackLoginList(bytes)) return 0;
        const std::vector<SavedMachine> machines = ParseMachineList(std::string(bytes.begin(), bytes.end()));
        // Each row's name or address is looked up again: all rows at once, each written in its
        // own order when its answers are in.
        std::vector<std::string> queries;
        for (const SavedMachine& m : machines) {
            queries.push_back(m.nameCheck + "\t" + os.text->FromAnsi(m.name) + "\t" + m.addressCheck + "\t" +
                              os.text->FromAnsi(m.address));
        }
        Lookups lookups(queries, [](const std::string& query) {
            const std::vector<std::string> f = Split(query, "\t");
            std::string name = f[1], address = f[3];
            const bool nameTicked = Val(f[0]) == 1, addressTicked = Val(f[2]) == 1;
            if (!address.empty() && addressTicked) name = HostNameFromAddress(address);
            if (!name.empty() && nameTicked) address = AddressFromHostName(name);
            return name + "\t" + address;
        });
        forms::VSFlexGrid& vs = main.vs;
        for (size_t i = 0; i < machines.size(); ++i) {
            const SavedMachine& m = machines[i];
            vs.AddItem("");
            const int r = vs.Rows() - 1;
            ++loaded;
            vs.SetTextMatrix(r, 0, std::to_string(r));
            vs.SetCellChecked(r, 1, static_cast<int>(Val(m.nameCheck)));
            vs.SetTextMatrix(r, 1, os.text->FromAnsi(m.name));
            vs.SetCellChecked(r, 2, static_cast<int>(Val(m.addressCheck)));
            vs.SetTextMatrix(r, 2, os.text->FromAnsi(m.address));
            vs.SetTextMatrix(r, 3, os.text->FromAnsi(m.user));
            const std::string password = os.text->FromAnsi(m.password);
            vs.SetTextMatrix(r, 4, std::string(m.password.size(), '*'));
            vs.SetTextMatrix(r, 5, password);

            std::optional<std::string> refreshed;
            while (!(refreshed = lookups.Take(i, 50))) forms::DoEvents();
            const size_t tab = refreshed->find('\t');
            vs.SetTextMatrix(r, 1, refreshed->substr(0, tab));
            if (vs.TextMatrix(r, 1).empty()) vs.SetCellChecked(r, 1, 0);
            vs.SetTextMatrix(r, 2, refreshed->substr(tab + 1));
            if (vs.TextMatrix(r, 2).empty()) vs.SetCellChecked(r, 2, 0);
        }
    } catch (const RuntimeError&) {
        // What was loaded stays; a broken list is not reported.
    }
    return loaded;
}

void InstallSavedSettings() {
    Handoffs().loadOptions = LoadOptions;
    Handoffs().saveOptions = SaveOptions;
    Handoffs().loadMachineList = LoadMachineList;
    Handoffs().saveMachineList = SaveMachineList;
}

}  // namespace updexar
