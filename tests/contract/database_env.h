// What the database contract tests run against: under Wine, the ODBC implementation with a
// MariaDB server of the test's own.
#pragma once

#include <string>
#include <vector>

#include "platform/database.h"

namespace updexar::contract {

struct DatabaseEnv {
    platform::Database* database = nullptr;
    // Reaches a database that holds the tables below.
    std::string connection;
    std::string intactTable;
    // Tables that do not open until "REPAIR TABLE <name> USE_FRM" has run (MyISAM tables whose
    // index is gone or cut short).
    std::vector<std::string> damagedTables;
    // A statement the server refuses.
    std::string badStatement;

    struct Refusal {
        std::string what;
        std::string connection;
    };
    // Connection strings that must fail: a wrong password, a stopped server, a server that
    // takes the connection and never answers, a driver name that is not installed.
    std::vector<Refusal> refusals;
};

// Provided by the runner that links the database contract tests.
DatabaseEnv& DbEnv();

// A connection string as the program builds it for a MySQL server.
inline std::string MySqlConnection(const std::string& driver, const std::string& server, const std::string& port,
                                   const std::string& user, const std::string& password,
                                   const std::string& database) {
    return "PROVIDER=MSDASQL;driver={" + driver + "};server=" + server + ";uid=" + user + ";pwd=" + password +
           ";database=" + database + ";port=" + port + ";";
}

}  // namespace updexar::contract
