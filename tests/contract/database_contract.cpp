// What every database behind the program must do alike: tables that open or not, statements whose results are read so
// that the connection goes on, a damaged table mended on the same connection from a worker thread (as the program
// repairs a version table), and connections that fail with the driver's message within the time-out.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "contract/database_env.h"
#include "platform/errors.h"

namespace updexar::contract {
namespace {

constexpr int kTimeout = 2;

std::unique_ptr<platform::DatabaseConnection> Connect() {
    return DbEnv().database->Connect(DbEnv().connection, kTimeout);
}

TEST(DatabaseContract, TablesOpenOrNotAndEveryStatementLeavesTheConnectionReady) {
    auto db = Connect();
    ASSERT_TRUE(db);
    const std::string& intact = DbEnv().intactTable;
    EXPECT_FALSE(db->OpenTable("NoSuchTable"));
    // Rows a statement gives are read, so the next request is answered.
    db->Execute("SELECT * FROM " + intact);
    EXPECT_TRUE(db->OpenTable(intact));

    try {
        db->Execute(DbEnv().badStatement);
        ADD_FAILURE() << "a refused statement did not throw";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(ErrDatabase, e.Number());
        EXPECT_FALSE(e.Description().empty());
    }
    EXPECT_TRUE(db->OpenTable(intact));
}

TEST(DatabaseContract, DamagedTablesAreMendedByRepairOnTheSameConnectionFromAWorkerThread) {
    // Each table as "opened before, after, and the intact one after".
    std::string seen, expected;
    std::thread([&] {
        try {
            auto db = Connect();
            for (const std::string& table : DbEnv().damagedTables) {
                seen += table + (db->OpenTable(table) ? ":1" : ":0");
                db->Execute("REPAIR TABLE " + table + " USE_FRM");
                seen += std::string(db->OpenTable(table) ? "1" : "0") + (db->OpenTable(DbEnv().intactTable) ? "1 " : "0 ");
            }
        } catch (const std::exception& e) {
            seen += e.what();
        }
    }).join();
    for (const std::string& table : DbEnv().damagedTables) expected += table + ":011 ";
    EXPECT_EQ(seen, expected);
    EXPECT_FALSE(expected.empty());
}

TEST(DatabaseContract, FailedConnectionsThrowTheDriversMessageWithinTheTimeOut) {
    ASSERT_FALSE(DbEnv().refusals.empty());
    for (const auto& refusal : DbEnv().refusals) {
        const auto start = std::chrono::steady_clock::now();
        int number = 0;
        std::string description;
        try {
            DbEnv().database->Connect(refusal.connection, kTimeout);
        } catch (const RuntimeError& e) {
            number = e.Number();
            description = e.Description();
        }
        EXPECT_EQ(ErrDatabase, number) << refusal.what;
        EXPECT_FALSE(description.empty()) << refusal.what;
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(kTimeout + 2)) << refusal.what;
    }
    // An attempt given up on holds nothing up for good: the server is reached as before. The
    // attempt may still be ending in the driver meanwhile, so a busy machine gets longer.
    auto db = DbEnv().database->Connect(DbEnv().connection, 5 * kTimeout);
    EXPECT_TRUE(db->OpenTable(DbEnv().intactTable));
}

}  // namespace
}  // namespace updexar::contract
