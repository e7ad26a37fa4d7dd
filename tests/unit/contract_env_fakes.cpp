// The contract tests against the in-memory fakes: every test gets a fresh file system with a C:
// drive and an empty scratch folder, a fresh registry with an empty scratch key, the profile
// reader on that file system, and a fresh database set up as the Wine test sets up its server.
#include <gtest/gtest.h>

#include <memory>

#include "contract/contract_env.h"
#include "contract/database_env.h"
#include "fakes/fake_database.h"
#include "fakes/fake_filesystem.h"
#include "fakes/fake_registry.h"
#include "fakes/fake_system.h"

namespace updexar::contract {
namespace {

struct FakeWorld {
    platform::ManualClock clock;
    platform::Cp1252Text text;
    fakes::FakeFileSystem files{clock, text};
    fakes::FakeRegistry registry;
    fakes::FakeSystem system{files};
    ContractEnv env;

    FakeWorld() {
        files.AddDrive("C");
        files.MakeFolders("C:\\Temp\\updexar-test");
        registry.Create(platform::RegRoot::CurrentUser, "Software\\UpdexarTest\\Contract");
        env.files = &files;
        env.registry = &registry;
        env.text = &text;
        env.system = &system;
        env.scratchFolder = "C:\\Temp\\updexar-test";
        env.scratchKey = "Software\\UpdexarTest\\Contract";
    }
};

struct FakeServer {
    fakes::FakeDatabase database;
    DatabaseEnv env;

    FakeServer() {
        auto connection = [](const std::string& driver, const std::string& port, const std::string& password) {
            return MySqlConnection(driver, "localhost", port, "zolt", password, "galvano");
        };
        database.AddTable("vertab");
        for (const char* name : {"vertab_gone", "vertab_cut"})
            database.AddTable(name, {false, {"REPAIR TABLE " + std::string(name) + " USE_FRM"}});
        env.database = &database;
        env.connection = connection("MySQL ODBC 5.1 Driver", "3306", "secret");
        env.intactTable = "vertab";
        env.damagedTables = {"vertab_gone", "vertab_cut"};
        env.badStatement = "SELEKT 1";
        database.failingStatements[env.badStatement] = "You have an error in your SQL syntax";
        env.refusals = {
            {"wrong password", connection("MySQL ODBC 3.51 Driver", "3306", "wrong")},
            {"stopped server", connection("MySQL", "3307", "secret")},
            {"silent server", connection("MySQL", "3308", "secret")},
            {"driver not installed", connection("MySQL ODBC 8.0 Unicode Driver", "3306", "secret")},
        };
        for (const auto& refusal : env.refusals) database.refusals[refusal.connection] = "refused: " + refusal.what;
    }
};

// A fresh world for each test: what one test changed never reaches the next.
template <typename World>
World& ForCurrentTest(std::unique_ptr<World>& world, const testing::TestInfo*& owner) {
    const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
    if (!world || test != owner) {
        world = std::make_unique<World>();
        owner = test;
    }
    return *world;
}

}  // namespace

DatabaseEnv& DbEnv() {
    static std::unique_ptr<FakeServer> server;
    static const testing::TestInfo* owner = nullptr;
    return ForCurrentTest(server, owner).env;
}

ContractEnv& Env() {
    static std::unique_ptr<FakeWorld> world;
    static const testing::TestInfo* owner = nullptr;
    return ForCurrentTest(world, owner).env;
}

}  // namespace updexar::contract
