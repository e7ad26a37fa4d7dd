// The product's version table in its database on this computer. A crash of the database server
// can leave the table's index broken; the product then cannot read its version and refuses to
// start, so the check before an update mends it.
#pragma once

#include <string>

namespace updexar {

// The connection string for the product's database on `server`, from the registry and
// VEKCONFIG.INI; empty when the configured database is not the product's.
std::string VersionTableConnection(const std::string& server);

// Opens the version table and, when it does not open, repairs it: first from its definition, then
// thoroughly. Every database failure is passed over: the update goes on either way.
void RepairVersionTable(const std::string& server);

}  // namespace updexar
