// A pretend network for the TCP client: servers a test scripts (accept or not, answer in one
// or several pieces, fail, never answer), and every connection made, to look at and to drive by
// hand. Events are raised on a short-lived thread of their own, as a real connection raises
// them off the caller's thread, but before the call that caused them returns, so a test knows
// exactly what is waiting in the event loop.
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
        Yes,     // the connection is made at once
        Never,   // the attempt hangs until the test accepts it, fails it, or the client closes
    };
    Accept accept = Accept::Yes;
    // Called after every send with all bytes received on the connection so far; the pieces it
    // returns arrive one by one, each as its own arrival. None returned: no answer (yet).
    std::function<std::vector<std::string>(const std::string& received)> answer;
    // After answering with at least one piece, the server closes its side.
    bool closeAfterAnswer = false;
    // A send fails the connection with this error (10054, ...) instead of being answered.
    int errorOnSend = 0;
};

class FakeTcpClient : public platform::TcpClient {
public:
    // A host name or address (compared without regard to case) with a server on one port.
    void AddServer(const std::string& host, uint16_t port, FakeTcpServer server);
    // A host that resolves; its ports without a server refuse. Hosts never added give 11001.
    void AddHost(const std::string& host);

    std::unique_ptr<platform::TcpConnection> Connect(const std::string& host, uint16_t port,
                                                     platform::TcpEvents& events) override;

    // Connections made, in order; `i` below counts from 0.
    size_t ConnectionCount() const;
    // Every byte the client sent on it, as it went over the wire.
    std::string Received(size_t i) const;
    bool ClosedByClient(size_t i) const;

    // The server's side, by hand. Ignored once the client has closed or the connection ended.
    void Accept(size_t i);
    void Answer(size_t i, const std::string& bytes);
    void Fail(size_t i, int number);

    struct Line;

private:
    std::shared_ptr<Line> LineAt(size_t i) const;
    mutable std::mutex mutex_;
    std::map<std::string, std::map<uint16_t, FakeTcpServer>> hosts_;  // upper-case host
    std::vector<std::shared_ptr<Line>> lines_;
};

}  // namespace updexar::fakes
