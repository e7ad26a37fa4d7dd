// The VEK service's socket loop on Windows: non-blocking Winsock sockets under WSAPoll, one
// thread, every connection bounded by its session's deadlines, so a silent or slow client costs
// a slot and nothing else; quiet connections are polled less often than busy ones. The loop itself never touches the registry or the file system: the
// check pool does the lookups and wakes the loop through a loopback socket pair.
#pragma once

#include <winsock2.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <unordered_map>

#include "platform/clock.h"
#include "server/vek_check_pool.h"
#include "server/vek_connection.h"
#include "server/vek_service_core.h"

namespace updexar::win32 {

class VekServer {
public:
    VekServer(const vek::ServiceCore& core, platform::Clock& clock, size_t maxConnections = 4096);
    ~VekServer();
    VekServer(const VekServer&) = delete;
    VekServer& operator=(const VekServer&) = delete;

    // Listens on every address; false with the Winsock error (for example WSAEADDRINUSE when
    // another copy already serves the port).
    bool Listen(uint16_t port, int& error);
    // Serves until `stop` is set; notices it within a quarter of a second.
    void Run(const std::atomic<bool>& stop);

private:
    struct Connection;
    bool MakeWakePair();
    void Accept(int64_t now);
    bool Read(Connection& c, int64_t now);
    void Progress(Connection& c, int64_t now);
    void TakeResults(int64_t now);
    void CloseConnection(uint64_t ticket);

    const vek::ServiceCore& core_;
    platform::Clock& clock_;
    size_t max_;
    bool started_ = false;
    SOCKET listener_ = INVALID_SOCKET;
    // Written to by the lookup threads, polled by the loop.
    SOCKET wakeSend_ = INVALID_SOCKET;
    SOCKET wakeReceive_ = INVALID_SOCKET;
    vek::CheckPool pool_;
    std::shared_ptr<vek::CheckMailbox> mailbox_;
    uint64_t tickets_ = 0;
    std::unordered_map<uint64_t, std::unique_ptr<Connection>> connections_;
};

}  // namespace updexar::win32
