// A pretend network for the TCP client: servers a test scripts (accept or not, answer in one or
// several pieces, never answer). Events are raised on a short-lived thread of their own, as a
// real connection raises them off the caller's thread, but before the call that caused them
// returns, so a test knows exactly what is waiting in the event loop.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/tcp.h"

namespace updexar::fakes {

struct FakeTcpServer {
    enum class Accept {
        Yes,    // the connection is made at once
        Never,  // the attempt hangs until the client closes
    };
    Accept accept = Accept::Yes;
    // Called after every send with all bytes received on the connection so far; the pieces it
    // returns arrive one by one, each as its own arrival. None returned: no answer (yet).
    std::function<std::vector<std::string>(const std::string& received)> answer;
};

class FakeTcpClient : public platform::TcpClient {
public:
    // A host name or address (compared without regard to case) with a server on one port.
    void AddServer(const std::string& host, uint16_t port, FakeTcpServer server);
    // A host that resolves; its ports without a server refuse. Hosts never added give 11001.
    void AddHost(const std::string& host);
    std::unique_ptr<platform::TcpConnection> Connect(const std::string& host, uint16_t port,
                                                     platform::TcpEvents& events) override;
    size_t ConnectionCount() const;

private:
    mutable std::mutex mutex_;
    std::map<std::string, std::map<uint16_t, FakeTcpServer>> hosts_;  // upper-case host
    size_t connections_ = 0;
};

}  // namespace updexar::fakes
