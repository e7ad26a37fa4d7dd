// The contract tests against the in-memory fakes: every test gets a fresh pretend computer with an
// empty scratch folder and key, and a database set up as the Wine test sets up its server.
#include <gtest/gtest.h>

#include <memory>

#include "contract/contract_env.h"
#include "contract/database_env.h"
#include "fakes/fake_platform.h"

namespace updexar::contract {
namespace {

struct FakeWorld {
    fakes::FakePlatform fake;
    ContractEnv env{&fake.files, &fake.registry, &fake.text, &fake.system, "C:\\Temp\\updexar-test",
                    "Software\\UpdexarTest\\Contract"};
    DatabaseEnv db;

    FakeWorld() {
        fake.files.MakeFolders(env.scratchFolder);
        fake.registry.Create(platform::RegRoot::CurrentUser, env.scratchKey);
        auto connection = [](const std::string& driver, const std::string& port, const std::string& password) {
            return MySqlConnection(driver, "localhost", port, "zolt", password, "galvano");
        };
        fake.database.AddTable("vertab");
        for (const char* name : {"vertab_gone", "vertab_cut"})
            fake.database.AddTable(name, {false, {"REPAIR TABLE " + std::string(name) + " USE_FRM"}});
        db = {&fake.database,
              connection("MySQL ODBC 5.1 Driver", "3306", "secret"),
              "vertab",
              {"vertab_gone", "vertab_cut"},
              "SELEKT 1",
              {
                  {"wrong password", connection("MySQL ODBC 3.51 Driver", "3306", "wrong")},
                  {"stopped server", connection("MySQL", "3307", "secret")},
                  {"silent server", connection("MySQL", "3308", "secret")},
                  {"driver not installed", connection("MySQL ODBC 8.0 Unicode Driver", "3306", "secret")},
              }};
        fake.database.failingStatements[db.badStatement] = "You have an error in your SQL syntax";
        for (const auto& refusal : db.refusals) fake.database.refusals[refusal.connection] = "refused: " + refusal.what;
    }
};

// A fresh world for each test: what one test changed never reaches the next.
FakeWorld& ForCurrentTest() {
    static std::unique_ptr<FakeWorld> world;
    static const testing::TestInfo* owner = nullptr;
    const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
    if (!world || test != owner) {
        world = std::make_unique<FakeWorld>();
        owner = test;
    }
    return *world;
}

}  // namespace

DatabaseEnv& DbEnv() { return ForCurrentTest().db; }
ContractEnv& Env() { return ForCurrentTest().env; }

}  // namespace updexar::contract
