#include <gtest/gtest.h>

#include <optional>

#include "system_wine_util.h"
#include "win32/win32_services.h"

namespace updexar {
namespace {

using platform::ServiceEntry;
using systest::Quoted;
using systest::WaitFor;

std::optional<ServiceEntry> Find(platform::ServiceManager& manager, const std::string& name) {
    const auto all = manager.EnumerateAll();
    if (!all) return std::nullopt;
    for (const auto& entry : *all) {
        if (entry.name == name) return entry;
    }
    return std::nullopt;
}

bool InState(platform::Service& service, uint32_t state) {
    const auto now = service.State();
    return now && *now == state;
}

// Removes the test service even when an assertion ends the test half way.
struct ServiceCleanup {
    platform::ServiceControl& control;
    std::string name;
    ~ServiceCleanup() {
        if (auto manager = control.OpenManager(true)) {
            if (auto service = manager->OpenService(name, true)) {
                service->Stop();
                WaitFor([&] { return InState(*service, platform::ServiceStopped); }, std::chrono::seconds(5));
                service->Delete();
            }
        }
    }
};

TEST(ServicesWine, CreateFindStartStopAndDeleteARealService) {
    win32::Win32ServiceControl control;
    const std::string name =
        "UpdexarTest" + std::to_string(GetCurrentProcessId()) + "x" + std::to_string(GetTickCount());
    const std::string mark = systest::MakeScratchFolder("svc") + "\\service.txt";
    // Stored as given: the quotes are ours, the service manager adds none.
    const std::string program = Quoted(systest::StandIn("dummy_service.exe")) + " " + Quoted(mark);
    ServiceCleanup cleanup{control, name};

    auto manager = control.OpenManager(true);
    ASSERT_NE(manager, nullptr);
    {
        auto created = manager->CreateService({name, "", program});
        ASSERT_NE(created, nullptr);
        EXPECT_EQ(created->ProgramPath().value_or("?"), program);
    }
    EXPECT_EQ(manager->CreateService({name, "Again", program}), nullptr) << "a second service of the same name";

    const auto listed = Find(*manager, name);
    ASSERT_TRUE(listed.has_value());
    EXPECT_EQ(listed->state, static_cast<uint32_t>(platform::ServiceStopped));
    EXPECT_EQ(listed->type & 0x10u, 0x10u) << "own process";

    auto service = manager->OpenService(name, true);
    ASSERT_NE(service, nullptr);
    ASSERT_TRUE(service->Start());
    ASSERT_TRUE(WaitFor([&] { return InState(*service, platform::ServiceRunning); }))
        << "state " << service->State().value_or(0);
    EXPECT_TRUE(WaitFor([&] { return systest::ReadAll(mark).find("running") == 0; }));

    // The enumeration sees it running, with the process behind it.
    const auto running = Find(*manager, name);
    ASSERT_TRUE(running.has_value());
    EXPECT_EQ(running->state, static_cast<uint32_t>(platform::ServiceRunning));
    EXPECT_NE(running->processId, 0u);

    // A manager opened without full access still reads and enumerates.
    {
        auto reader = control.OpenManager(false);
        ASSERT_NE(reader, nullptr);
        EXPECT_TRUE(Find(*reader, name).has_value());
        auto readOnly = reader->OpenService(name, false);
        ASSERT_NE(readOnly, nullptr);
        EXPECT_EQ(readOnly->ProgramPath().value_or("?"), program);
        EXPECT_TRUE(InState(*readOnly, platform::ServiceRunning));
    }

    EXPECT_FALSE(service->Start()) << "starting a running service";
    ASSERT_TRUE(service->Stop());
    EXPECT_TRUE(WaitFor([&] { return InState(*service, platform::ServiceStopped); }));
    EXPECT_TRUE(WaitFor([&] { return systest::ReadAll(mark).find("stopped") != std::string::npos; }));

    ASSERT_TRUE(service->Delete());
    service.reset();
    EXPECT_TRUE(WaitFor([&] { return manager->OpenService(name, false) == nullptr; }, std::chrono::seconds(5)));
    EXPECT_FALSE(Find(*manager, name).has_value());
}

TEST(ServicesWine, UnknownServicesAreNotFoundAndTheKnownOnesAreListed) {
    win32::Win32ServiceControl control;
    auto manager = control.OpenManager(true);
    ASSERT_NE(manager, nullptr);
    EXPECT_EQ(manager->OpenService("UpdexarNoSuchService", false), nullptr);
    EXPECT_EQ(manager->OpenService("", true), nullptr);

    const auto all = manager->EnumerateAll();
    ASSERT_TRUE(all.has_value());
    EXPECT_GT(all->size(), 1u);
}

}  // namespace
}  // namespace updexar
