// What every database behind the program must do alike: tables that open or not, statements whose
// results are read so that the connection goes on, a damaged table mended on the same connection
// from a worker thread (as the program repairs a version table), and connections that fail with
// the driver's message within the time-out.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
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
    DatabaseEnv& env = DbEnv();
    const auto& damaged = env.damagedTables;
    ASSERT_FALSE(damaged.empty());
    struct Outcome {
        bool before = true, after = false, intactAfter = false;
    };
    std::vector<Outcome> outcomes(damaged.size());
    std::string failure;
    std::thread worker([&] {
        try {
            auto db = env.database->Connect(env.connection, kTimeout);
            for (size_t i = 0; i < damaged.size(); ++i) {
                outcomes[i].before = db->OpenTable(damaged[i]);
                db->Execute("REPAIR TABLE " + damaged[i] + " USE_FRM");
                outcomes[i].after = db->OpenTable(damaged[i]);
                outcomes[i].intactAfter = db->OpenTable(env.intactTable);
            }
        } catch (const std::exception& e) {
            failure = e.what();
        }
    });
    worker.join();
    ASSERT_EQ(failure, "") << "the worker failed";
    for (size_t i = 0; i < damaged.size(); ++i) {
        SCOPED_TRACE(damaged[i]);
        EXPECT_FALSE(outcomes[i].before);
        EXPECT_TRUE(outcomes[i].after);
        EXPECT_TRUE(outcomes[i].intactAfter);
    }
}

TEST(DatabaseContract, FailedConnectionsThrowTheDriversMessageWithinTheTimeOut) {
    ASSERT_FALSE(DbEnv().refusals.empty());
    for (const auto& refusal : DbEnv().refusals) {
        SCOPED_TRACE(refusal.what);
        const auto start = std::chrono::steady_clock::now();
        int number = 0;
        std::string description;
        try {
            DbEnv().database->Connect(refusal.connection, kTimeout);
        } catch (const RuntimeError& e) {
            number = e.Number();
            description = e.Description();
        }
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::printf("%s: %.2f s: %s\n", refusal.what.c_str(), seconds, description.c_str());
        EXPECT_EQ(ErrDatabase, number);
        EXPECT_FALSE(description.empty());
        EXPECT_LT(seconds, kTimeout + 2.0);
    }
    // An attempt given up on holds nothing up: the server is reached as before.
    auto db = Connect();
    EXPECT_TRUE(db->OpenTable(DbEnv().intactTable));
}

}  // namespace
}  // namespace updexar::contract
