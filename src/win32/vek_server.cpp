#include "win32/vek_server.h"

#include <ws2tcpip.h>

#include <algorithm>
#include <string>
#include <vector>

namespace updexar::win32 {

namespace {

constexpr size_t kReadBudget = 64 * 1024;
constexpr int64_t kStopCheckMs = 250;

bool SetNonBlocking(SOCKET s) {
    u_long on = 1;
    return ioctlsocket(s, FIONBIO, &on) == 0;
}

}  // namespace

struct VekServer::Connection {
    Connection(SOCKET sock, const vek::ServiceCore& core, int64_t now) : s(sock), session(core, now) {}
    SOCKET s;
    vek::Session session;
    size_t sent = 0;
    bool peerClosed = false;
    bool failed = false;
};

VekServer::VekServer(const vek::ServiceCore& core, platform::Clock& clock, size_t maxConnections)
    : core_(core), clock_(clock), max_(maxConnections) {
    WSADATA data;
    started_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

VekServer::~VekServer() {
    for (auto& entry : connections_) closesocket(entry.first);
    connections_.clear();
    if (listener_ != INVALID_SOCKET) closesocket(listener_);
    if (started_) WSACleanup();
}

bool VekServer::Listen(uint16_t port, int& error) {
    if (!started_) {
        error = WSANOTINITIALISED;
        return false;
    }
    listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (listener_ == INVALID_SOCKET) {
        error = WSAGetLastError();
        return false;
    }
    // A second copy (the update run may start the program while the service runs) must fail to
    // bind rather than share the port.
    BOOL exclusive = TRUE;
    setsockopt(listener_, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&exclusive), sizeof exclusive);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    if (bind(listener_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener_, SOMAXCONN) != 0 || !SetNonBlocking(listener_)) {
        error = WSAGetLastError();
        closesocket(listener_);
        listener_ = INVALID_SOCKET;
        return false;
    }
    return true;
}

void VekServer::Run(const std::atomic<bool>& stop) {
    std::vector<WSAPOLLFD> polled;
    std::vector<SOCKET> order;
    while (!stop.load()) {
        int64_t now = clock_.MonotonicMs();
        int64_t wait = kStopCheckMs;
        polled.clear();
        order.clear();
        WSAPOLLFD listen{};
        listen.fd = listener_;
        listen.events = POLLRDNORM;
        polled.push_back(listen);
        for (auto& [s, c] : connections_) {
            wait = std::min(wait, std::max<int64_t>(0, c->session.Deadline() - now));
            WSAPOLLFD p{};
            p.fd = s;
            p.events = 0;
            if (!c->peerClosed) p.events |= POLLRDNORM;
            if (c->session.CurrentPhase() == vek::Session::Phase::Replying) p.events |= POLLWRNORM;
            polled.push_back(p);
            order.push_back(s);
        }
        const int ready = WSAPoll(polled.data(), static_cast<ULONG>(polled.size()), static_cast<INT>(wait));
        if (ready == SOCKET_ERROR) {
            // Nothing sensible to do but not to spin.
            Sleep(10);
            continue;
        }
        now = clock_.MonotonicMs();
        for (size_t i = 1; i < polled.size(); ++i) {
            const SOCKET s = order[i - 1];
            auto it = connections_.find(s);
            if (it == connections_.end()) continue;
            Connection& c = *it->second;
            const SHORT got = polled[i].revents;
            if (got & (POLLRDNORM | POLLHUP | POLLERR | POLLNVAL)) {
                if (!Read(c, now)) {
                    CloseConnection(s);
                    continue;
                }
            }
            Progress(c, now);
        }
        // Connections that were not ready may still have reached their deadline.
        std::vector<SOCKET> due;
        for (auto& [s, c] : connections_) {
            if (c->session.Deadline() <= now) due.push_back(s);
        }
        for (SOCKET s : due) {
            auto it = connections_.find(s);
            if (it == connections_.end()) continue;
            it->second->session.OnTime(now);
            Progress(*it->second, now);
        }
        if (polled[0].revents & POLLRDNORM) Accept(now);
    }
}

void VekServer::Accept(int64_t now) {
    for (int i = 0; i < 64; ++i) {
        const SOCKET s = accept(listener_, nullptr, nullptr);
        if (s == INVALID_SOCKET) return;
        if (connections_.size() >= max_ || !SetNonBlocking(s)) {
            closesocket(s);
            continue;
        }
        BOOL noDelay = TRUE;
        setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay), sizeof noDelay);
        auto made = std::make_unique<Connection>(s, core_, now);
        Connection& c = *made;
        connections_[s] = std::move(made);
        // The request often came with the connection.
        if (!Read(c, now)) {
            CloseConnection(s);
            continue;
        }
        Progress(c, now);
    }
}

bool VekServer::Read(Connection& c, int64_t now) {
    if (c.peerClosed) return true;
    char buffer[4096];
    std::string arrival;
    size_t total = 0;
    bool eof = false;
    while (total < kReadBudget) {
        const int got = recv(c.s, buffer, sizeof buffer, 0);
        if (got > 0) {
            total += static_cast<size_t>(got);
            if (c.session.CurrentPhase() == vek::Session::Phase::Reading && arrival.size() <= vek::kMaxRequestBytes)
                arrival.append(buffer, static_cast<size_t>(got));
            continue;
        }
        if (got == 0) {
            eof = true;
            break;
        }
        if (WSAGetLastError() == WSAEWOULDBLOCK) break;
        return false;
    }
    if (!arrival.empty()) c.session.OnArrival(arrival, now);
    if (eof) {
        c.peerClosed = true;
        c.session.OnPeerClosed(now);
    }
    return true;
}

void VekServer::Progress(Connection& c, int64_t now) {
    using Phase = vek::Session::Phase;
    if (c.session.CurrentPhase() == Phase::Replying) {
        const std::string& reply = c.session.Reply();
        while (c.sent < reply.size()) {
            const int put = send(c.s, reply.data() + c.sent, static_cast<int>(reply.size() - c.sent), 0);
            if (put > 0) {
                c.sent += static_cast<size_t>(put);
            } else if (WSAGetLastError() == WSAEWOULDBLOCK) {
                break;
            } else {
                CloseConnection(c.s);
                return;
            }
        }
        if (c.sent == reply.size()) {
            shutdown(c.s, SD_SEND);
            c.session.OnReplySent(now);
        }
    }
    if (c.session.CurrentPhase() == Phase::Done) CloseConnection(c.s);
}

void VekServer::CloseConnection(SOCKET s) {
    closesocket(s);
    connections_.erase(s);
}

}  // namespace updexar::win32
