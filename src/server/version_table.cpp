#include "server/version_table.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "core/config.h"
#include "core/shared_state.h"
#include "forms/application.h"
#include "platform/database.h"
#include "platform/errors.h"
#include "platform/platform.h"
#include "platform/strings.h"

namespace updexar {
namespace {

constexpr int kConnectSeconds = 5;

}  // namespace

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
    platform::Database* database = platform::Os().database;
    if (connection.empty() || !database) return;
    const std::string table = Shared().VerInfoTable;
    // On a thread of its own: a database server that is slow to answer, or a long repair, must
    // not hold the windows. They keep painting and answering while it works.
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    std::thread worker([&] {
        try {
            // A few seconds to connect: a server that does not answer cannot hold up the update.
            const std::unique_ptr<platform::DatabaseConnection> c = database->Connect(connection, kConnectSeconds);
            if (!c->OpenTable(table)) {
                c->Execute("REPAIR TABLE " + table + " USE_FRM");
                if (!c->OpenTable(table)) c->Execute("REPAIR TABLE " + table + " EXTENDED");
            }
        } catch (...) {
            // The product reports its own table; the update goes on either way.
        }
        std::lock_guard<std::mutex> lock(mutex);
        done = true;
        finished.notify_all();
    });
    // The worker is waited for whatever the window's events do meanwhile (one may end the run).
    struct Joined {
        std::thread& t;
        ~Joined() { t.join(); }
    } joined{worker};
    std::unique_lock<std::mutex> lock(mutex);
    while (!finished.wait_for(lock, std::chrono::milliseconds(20), [&] { return done; })) {
        lock.unlock();
        forms::DoEvents();
        lock.lock();
    }
}

}  // namespace updexar
