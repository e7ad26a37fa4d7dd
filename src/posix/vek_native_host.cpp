#include "posix/vek_native_host.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <functional>
#include <queue>
#include <unordered_map>

#include "platform/clock.h"
#include "server/vek_connection.h"

namespace updexar::posix {
namespace {

constexpr int kAcceptBudget = 64;
// When the process is out of descriptors, accepting pauses this long instead of spinning.
constexpr int64_t kAcceptPauseMs = 50;

struct Connection {
    Connection(int f, uint64_t ticket, const vek::ServiceCore& core, int64_t now) : fd(f), vek(core, ticket, now) {}
    int fd;
    vek::Connection vek;
    uint32_t interest = EPOLLIN;
    int64_t scheduled = -1;
};

vek::IoResult FromErrno(ssize_t n) {
    if (n > 0) return {vek::IoResult::Moved, static_cast<size_t>(n)};
    if (n == 0) return {vek::IoResult::End};
    if (errno == EINTR) return {vek::IoResult::Interrupted};
    if (errno == EAGAIN || errno == EWOULDBLOCK) return {vek::IoResult::WouldBlock};
    return {vek::IoResult::Failed};
}

struct Timer {
    int64_t at;
    int fd;
    uint64_t ticket;
    bool operator>(const Timer& other) const { return at > other.at; }
};

class Worker {
public:
    Worker(const vek::ServiceCore& core, vek::CheckPool& pool, int listener, int stopEvent, size_t maxConnections,
           std::atomic<size_t>& open)
        : core_(core), pool_(pool), listener_(listener), stopEvent_(stopEvent), max_(maxConnections), open_(open) {}

    ~Worker() {
        mailbox_->Close();
        if (checked_ >= 0) close(checked_);
    }

    void Run() {
        epoll_ = epoll_create1(EPOLL_CLOEXEC);
        checked_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        if (epoll_ < 0 || checked_ < 0) return;
        // Lookup threads wake this loop through the eventfd; the loop never waits on a lookup.
        mailbox_ = std::make_shared<vek::CheckMailbox>([fd = checked_] {
            const uint64_t one = 1;
            [[maybe_unused]] const ssize_t put = write(fd, &one, sizeof one);
        });
        epoll_event ev{};
        ev.events = EPOLLIN;
        ev.data.fd = stopEvent_;
        epoll_ctl(epoll_, EPOLL_CTL_ADD, stopEvent_, &ev);
        ev.data.fd = checked_;
        epoll_ctl(epoll_, EPOLL_CTL_ADD, checked_, &ev);
        WatchListener(true);

        epoll_event events[256];
        for (;;) {
            int64_t now = clock_.MonotonicMs();
            int timeout = 1000;
            if (!timers_.empty()) timeout = static_cast<int>(std::clamp<int64_t>(timers_.top().at - now, 0, 1000));
            if (!listening_) timeout = std::min<int>(timeout, static_cast<int>(kAcceptPauseMs));
            const int n = epoll_wait(epoll_, events, 256, timeout);
            if (n < 0 && errno != EINTR) break;
            now = clock_.MonotonicMs();
            bool stop = false;
            for (int i = 0; i < n; ++i) {
                const int fd = events[i].data.fd;
                if (fd == stopEvent_) {
                    stop = true;
                } else if (fd == checked_) {
                    TakeResults(now);
                } else if (fd == listener_) {
                    Accept(now);
                } else {
                    auto it = connections_.find(fd);
                    if (it == connections_.end()) continue;
                    Connection& c = *it->second;
                    if (events[i].events & (EPOLLIN | EPOLLHUP | EPOLLERR)) {
                        if (!Read(c, now)) {
                            Close(c);
                            continue;
                        }
                    }
                    Progress(c, now);
                }
            }
            if (stop) break;
            Expire(now);
            if (!listening_ && now >= resumeAcceptAt_) WatchListener(true);
        }
        while (!connections_.empty()) Close(*connections_.begin()->second);
        close(epoll_);
    }

private:
    void WatchListener(bool on) {
        epoll_event ev{};
        ev.events = EPOLLIN | EPOLLEXCLUSIVE;
        ev.data.fd = listener_;
        epoll_ctl(epoll_, on ? EPOLL_CTL_ADD : EPOLL_CTL_DEL, listener_, on ? &ev : nullptr);
        listening_ = on;
    }

    void Accept(int64_t now) {
        for (int i = 0; i < kAcceptBudget; ++i) {
            const int fd = accept4(listener_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
            if (fd < 0) {
                if (errno == EINTR || errno == ECONNABORTED) continue;
                if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
                    WatchListener(false);
                    resumeAcceptAt_ = now + kAcceptPauseMs;
                }
                return;
            }
            if (open_.load() >= max_) {
                close(fd);
                continue;
            }
            ++open_;
            const uint64_t ticket = ++tickets_;
            auto made = std::make_unique<Connection>(fd, ticket, core_, now);
            Connection& c = *made;
            connections_[fd] = std::move(made);
            byTicket_[ticket] = fd;
            epoll_event ev{};
            ev.events = c.interest;
            ev.data.fd = fd;
            epoll_ctl(epoll_, EPOLL_CTL_ADD, fd, &ev);
            // The request often came with the connection; no need to wait for another wake-up.
            if (!Read(c, now)) {
                Close(c);
                continue;
            }
            Progress(c, now);
        }
    }

