// Load on the VEK service over loopback: checks per second and latency with 1, 16 and 64
// concurrent clients, then 64 clients again while 1,000 silent connections are held open.
// Prints figures; nothing here passes or fails on a time.
//
//   vek_load_bench [--seconds N] [--threads N]     the native service, started here
//   vek_load_bench --port N [--seconds N]          a service already listening on 127.0.0.1:N
//                                                  whose Galvano folder holds T1234.txt (what
//                                                  vek_wine_bench.sh sets up for VEKSvrReg.exe)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include "posix/vek_native_client.h"
#include "posix/vek_native_host.h"
#include "server/vek_protocol.h"
#include "server/vek_service_core.h"

using namespace updexar;

namespace {

double Percentile(std::vector<double> values, double p) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const size_t at = std::min(values.size() - 1, static_cast<size_t>(p * static_cast<double>(values.size())));
    return values[at];
}

void Report(const char* label, const posix::LoadResult& r) {
    std::printf("%-28s %9.0f checks/s  p50 %6.3f ms  p99 %6.3f ms  (%llu checks, %llu failed, %.1f s)\n", label,
                r.seconds > 0 ? static_cast<double>(r.checks) / r.seconds : 0.0, Percentile(r.latenciesMs, 0.50),
                Percentile(r.latenciesMs, 0.99), static_cast<unsigned long long>(r.checks),
                static_cast<unsigned long long>(r.failures), r.seconds);
    std::fflush(stdout);
}

void RunTable(uint16_t port, int seconds, const std::string& request, const std::string& expected) {
    for (int clients : {1, 16, 64}) {
        const std::string label = std::to_string(clients) + " client" + (clients > 1 ? "s" : "");
        Report(label.c_str(), posix::RunLoad(port, clients, seconds * 1000, request, expected));
    }
    posix::IdleConnections idle;
    const size_t held = idle.Open(port, 1000);
    // The timing starts once the service has taken them in: one check queues behind them.
    std::string answer;
    posix::ExchangeOnce(port, {request}, 0, false, 30000, answer);
    const posix::LoadResult withIdle = posix::RunLoad(port, 64, seconds * 1000, request, expected);
    const std::string label = "64 clients + " + std::to_string(held) + " idle";
    Report(label.c_str(), withIdle);
    std::printf("idle connections still open after the run: %zu of %zu\n", held - idle.ClosedByPeer(), held);
    idle.CloseAll();
}

// A service started elsewhere (under Wine, say) takes a while to listen.
bool WaitForService(uint16_t port, const std::string& request, const std::string& expected) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < until) {
        std::string answer;
        if (posix::ExchangeOnce(port, {request}, 0, false, 5000, answer) && answer == expected) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    int seconds = 3;
    // One core for the service, one for the clients driving it.
    int threads = 1;
    int outside = 0;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--seconds") == 0) seconds = std::clamp(std::atoi(argv[i + 1]), 1, 30);
        if (std::strcmp(argv[i], "--threads") == 0) threads = std::clamp(std::atoi(argv[i + 1]), 1, 16);
        if (std::strcmp(argv[i], "--port") == 0) outside = std::clamp(std::atoi(argv[i + 1]), 0, 65535);
    }
    const std::string key = vek::MachineKeyFromSeed(vek::kFallbackSeed);
    const std::string request = vek::BuildRequest("T1234", "GLV", key);
    const std::string expected = vek::BuildAnswer("GLV", true, key);

    if (outside > 0) {
        const auto port = static_cast<uint16_t>(outside);
        if (!WaitForService(port, request, expected)) {
            std::fprintf(stderr, "no VEK service answers on 127.0.0.1:%d\n", outside);
            return 1;
        }
        std::printf("VEK service on 127.0.0.1:%d, %d s per run\n", outside, seconds);
        RunTable(port, seconds, request, expected);
        return 0;
    }

    const auto dir = std::filesystem::temp_directory_path() / ("vek_load_bench_" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "T1234.txt") << "Test\r\n";
    vek::ServiceCore core(
        [&](const ProductRow& p) -> std::optional<std::string> {
            if (p.code == "GLV") return dir.string();
            return std::nullopt;
        },
        [](const std::string& d, const std::string& name) {
            std::error_code ec;
            return std::filesystem::is_regular_file(std::filesystem::path(d) / name, ec);
        });

    posix::NativeHostOptions options;
    options.address = "127.0.0.1";  // loopback only
    options.port = 0;
    options.threads = threads;
    posix::NativeHost host(core, options);
    std::string error;
    if (!host.Start(error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    std::printf("native VEK service on 127.0.0.1:%u, %d s per run, %d server thread(s)\n",
                static_cast<unsigned>(host.Port()), seconds, threads);

    RunTable(host.Port(), seconds, request, expected);

    host.Stop();
    std::filesystem::remove_all(dir);
    return 0;
}
