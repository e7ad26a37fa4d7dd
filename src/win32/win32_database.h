// Databases through ODBC (odbc32), with the W entry points: Wine's odbc32 leaves the A ones
// unimplemented.
#pragma once

#include "platform/database.h"

namespace updexar::win32 {

class Win32Database : public platform::Database {
public:
    // The driver's own login time-out is set, and the attempt is also watched from here: some
    // drivers (MariaDB's) keep it only for the TCP connect and then wait for a greeting that a
    // hung server never sends. An attempt given up on finishes on its own thread and cleans up
    // after itself.
    std::unique_ptr<platform::DatabaseConnection> Connect(const std::string& connectionString,
                                                          int timeoutSeconds) override;
};

}  // namespace updexar::win32
