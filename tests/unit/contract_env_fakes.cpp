// The contract tests natively: every test gets a fresh pretend computer, whose files are real ones,
// with an empty scratch folder and key.
#include <gtest/gtest.h>

#include <memory>

#include "contract/contract_env.h"
#include "fakes/fake_platform.h"

namespace updexar::contract {
namespace {

struct FakeWorld {
    fakes::FakePlatform fake;
    ContractEnv env{&fake.files, &fake.registry, &fake.text, &fake.system, "C:\\Temp\\updexar-test",
                    "Software\\UpdexarTest\\Contract"};

    FakeWorld() {
        fake.files.MakeFolders(env.scratchFolder);
        fake.registry.Create(platform::RegRoot::CurrentUser, env.scratchKey);
    }
};

}  // namespace

// A fresh world for each test: what one test changed never reaches the next.
ContractEnv& Env() {
    static std::unique_ptr<FakeWorld> world;
    static const testing::TestInfo* owner = nullptr;
    const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
    if (!world || test != owner) {
        world = std::make_unique<FakeWorld>();
        owner = test;
    }
    return world->env;
}

}  // namespace updexar::contract