    bool Read(Connection& c, int64_t now) {
        return c.vek.Read([fd = c.fd](char* buffer, size_t size) { return FromErrno(recv(fd, buffer, size, 0)); }, now);
    }

    void TakeResults(int64_t now) {
        uint64_t count = 0;
        [[maybe_unused]] const ssize_t got = read(checked_, &count, sizeof count);
        for (auto& result : mailbox_->Take()) {
            auto found = byTicket_.find(result.ticket);
            if (found == byTicket_.end()) continue;  // the connection went meanwhile
            Connection& c = *connections_.at(found->second);
            c.vek.OnChecked(std::move(result.answer), now);
            Progress(c, now);
        }
    }

    void SetInterest(Connection& c, uint32_t interest) {
        if (interest == c.interest) return;
        epoll_event ev{};
        ev.events = interest;
        ev.data.fd = c.fd;
        epoll_ctl(epoll_, EPOLL_CTL_MOD, c.fd, &ev);
        c.interest = interest;
    }

    void Progress(Connection& c, int64_t now) {
        const int fd = c.fd;
        if (!c.vek.Write([fd](const char* data, size_t size) { return FromErrno(send(fd, data, size, MSG_NOSIGNAL)); },
                         [fd] { shutdown(fd, SHUT_WR); }, now) ||
            c.vek.Finished()) {
            Close(c);
            return;
        }
        c.vek.SyncCheck(pool_, mailbox_);
        uint32_t interest = c.vek.WantsRead() ? static_cast<uint32_t>(EPOLLIN) : 0u;
        if (c.vek.WantsWrite()) interest |= EPOLLOUT;
        SetInterest(c, interest);
        const int64_t deadline = c.vek.Deadline();
        if (deadline != c.scheduled) {
            timers_.push({deadline, c.fd, c.vek.Ticket()});
            c.scheduled = deadline;
        }
    }

    void Expire(int64_t now) {
        while (!timers_.empty() && timers_.top().at <= now) {
            const Timer t = timers_.top();
            timers_.pop();
            auto it = connections_.find(t.fd);
            if (it == connections_.end() || it->second->vek.Ticket() != t.ticket) continue;
            Connection& c = *it->second;
            if (c.scheduled != t.at) continue;  // superseded by a later deadline
            c.scheduled = -1;
            c.vek.OnTime(now);
            Progress(c, now);
        }
    }

    void Close(Connection& c) {
        const int fd = c.fd;
        c.vek.Abandon(pool_, mailbox_.get());
        byTicket_.erase(c.vek.Ticket());
        epoll_ctl(epoll_, EPOLL_CTL_DEL, fd, nullptr);
        --open_;
        close(fd);
        connections_.erase(fd);
    }

    const vek::ServiceCore& core_;
    vek::CheckPool& pool_;
    std::shared_ptr<vek::CheckMailbox> mailbox_ = std::make_shared<vek::CheckMailbox>(nullptr);
    int checked_ = -1;
    int listener_;
    int stopEvent_;
    size_t max_;
    std::atomic<size_t>& open_;
    int epoll_ = -1;
    bool listening_ = false;
    int64_t resumeAcceptAt_ = 0;
    uint64_t tickets_ = 0;
    platform::StdClock clock_;
    std::unordered_map<int, std::unique_ptr<Connection>> connections_;
    std::unordered_map<uint64_t, int> byTicket_;
    std::priority_queue<Timer, std::vector<Timer>, std::greater<Timer>> timers_;
};

}  // namespace

NativeHost::NativeHost(const vek::ServiceCore& core, NativeHostOptions options)
    : core_(core), options_(std::move(options)) {}

NativeHost::~NativeHost() { Stop(); }

bool NativeHost::Start(std::string& error) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(options_.port);
    if (inet_pton(AF_INET, options_.address.c_str(), &address.sin_addr) != 1) {
        error = "not an IPv4 address: " + options_.address;
        return false;
    }
    listener_ = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (listener_ < 0) {
        error = std::string("socket: ") + std::strerror(errno);
        return false;
    }
    const int one = 1;
    setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(listener_, 4096) != 0) {
        error = std::string("bind/listen on port ") + std::to_string(options_.port) + ": " + std::strerror(errno);
        close(listener_);
        listener_ = -1;
        return false;
    }
    socklen_t length = sizeof address;
    getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    stopEvent_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (stopEvent_ < 0) {
        error = std::string("eventfd: ") + std::strerror(errno);
        close(listener_);
        listener_ = -1;
        return false;
    }
    int threads = options_.threads > 0 ? options_.threads : static_cast<int>(std::thread::hardware_concurrency());
    threads = std::clamp(threads, 1, 64);
    pool_ = std::make_unique<vek::CheckPool>(core_);
    for (int i = 0; i < threads; ++i) workers_.emplace_back([this] { Work(); });
    return true;
}

void NativeHost::Work() {
    Worker worker(core_, *pool_, listener_, stopEvent_, options_.maxConnections, open_);
    worker.Run();
}

void NativeHost::Stop() {
    if (stopEvent_ >= 0) {
        const uint64_t one = 1;
        // Left unread, so every worker sees it.
        [[maybe_unused]] const ssize_t put = write(stopEvent_, &one, sizeof one);
    }
    for (auto& t : workers_) t.join();
    workers_.clear();
    pool_.reset();
    if (listener_ >= 0) close(listener_);
    if (stopEvent_ >= 0) close(stopEvent_);
    listener_ = stopEvent_ = -1;
}

}  // namespace updexar::posix
