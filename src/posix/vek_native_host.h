// The VEK service on Linux: the same conversation as the Windows service, over epoll, for load
// tests and fuzzing. One listening socket shared by a few worker threads; each worker owns the
// connections it accepted, so no connection is ever touched by two threads. Lookups go to the
// check pool, as on Windows, so a slow data directory holds no worker.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "server/vek_check_pool.h"
#include "server/vek_service_core.h"

namespace updexar::posix {

struct NativeHostOptions {
    std::string address = "0.0.0.0";  // dotted IPv4
    uint16_t port = 7070;              // 0 picks a free one
    int threads = 0;                   // 0: one per core
    size_t maxConnections = 16384;     // beyond this a new connection is closed at once
};

class NativeHost {
public:
    NativeHost(const vek::ServiceCore& core, NativeHostOptions options);
    ~NativeHost();
    NativeHost(const NativeHost&) = delete;
    NativeHost& operator=(const NativeHost&) = delete;

    // Binds and starts the workers; false with a reason when it cannot.
    bool Start(std::string& error);
    uint16_t Port() const { return port_; }
    void Stop();
    size_t OpenConnections() const { return open_.load(); }

private:
    void Work();

    const vek::ServiceCore& core_;
    NativeHostOptions options_;
    int listener_ = -1;
    int stopEvent_ = -1;
    uint16_t port_ = 0;
    std::atomic<size_t> open_{0};
    std::unique_ptr<vek::CheckPool> pool_;
    std::vector<std::thread> workers_;
};

}  // namespace updexar::posix
