#include "server/version_table.h"

#include "core/config.h"
#include "core/shared_state.h"
#include "platform/strings.h"

namespace updexar {

std::string VersionTableConnection(const std::string& server) {
    const SharedState& s = Shared();
    const std::string key = "Software\\VEKInfo\\" + s.ProductKey;
    const auto HKLM = platform::RegRoot::LocalMachine;
    const std::string database = ReadRegValue(HKLM, key, "Database", RegKindText, s.ProductDbName);
    if (!StartsWithNoCase(database, s.ProductDbName)) return "";

    std::string user = "zolt", password, port = "3306", driverVersion;
    const std::string mysql = ReadRegValue(HKLM, key, "MySqlVer", RegKindText, "");
    if (!mysql.empty()) {
        std::string v;
        for (char c : mysql)
            if (c != '.') v += c;
        user = ReadConfigIni("MySql", "UID_" + v, "");
        password = ReadConfigIni("MySql", "PWD_" + v, "");
        port = std::to_string(static_cast<long>(Val(ReadConfigIni("MySql", "Port_" + v, ""))));
        driverVersion = ReadConfigIni("MySql", "DriverVer_" + v, "");
    }
    const std::string driver =
        driverVersion == "3.51" || driverVersion == "5.1" ? "{MySQL ODBC " + driverVersion + " Driver}" : "{MySQL}";
    std::string text = "PROVIDER=MSDASQL;driver=" + driver + ";server=" + server + ";uid=" + user + ";pwd=" + password +
                       ";database=" + database + ";";
    if (Val(port) != 0) text += "port=" + port + ";";
    return text;
}

void RepairVersionTable(const std::string& server) {
    const std::string connection = VersionTableConnection(server);
    if (connection.empty()) return;
}

}  // namespace updexar
