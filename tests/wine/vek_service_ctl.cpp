// vek_service_ctl.exe COMMAND [ARG]: the service control manager steps the update run takes for
// the VEK service, through the platform interfaces.
//   install PATH    create "VEKSvrReg" for PATH (deleting an old one first)
//   start | stop    send the start or the stop
//   wait STATE SEC  wait until the state is running / stopped
//   state           print the state number
//   path            print the configured program path
//   processes       print how many processes named VEKSvrReg.exe run
//   delete          remove the service
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/services.h"
#include "platform/strings.h"
#include "win32/win32_platform.h"

using namespace updexar;

namespace {

constexpr const char* kName = "VEKSvrReg";

int Fail(const char* what) {
    std::printf("failed: %s\n", what);
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Fail("no command");
    const std::string command = argv[1];
    platform::Platform& os = win32::Win32Platform();

    if (command == "processes") {
        int count = 0;
        for (const auto& p : os.processes->Snapshot()) count += EqualsNoCase(PathFileName(p.exeName), "VEKSvrReg.exe");
        std::printf("processes: %d\n", count);
        return 0;
    }

    auto manager = os.services->OpenManager(true);
    if (!manager) return Fail("open manager");
    if (command == "install") {
        if (argc < 3) return Fail("no path");
        if (auto old = manager->OpenService(kName, true)) {
            old->Stop();
            old->Delete();
        }
        platform::NewService service;
        service.name = kName;
        service.programPath = argv[2];
        if (!manager->CreateService(service)) return Fail("create");
        std::printf("installed: %s\n", argv[2]);
        return 0;
    }
    auto service = manager->OpenService(kName, true);
    if (!service) return Fail("open service");
    if (command == "start") return service->Start() ? 0 : Fail("start");
    if (command == "stop") return service->Stop() ? 0 : Fail("stop");
    if (command == "delete") return service->Delete() ? 0 : Fail("delete");
    if (command == "path") {
        std::printf("path: %s\n", service->ProgramPath().value_or("").c_str());
        return 0;
    }
    if (command == "state") {
        std::printf("state: %u\n", service->State().value_or(0));
        return 0;
    }
    if (command == "wait" && argc >= 4) {
        const uint32_t want = std::string(argv[2]) == "running" ? platform::ServiceRunning : platform::ServiceStopped;
        const int64_t end = os.clock->MonotonicMs() + std::atoi(argv[3]) * 1000LL;
        while (os.clock->MonotonicMs() < end) {
            if (service->State() == want) {
                std::printf("state: %u\n", want);
                return 0;
            }
            os.clock->Sleep(100);
        }
        std::printf("state: %u\n", service->State().value_or(0));
        return Fail("wait");
    }
    return Fail("unknown command");
}
