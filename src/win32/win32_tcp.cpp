#include "win32/win32_tcp.h"

#include <winsock2.h>
#include <windows.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <mutex>
#include <thread>

#include "win32/wide.h"

namespace updexar::win32 {
namespace {

// One arrival is handed over in pieces of at most this size; Winsock signals the rest again.
constexpr size_t kMaxArrival = 64 * 1024;

// Winsock takes host names in the ANSI code page.
std::string ToAnsi(const std::string& utf8) {
    const std::wstring wide = Wide(utf8);
    if (wide.empty()) return {};
    const int n = WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr,
                                      nullptr);
    if (n <= 0) return {};
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n, nullptr, nullptr);
    return out;
}

// Everything the worker needs. The worker holds its own reference, so even a connection
// destroyed from inside one of its events leaves the worker nothing dangling.
struct Shared {
    Shared(std::string h, uint16_t p, platform::TcpEvents& e) : host(std::move(h)), port(p), events(e) {
        WSADATA data{};
        startError = WSAStartup(MAKEWORD(2, 2), &data);
        // Auto-reset: a Send or Close that comes while the worker is busy keeps it set for the
        // next wait, so no wake-up is lost.
        wake = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    }
    ~Shared() {
        if (wake) CloseHandle(wake);
        if (startError == 0) WSACleanup();
    }
    Shared(const Shared&) = delete;
    Shared& operator=(const Shared&) = delete;

    bool Stopping() {
        std::lock_guard<std::mutex> lock(mutex);
        return closing;
    }

    const std::string host;
    const uint16_t port;
    platform::TcpEvents& events;
    int startError = 0;
    HANDLE wake = nullptr;
    std::mutex mutex;
    bool closing = false;
    std::string outgoing;
};

class Worker {
public:
    explicit Worker(std::shared_ptr<Shared> shared) : s_(std::move(shared)) {}

    void Run() {
        if (s_->startError != 0) return Fail(s_->startError);
        if (!s_->wake) return Fail(static_cast<int>(platform::TcpErrNoBufferSpace));
        in_addr address{};
        int error = 0;
        if (!Resolve(address, error)) return Fail(error);
        if (s_->Stopping()) return;

        socket_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        if (socket_ == INVALID_SOCKET) return Fail(WSAGetLastError());
        net_ = WSACreateEvent();
        if (net_ == WSA_INVALID_EVENT) return Fail(WSAGetLastError());
        // Also makes the socket non-blocking, so connect returns at once and the wait below can
        // be ended by Close.
        if (WSAEventSelect(socket_, net_, FD_CONNECT | FD_READ | FD_WRITE | FD_CLOSE) != 0) {
            return Fail(WSAGetLastError());
        }
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(s_->port);
        to.sin_addr = address;
        if (connect(socket_, reinterpret_cast<const sockaddr*>(&to), sizeof to) == SOCKET_ERROR) {
            const int e = WSAGetLastError();
            if (e != WSAEWOULDBLOCK) return Fail(e);
        }
        Loop();
    }

    ~Worker() {
        if (socket_ != INVALID_SOCKET) closesocket(socket_);
        if (net_ != WSA_INVALID_EVENT) WSACloseEvent(net_);
    }

private:
    void Loop() {
        bool connected = false;
        WSAEVENT waits[2] = {net_, s_->wake};
        for (;;) {
            if (WSAWaitForMultipleEvents(2, waits, FALSE, WSA_INFINITE, FALSE) == WSA_WAIT_FAILED) {
                return Fail(WSAGetLastError());
            }
            if (s_->Stopping()) return;
            WSANETWORKEVENTS happened{};
            if (WSAEnumNetworkEvents(socket_, net_, &happened) != 0) return Fail(WSAGetLastError());
            int error = 0;
            if (happened.lNetworkEvents & FD_CONNECT) {
                if (happened.iErrorCode[FD_CONNECT_BIT] != 0) return Fail(happened.iErrorCode[FD_CONNECT_BIT]);
                connected = true;
                Raise([](platform::TcpEvents& e) { e.OnConnected(); });
            }
            if ((happened.lNetworkEvents & FD_READ) && !Receive(error)) return Fail(error);
            if (happened.lNetworkEvents & FD_CLOSE) {
                // What the other side sent before closing comes first.
                while (Receive(error) && received_) {
                }
                if (happened.iErrorCode[FD_CLOSE_BIT] != 0) return Fail(happened.iErrorCode[FD_CLOSE_BIT]);
                if (error != 0) return Fail(error);
                return Raise([](platform::TcpEvents& e) { e.OnClosed(); });
            }
            if (connected && !Flush(error)) return Fail(error);
        }
    }

