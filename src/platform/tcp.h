// Outgoing TCP connections. Their events come on a thread of the connection's own, so a caller
// with a user-interface thread hands them over to it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace updexar::platform {

// Socket error numbers as the classic TCP control reported them (the Winsock numbers, plus the
// control's own for misuse).
enum TcpErrorNumber : int {
    TcpErrCanceled = 10004,
    TcpErrAddressNotAvailable = 10049,
    TcpErrNetworkUnreachable = 10051,
    TcpErrConnectionAborted = 10053,
    TcpErrConnectionReset = 10054,
    TcpErrNoBufferSpace = 10055,
    TcpErrTimedOut = 10060,
    TcpErrConnectionRefused = 10061,
    TcpErrHostNotFound = 11001,
    TcpErrHostNotFoundTryAgain = 11002,
    TcpErrNoData = 11004,
    TcpErrBadState = 40006,
    TcpErrInvalidOp = 40020,
    TcpErrOutOfRange = 40021,
};

// The description users and log lines see for a socket error number.
std::string TcpErrorDescription(int number);

// What happens on a connection. Calls come one at a time, on any thread, in this order:
// OnConnected, any number of OnData, then at most one of OnError and OnClosed, after which
// nothing follows. A failed connect gives OnError without OnConnected.
class TcpEvents {
public:
    virtual ~TcpEvents() = default;
    virtual void OnConnected() = 0;
    // The bytes as they came off the wire; never empty.
    virtual void OnData(std::string bytes) = 0;
    virtual void OnError(int number, std::string description) = 0;
    // The other side closed the connection in good order.
    virtual void OnClosed() = 0;
};

class TcpConnection {
public:
    // Closes the connection.
    virtual ~TcpConnection() = default;
    // Bytes to send, in order; kept until the connection is made.
    virtual void Send(std::string bytes) = 0;
    // Ends the connection at whatever stage it is, also while connecting. When it returns, no
    // event is running and none will come. Calling it twice is harmless; calling it from inside
    // one of the connection's own events is not allowed.
    virtual void Close() = 0;
};

class TcpClient {
public:
    virtual ~TcpClient() = default;
    // Starts connecting to a host name or dotted address. Network failures, a name that does not
    // resolve among them, come as OnError, possibly before this returns. `events` must outlive
    // the connection.
    virtual std::unique_ptr<TcpConnection> Connect(const std::string& host, uint16_t port, TcpEvents& events) = 0;
};

}  // namespace updexar::platform
