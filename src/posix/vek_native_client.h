// Loopback clients of the native VEK service, for its tests and its load benchmark.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace updexar::posix {

// One check over a fresh connection to 127.0.0.1: the pieces are sent one after another with
// `pauseMs` between them, then everything is read until the service closes. With `halfClose`,
// the sending side is shut after the last piece. False when the exchange fails or takes longer
// than `timeoutMs`.
bool ExchangeOnce(uint16_t port, const std::vector<std::string>& pieces, int pauseMs, bool halfClose,
                  int timeoutMs, std::string& answer);

// Connections to 127.0.0.1 that connect and then say nothing.
class IdleConnections {
public:
    IdleConnections() = default;
    ~IdleConnections();
    IdleConnections(const IdleConnections&) = delete;
    IdleConnections& operator=(const IdleConnections&) = delete;
    // Opens up to `count` more; the number open afterwards.
    size_t Open(uint16_t port, size_t count);
    // How many the service has closed so far.
    size_t ClosedByPeer();
    void CloseAll();

private:
    std::vector<int> fds_;
};

struct LoadResult {
    uint64_t checks = 0;     // answered as expected
    uint64_t failures = 0;   // wrong answer, refused or reset
    double seconds = 0;
    std::vector<double> latenciesMs;  // one per check, from connecting to the end of the answer
};

// `clients` concurrent clients on one thread, each doing check after check, each over a new
// connection, for `durationMs`.
LoadResult RunLoad(uint16_t port, int clients, int durationMs, const std::string& request,
                   const std::string& expectedAnswer);

}  // namespace updexar::posix
