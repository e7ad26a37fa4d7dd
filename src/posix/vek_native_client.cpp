#include "posix/vek_native_client.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

namespace updexar::posix {
namespace {

using Clock = std::chrono::steady_clock;

sockaddr_in Loopback(uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

int64_t MsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

bool WaitFor(int fd, short events, Clock::time_point start, int timeoutMs) {
    const int64_t left = timeoutMs - MsSince(start);
    if (left <= 0) return false;
    pollfd p{fd, events, 0};
    return poll(&p, 1, static_cast<int>(left)) == 1;
}

}  // namespace

bool ExchangeOnce(uint16_t port, const std::vector<std::string>& pieces, int pauseMs, bool halfClose, int timeoutMs,
                  std::string& answer) {
    answer.clear();
    const auto start = Clock::now();
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    const int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    const sockaddr_in address = Loopback(port);
    bool ok = connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    for (size_t i = 0; ok && i < pieces.size(); ++i) {
        if (i > 0 && pauseMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs));
        ok = send(fd, pieces[i].data(), pieces[i].size(), MSG_NOSIGNAL) == static_cast<ssize_t>(pieces[i].size());
    }
    if (ok && halfClose) shutdown(fd, SHUT_WR);
    while (ok) {
        if (!WaitFor(fd, POLLIN, start, timeoutMs)) {
            ok = false;
            break;
        }
        char buffer[512];
        const ssize_t got = recv(fd, buffer, sizeof buffer, 0);
        if (got > 0) {
            answer.append(buffer, static_cast<size_t>(got));
        } else if (got == 0) {
            break;
        } else if (errno != EINTR) {
            ok = false;
        }
    }
    close(fd);
    return ok;
}

IdleConnections::~IdleConnections() { CloseAll(); }

size_t IdleConnections::Open(uint16_t port, size_t count) {
    const sockaddr_in address = Loopback(port);
    for (size_t i = 0; i < count; ++i) {
        const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0) break;
        if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
            close(fd);
            break;
        }
        fds_.push_back(fd);
    }
    return fds_.size();
}

size_t IdleConnections::ClosedByPeer() {
    size_t closed = 0;
    for (int fd : fds_) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 0) == 1) {
            char c;
            if (recv(fd, &c, 1, MSG_PEEK | MSG_DONTWAIT) <= 0) ++closed;
        }
    }
    return closed;
}

void IdleConnections::CloseAll() {
    for (int fd : fds_) close(fd);
    fds_.clear();
}

namespace {

struct LoadClient {
    int fd = -1;
    Clock::time_point started;
    std::string answer;
};

}  // namespace

LoadResult RunLoad(uint16_t port, int clients, int durationMs, const std::string& request,
                   const std::string& expectedAnswer) {
    LoadResult result;
    const int epoll = epoll_create1(EPOLL_CLOEXEC);
    if (epoll < 0) return result;
    const sockaddr_in address = Loopback(port);
    std::vector<LoadClient> all(static_cast<size_t>(clients));
    const auto begin = Clock::now();
    const auto end = begin + std::chrono::milliseconds(durationMs);

    // A fresh connection, the request sent as soon as the connection stands (one piece, as the
    // real client sends it).
    auto start = [&](size_t i) {
        LoadClient& c = all[i];
        c.answer.clear();
        c.started = Clock::now();
        c.fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (c.fd < 0) return false;
        const int one = 1;
        setsockopt(c.fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        const int rc = connect(c.fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
        if (rc != 0 && errno != EINPROGRESS) {
            close(c.fd);
            c.fd = -1;
            return false;
        }
        epoll_event ev{};
        ev.events = EPOLLOUT;
        ev.data.u64 = i;
        epoll_ctl(epoll, EPOLL_CTL_ADD, c.fd, &ev);
        return true;
    };
    auto finish = [&](size_t i, bool ok) {
        LoadClient& c = all[i];
        epoll_ctl(epoll, EPOLL_CTL_DEL, c.fd, nullptr);
        close(c.fd);
        c.fd = -1;
        if (ok && c.answer == expectedAnswer) {
            ++result.checks;
            result.latenciesMs.push_back(std::chrono::duration<double, std::milli>(Clock::now() - c.started).count());
        } else {
            ++result.failures;
        }
    };

    size_t active = 0;
    for (size_t i = 0; i < all.size(); ++i) active += start(i) ? 1 : 0;
    epoll_event events[256];
    // A check still open this long after the end counts as failed, so a stuck service cannot
    // hold the run.
    const auto giveUp = end + std::chrono::seconds(5);
    while (active > 0 && Clock::now() < giveUp) {
        const int n = epoll_wait(epoll, events, 256, 100);
        if (n < 0 && errno != EINTR) break;
        for (int k = 0; k < n; ++k) {
            const size_t i = events[k].data.u64;
            LoadClient& c = all[i];
            if (c.fd < 0) continue;
            bool done = false;
            bool ok = true;
            if (events[k].events & EPOLLOUT) {
                int error = 0;
                socklen_t length = sizeof error;
                getsockopt(c.fd, SOL_SOCKET, SO_ERROR, &error, &length);
                if (error != 0 ||
                    send(c.fd, request.data(), request.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(request.size())) {
                    done = true;
                    ok = false;
                } else {
                    epoll_event ev{};
                    ev.events = EPOLLIN;
                    ev.data.u64 = i;
                    epoll_ctl(epoll, EPOLL_CTL_MOD, c.fd, &ev);
                }
            } else {
                char buffer[512];
                for (;;) {
                    const ssize_t got = recv(c.fd, buffer, sizeof buffer, 0);
                    if (got > 0) {
                        c.answer.append(buffer, static_cast<size_t>(got));
                        continue;
                    }
                    if (got < 0 && errno == EINTR) continue;
                    if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
                    done = true;
                    ok = got == 0;
                    break;
                }
            }
            if (!done) continue;
            finish(i, ok);
            --active;
            if (Clock::now() < end && start(i)) ++active;
        }
    }
    for (size_t i = 0; i < all.size(); ++i) {
        if (all[i].fd >= 0) finish(i, false);
    }
    result.seconds = std::chrono::duration<double>(Clock::now() - begin).count();
    close(epoll);
    return result;
}

}  // namespace updexar::posix
