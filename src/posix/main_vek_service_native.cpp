// The VEK service as a Linux program, for load tests and fuzzing against the real socket loop.
#include <signal.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "posix/vek_native_host.h"
#include "posix/vek_native_options.h"

using namespace updexar;

int main(int argc, char** argv) {
    posix::NativeOptions options;
    std::string error;
    if (!posix::ParseNativeArguments(std::vector<std::string>(argv + 1, argv + argc), options, error)) {
        std::fprintf(stderr,
                     "%s\nusage: vek_service_native [--port N] [--address A] [--threads N] [--config FILE] "
                     "[--data CODE=DIR]...\n",
                     error.c_str());
        return 2;
    }
    const auto directories = options.dataByCode;
    vek::ServiceCore core(
        [directories](const ProductRow& product) -> std::optional<std::string> {
            auto it = directories.find(std::string(product.code));
            if (it == directories.end()) return std::nullopt;
            return it->second;
        },
        [](const std::string& directory, const std::string& fileName) {
            std::error_code ec;
            return std::filesystem::is_regular_file(std::filesystem::path(directory) / fileName, ec);
        });

    // Signals are taken by sigwait below, not by whichever worker thread they happen to hit.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    posix::NativeHost host(core, options.host);
    if (!host.Start(error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    std::printf("VEK service listening on %s:%u\n", options.host.address.c_str(), static_cast<unsigned>(host.Port()));
    std::fflush(stdout);
    int received = 0;
    sigwait(&stopSignals, &received);
    host.Stop();
    return 0;
}
