#include "win32/vek_server.h"

#include <ws2tcpip.h>

#include <algorithm>
#include <string>
#include <vector>

namespace updexar::win32 {

namespace {

constexpr int64_t kStopCheckMs = 250;
// Under Wine each socket handed to WSAPoll costs work in the Wine server, and a thousand silent
// connections polled in every round made every other client wait ten times as long. A connection
// that has sent nothing for kQuietAfterMs since it came is looked at only once every kSweepMs:
// what a quiet client sends then waits that much longer, while clients that send their request
// as they connect, as ours do, never become quiet. Deadlines still end quiet connections on time.
constexpr int64_t kQuietAfterMs = 50;
constexpr int64_t kSweepMs = 100;

bool SetNonBlocking(SOCKET s) {
    u_long on = 1;
    return ioctlsocket(s, FIONBIO, &on) == 0;
}

vek::IoResult FromWinsock(int n) {
    if (n > 0) return {vek::IoResult::Moved, static_cast<size_t>(n)};
    if (n == 0) return {vek::IoResult::End};
    const int error = WSAGetLastError();
    if (error == WSAEWOULDBLOCK) return {vek::IoResult::WouldBlock};
    if (error == WSAEINTR) return {vek::IoResult::Interrupted};
    return {vek::IoResult::Failed};
}

}  // namespace

struct VekServer::Connection {
    Connection(SOCKET sock, const vek::ServiceCore& core, uint64_t ticket, int64_t now)
        : s(sock), vek(core, ticket, now), accepted(now) {}
    SOCKET s;
    vek::Connection vek;
    int64_t accepted;
    bool heard = false;  // a byte or the end of the stream came
};

VekServer::VekServer(const vek::ServiceCore& core, platform::Clock& clock, size_t maxConnections)
    : core_(core), clock_(clock), max_(maxConnections), pool_(core) {
    WSADATA data;
    started_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    if (started_ && !MakeWakePair()) {
        WSACleanup();
        started_ = false;
    }
    mailbox_ = std::make_shared<vek::CheckMailbox>([s = wakeSend_] {
        // One byte is enough; when the pair is full the loop is awake already.
        send(s, "w", 1, 0);
    });
}

VekServer::~VekServer() {
    mailbox_->Close();
    for (auto& entry : connections_) closesocket(entry.second->s);
    connections_.clear();
    if (listener_ != INVALID_SOCKET) closesocket(listener_);
    if (wakeSend_ != INVALID_SOCKET) closesocket(wakeSend_);
    if (wakeReceive_ != INVALID_SOCKET) closesocket(wakeReceive_);
    if (started_) WSACleanup();
}

// Windows has no socketpair; a connection over loopback is the nearest thing WSAPoll can watch.
bool VekServer::MakeWakePair() {
    const SOCKET server = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (server == INVALID_SOCKET) return false;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    bool made = bind(server, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
                listen(server, 1) == 0 && getsockname(server, reinterpret_cast<sockaddr*>(&address), &length) == 0;
    if (made) {
        wakeSend_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        made = wakeSend_ != INVALID_SOCKET &&
               connect(wakeSend_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    }
    if (made) {
        wakeReceive_ = accept(server, nullptr, nullptr);
        made = wakeReceive_ != INVALID_SOCKET && SetNonBlocking(wakeReceive_) && SetNonBlocking(wakeSend_);
    }
    closesocket(server);
    if (made) {
        BOOL noDelay = TRUE;
        setsockopt(wakeSend_, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay), sizeof noDelay);
        return true;
    }
    if (wakeSend_ != INVALID_SOCKET) closesocket(wakeSend_);
    if (wakeReceive_ != INVALID_SOCKET) closesocket(wakeReceive_);
    wakeSend_ = wakeReceive_ = INVALID_SOCKET;
    return false;
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
    std::vector<WSAPOLLFD> polled, quiet;
    std::vector<uint64_t> order, quietOrder;
    int64_t nextSweep = 0;
    auto serve = [this](const WSAPOLLFD& p, uint64_t ticket, int64_t now) {
        auto it = connections_.find(ticket);
        if (it == connections_.end()) return;
        Connection& c = *it->second;
        if ((p.revents & (POLLRDNORM | POLLHUP | POLLERR | POLLNVAL)) && !Read(c, now)) return CloseConnection(ticket);
        Progress(c, now);
    };
    while (!stop.load()) {
        int64_t now = clock_.MonotonicMs();
        int64_t wait = kStopCheckMs;
        polled.assign({{listener_, POLLRDNORM, 0}, {wakeReceive_, POLLRDNORM, 0}});
        order.clear();
        quiet.clear();
        quietOrder.clear();
        for (auto& [ticket, c] : connections_) {
            wait = std::min(wait, std::max<int64_t>(0, c->vek.Deadline() - now));
            WSAPOLLFD p{};
            p.fd = c->s;
            if (c->vek.WantsRead()) p.events |= POLLRDNORM;
            if (c->vek.WantsWrite()) p.events |= POLLWRNORM;
            const bool isQuiet = !c->heard && now - c->accepted >= kQuietAfterMs;
            (isQuiet ? quiet : polled).push_back(p);
            (isQuiet ? quietOrder : order).push_back(ticket);
        }
        // The quiet ones are only looked at, never waited on: a wait registers every socket in
        // it with the Wine server.
        if (!quiet.empty() && now >= nextSweep) {
            nextSweep = now + kSweepMs;
            if (WSAPoll(quiet.data(), static_cast<ULONG>(quiet.size()), 0) > 0)
                for (size_t i = 0; i < quiet.size(); ++i)
                    if (quiet[i].revents) serve(quiet[i], quietOrder[i], now);
        }
        if (!quiet.empty()) wait = std::min(wait, std::max<int64_t>(0, nextSweep - now));
        const int ready = WSAPoll(polled.data(), static_cast<ULONG>(polled.size()), static_cast<INT>(wait));
        if (ready == SOCKET_ERROR) {
            // Nothing sensible to do but not to spin.
            Sleep(10);
            continue;
        }
        now = clock_.MonotonicMs();
        if (polled[1].revents & POLLRDNORM) TakeResults(now);
        for (size_t i = 2; i < polled.size(); ++i) serve(polled[i], order[i - 2], now);
        // Connections that were not ready may still have reached their deadline.
        std::vector<uint64_t> due;
        for (auto& [ticket, c] : connections_) {
            if (c->vek.Deadline() <= now) due.push_back(ticket);
        }
        for (uint64_t ticket : due) {
            auto it = connections_.find(ticket);
            if (it == connections_.end()) continue;
            it->second->vek.OnTime(now);
            Progress(*it->second, now);
        }
        if (polled[0].revents & POLLRDNORM) Accept(now);
    }
}

void VekServer::TakeResults(int64_t now) {
    char drain[256];
    while (recv(wakeReceive_, drain, sizeof drain, 0) > 0) {
    }
    for (auto& result : mailbox_->Take()) {
        auto it = connections_.find(result.ticket);
        if (it == connections_.end()) continue;  // the connection went meanwhile
        it->second->vek.OnChecked(std::move(result.answer), now);
        Progress(*it->second, now);
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
        const uint64_t ticket = ++tickets_;
        auto made = std::make_unique<Connection>(s, core_, ticket, now);
        Connection& c = *made;
        connections_[ticket] = std::move(made);
        // The request often came with the connection.
        if (!Read(c, now)) {
            CloseConnection(ticket);
            continue;
        }
        Progress(c, now);
    }
}

bool VekServer::Read(Connection& c, int64_t now) {
    const SOCKET s = c.s;
    bool& heard = c.heard;
    return c.vek.Read(
        [s, &heard](char* buffer, size_t size) {
            const vek::IoResult got = FromWinsock(recv(s, buffer, static_cast<int>(size), 0));
            heard = heard || got.kind == vek::IoResult::Moved || got.kind == vek::IoResult::End;
            return got;
        },
        now);
}

void VekServer::Progress(Connection& c, int64_t now) {
    const SOCKET s = c.s;
    if (!c.vek.Write([s](const char* data,
                         size_t size) { return FromWinsock(send(s, data, static_cast<int>(size), 0)); },
                     [s] { shutdown(s, SD_SEND); }, now) ||
        c.vek.Finished()) {
        CloseConnection(c.vek.Ticket());
        return;
    }
    c.vek.SyncCheck(pool_, mailbox_);
}

void VekServer::CloseConnection(uint64_t ticket) {
    auto it = connections_.find(ticket);
    if (it == connections_.end()) return;
    it->second->vek.Abandon(pool_, mailbox_.get());
    closesocket(it->second->s);
    connections_.erase(it);
}

}  // namespace updexar::win32