    // Reads what is there now and hands it on. False with error set when the socket failed;
    // received_ tells whether anything came.
    bool Receive(int& error) {
        received_ = false;
        std::string got;
        char buffer[8192];
        while (got.size() < kMaxArrival) {
            const int n = recv(socket_, buffer, sizeof buffer, 0);
            if (n > 0) {
                got.append(buffer, static_cast<size_t>(n));
                continue;
            }
            if (n == SOCKET_ERROR) {
                const int e = WSAGetLastError();
                if (e != WSAEWOULDBLOCK) error = e;
            }
            break;
        }
        if (!got.empty()) {
            received_ = true;
            Raise([&got](platform::TcpEvents& e) { e.OnData(std::move(got)); });
        }
        return error == 0;
    }

    // Sends what is queued; what the socket does not take now waits for its next write signal.
    bool Flush(int& error) {
        std::string pending;
        {
            std::lock_guard<std::mutex> lock(s_->mutex);
            pending.swap(s_->outgoing);
        }
        size_t done = 0;
        while (done < pending.size()) {
            const int chunk = static_cast<int>(std::min<size_t>(pending.size() - done, INT_MAX));
            const int n = send(socket_, pending.data() + done, chunk, 0);
            if (n == SOCKET_ERROR) {
                const int e = WSAGetLastError();
                if (e == WSAEWOULDBLOCK) break;
                error = e;
                return false;
            }
            done += static_cast<size_t>(n);
        }
        if (done < pending.size()) {
            std::lock_guard<std::mutex> lock(s_->mutex);
            s_->outgoing.insert(0, pending, done, std::string::npos);
        }
        return true;
    }

    template <typename Call>
    void Raise(Call call) {
        if (!s_->Stopping()) call(s_->events);
    }

    void Fail(int number) {
        Raise([number](platform::TcpEvents& e) { e.OnError(number, platform::TcpErrorDescription(number)); });
    }

    bool Resolve(in_addr& address, int& error) {
        // An empty name would be taken for this computer, and a NUL would cut the name short.
        if (s_->host.empty() || s_->host.find('\0') != std::string::npos) {
            error = WSAHOST_NOT_FOUND;
            return false;
        }
        const std::string ansi = ToAnsi(s_->host);
        const unsigned long dotted = inet_addr(ansi.c_str());
        if (dotted != INADDR_NONE) {
            address.s_addr = dotted;
            return true;
        }
        // Blocking: a name lookup cannot be cancelled, so Close during one waits for it.
        const hostent* host = gethostbyname(ansi.c_str());
        if (!host || host->h_addrtype != AF_INET || host->h_length != 4 || !host->h_addr_list ||
            !host->h_addr_list[0]) {
            error = WSAGetLastError();
            if (error == 0) error = WSAHOST_NOT_FOUND;
            return false;
        }
        std::memcpy(&address, host->h_addr_list[0], sizeof address);
        return true;
    }

    std::shared_ptr<Shared> s_;
    SOCKET socket_ = INVALID_SOCKET;
    WSAEVENT net_ = WSA_INVALID_EVENT;
    bool received_ = false;
};

class Win32TcpConnection final : public platform::TcpConnection {
public:
    Win32TcpConnection(const std::string& host, uint16_t port, platform::TcpEvents& events)
        : shared_(std::make_shared<Shared>(host, port, events)) {
        try {
            thread_ = std::thread([s = shared_] { Worker(s).Run(); });
        } catch (const std::exception&) {
            events.OnError(platform::TcpErrNoBufferSpace, platform::TcpErrorDescription(platform::TcpErrNoBufferSpace));
        }
    }

    ~Win32TcpConnection() override {
        Close();
        // Only when destroyed from inside its own event: the worker then ends by itself, and
        // raises nothing more, since the connection is marked as closing.
        if (thread_.joinable()) thread_.detach();
    }

    void Send(std::string bytes) override {
        if (bytes.empty()) return;
        {
            std::lock_guard<std::mutex> lock(shared_->mutex);
            if (shared_->closing) return;
            shared_->outgoing += bytes;
        }
        if (shared_->wake) SetEvent(shared_->wake);
    }

    void Close() override {
        {
            std::lock_guard<std::mutex> lock(shared_->mutex);
            shared_->closing = true;
            shared_->outgoing.clear();
        }
        if (shared_->wake) SetEvent(shared_->wake);
        if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
    }

private:
    std::shared_ptr<Shared> shared_;
    std::thread thread_;
};

}  // namespace

std::unique_ptr<platform::TcpConnection> Win32TcpClient::Connect(const std::string& host, uint16_t port,
                                                                 platform::TcpEvents& events) {
    return std::make_unique<Win32TcpConnection>(host, port, events);
}

}  // namespace updexar::win32
