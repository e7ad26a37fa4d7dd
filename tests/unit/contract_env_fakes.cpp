// The contract tests against the in-memory fakes: every test gets a fresh file system with a C:
// drive and an empty scratch folder, a fresh registry with an empty scratch key, and the
// profile reader on that file system.
#include <gtest/gtest.h>

#include <memory>

#include "contract/contract_env.h"
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

}  // namespace

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
