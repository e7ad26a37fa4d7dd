// A product's database server, reached through a driver by an ODBC-style connection string such
// as "driver={MySQL ODBC 5.1 Driver};server=localhost;uid=..;pwd=..;database=..;port=..;".
// Connections may be made and used on any thread, one thread at a time per connection, so a
// slow server holds up a worker rather than the windows.
#pragma once

#include <memory>
#include <string>

namespace updexar::platform {

class DatabaseConnection {
public:
    // Closes the connection.
    virtual ~DatabaseConnection() = default;
    // True when the table can be opened and its rows read; false when the server will not give
    // them (no such table, a damaged one, a lost connection).
    virtual bool OpenTable(const std::string& name) = 0;
    // Runs one statement and reads every result it gives, so the connection is ready for the
    // next one. A statement may take as long as the server needs (a repair of a large table
    // does). Throws RuntimeError (ErrDatabase) with the driver's message when it fails.
    virtual void Execute(const std::string& statement) = 0;
};

class Database {
public:
    virtual ~Database() = default;
    // Connects, giving up after about `timeoutSeconds` (at least 1) when the server does not
    // answer. Throws RuntimeError (ErrDatabase) with the driver's message: a driver name that is
    // not installed, a server that is not there or refuses the account, a time-out.
    virtual std::unique_ptr<DatabaseConnection> Connect(const std::string& connectionString, int timeoutSeconds) = 0;
};

}  // namespace updexar::platform
