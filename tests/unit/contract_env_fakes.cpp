// The contract tests natively: every test gets a fresh pretend computer, whose files are real ones, with an empty
// scratch folder and key, so that what one test changed never reaches the next.
#include <gtest/gtest.h>

#include <memory>

#include "contract/contract_env.h"
#include "fakes/fake_platform.h"

namespace updexar::contract {

struct FakeWorld {
    fakes::FakePlatform fake;
    ContractEnv env{&fake.files, &fake.registry, &fake.text, &fake.system, "C:\\Temp\\updexar-test",
                    "Software\\UpdexarTest\\Contract"};
    FakeWorld() {
        fake.files.MakeFolders(env.scratchFolder);
        fake.registry.Create(platform::RegRoot::CurrentUser, env.scratchKey);
    }
};

ContractEnv& Env() {
    static std::unique_ptr<FakeWorld> world;
    static const testing::TestInfo* owner = nullptr;
    if (!world || testing::UnitTest::GetInstance()->current_test_info() != owner) {
        world = std::make_unique<FakeWorld>();
        owner = testing::UnitTest::GetInstance()->current_test_info();
    }
    return world->env;
}

}  // namespace updexar::contract
