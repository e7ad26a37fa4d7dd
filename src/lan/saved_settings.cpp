#include "lan/saved_settings.h"

#include "forms/application.h"
#include "mainwindow/frmmain.h"
#include "mainwindow/handoffs.h"
#include "platform/errors.h"
#include "platform/platform.h"
#include "platform/strings.h"

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

void InstallSavedSettings() {
    Handoffs().loadOptions = LoadOptions;
    Handoffs().saveOptions = SaveOptions;
}

}  // namespace updexar
