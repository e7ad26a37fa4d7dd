// The database contract against the ODBC implementation, with the server that the platform
// scenario started and described in the environment. Each failure case names one of the program's driver
// names, so all three are seen to reach the driver.
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

#include "contract/database_env.h"
#include "win32/win32_database.h"

namespace updexar::contract {
namespace {

std::string Need(const char* name) {
    const char* value = std::getenv(name);
    if (!value || !*value) {
        std::fprintf(stderr, "%s is not set: run this program in the platform scenario\n", name);
        std::exit(2);
    }
    return value;
}

DatabaseEnv Made() {
    static win32::Win32Database database;
    const std::string user = Need("UPDEXAR_TEST_DB_USER"), password = Need("UPDEXAR_TEST_DB_PASSWORD"),
                      name = Need("UPDEXAR_TEST_DB_NAME"), port = Need("UPDEXAR_TEST_DB_PORT");
    DatabaseEnv env;
    env.database = &database;
    env.connection = MySqlConnection("MySQL ODBC 5.1 Driver", "localhost", port, user, password, name);
    env.intactTable = Need("UPDEXAR_TEST_DB_INTACT");
    std::istringstream damaged(Need("UPDEXAR_TEST_DB_DAMAGED"));
    for (std::string table; damaged >> table;) env.damagedTables.push_back(table);
    env.badStatement = "SELEKT 1";
    env.refusals = {
        {"wrong password", MySqlConnection("MySQL ODBC 3.51 Driver", "localhost", port, user, password + "x", name)},
        {"stopped server",
         MySqlConnection("MySQL", "127.0.0.1", Need("UPDEXAR_TEST_DB_STOPPED_PORT"), user, password, name)},
        {"silent server",
         MySqlConnection("MySQL", "127.0.0.1", Need("UPDEXAR_TEST_DB_SILENT_PORT"), user, password, name)},
        {"driver not installed",
         MySqlConnection("MySQL ODBC 8.0 Unicode Driver", "localhost", port, user, password, name)},
    };
    return env;
}

}  // namespace

DatabaseEnv& DbEnv() {
    static DatabaseEnv env = Made();
    return env;
}

}  // namespace updexar::contract
