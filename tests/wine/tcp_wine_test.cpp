// The Windows TCP client against plain Winsock servers this test opens on the loopback address.
// Nothing here talks to any other address.
#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "win32/win32_tcp.h"

namespace updexar {
namespace {

constexpr auto kPatience = std::chrono::seconds(15);

struct WinsockUp {
    WinsockUp() {
        WSADATA data{};
        WSAStartup(MAKEWORD(2, 2), &data);
    }
    ~WinsockUp() { WSACleanup(); }
};

// Everything one connection raised, for the test thread to wait on.
class Recorder : public platform::TcpEvents {
public:
    void OnConnected() override { Add("connected"); }
    void OnData(std::string bytes) override { Add("data", bytes); }
    void OnError(int number, std::string description) override {
        Add("error " + std::to_string(number) + " " + description);
    }
    void OnClosed() override { Add("closed"); }

    bool WaitUntil(const std::function<bool(const std::vector<std::string>&, const std::string&)>& done) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, kPatience, [&] { return done(events_, data_); });
    }
    bool WaitForEvent(const std::string& event) {
        return WaitUntil([&](const std::vector<std::string>& events, const std::string&) {
            return std::find(events.begin(), events.end(), event) != events.end();
        });
    }
    std::vector<std::string> Events() {
        std::lock_guard<std::mutex> lock(mutex_);
        return events_;
    }
    std::string Data() {
        std::lock_guard<std::mutex> lock(mutex_);
        return data_;
    }
    bool RaisedOnCallerThread() {
        std::lock_guard<std::mutex> lock(mutex_);
        return onCaller_;
    }

private:
    void Add(const std::string& event, const std::string& bytes = {}) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (std::this_thread::get_id() == caller_) onCaller_ = true;
        events_.push_back(event);
        data_ += bytes;
        changed_.notify_all();
    }
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::string> events_;
    std::string data_;
    std::thread::id caller_ = std::this_thread::get_id();
    bool onCaller_ = false;
};

SOCKET LoopbackListener(int backlog, uint16_t& port) {
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    if (s == INVALID_SOCKET || bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(s, backlog) != 0) {
        ADD_FAILURE() << "no loopback listener: " << WSAGetLastError();
        if (s != INVALID_SOCKET) closesocket(s);
        return INVALID_SOCKET;
    }
    int length = sizeof address;
    getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
    port = ntohs(address.sin_port);
    return s;
}

// Serves connections one after the other: reads until the request is complete, answers it in
// two sends with a pause between, and then either waits for the client to close or closes first.
class LoopbackServer {
public:
    struct Visit {
        std::string request;
        bool sawClientClose = false;
    };

    LoopbackServer(std::string request, std::vector<bool> serverClosesFirst)
        : request_(std::move(request)), plan_(std::move(serverClosesFirst)) {
        listener_ = LoopbackListener(4, port_);
        if (listener_ != INVALID_SOCKET) thread_ = std::thread([this] { Serve(); });
    }
    ~LoopbackServer() {
        if (thread_.joinable()) thread_.join();
        if (listener_ != INVALID_SOCKET) closesocket(listener_);
    }
    uint16_t Port() const { return port_; }
    // Waits until every planned connection has been served.
    std::vector<Visit> Finish() {
        if (thread_.joinable()) thread_.join();
        return visits_;
    }

private:
    void Serve() {
        for (bool closeFirst : plan_) {
            SOCKET s = accept(listener_, nullptr, nullptr);
            if (s == INVALID_SOCKET) return;
            // A client that goes away must not leave the server waiting forever.
            DWORD timeout = 15000;
            setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
            Visit visit;
            char buffer[256];
            while (visit.request.size() < request_.size()) {
                const int n = recv(s, buffer, sizeof buffer, 0);
                if (n <= 0) break;
                visit.request.append(buffer, static_cast<size_t>(n));
            }
            send(s, "first|", 6, 0);
            Sleep(100);
            send(s, "second", 6, 0);
            if (!closeFirst) visit.sawClientClose = recv(s, buffer, sizeof buffer, 0) == 0;
            closesocket(s);
            visits_.push_back(visit);
        }
    }

    std::string request_;
    std::vector<bool> plan_;
    SOCKET listener_ = INVALID_SOCKET;
    uint16_t port_ = 0;
    std::thread thread_;
    std::vector<Visit> visits_;
};

bool HasFullAnswer(const std::vector<std::string>&, const std::string& data) { return data == "first|second"; }

TEST(TcpWine, ConnectsSendsAndReceivesAnAnswerInTwoPiecesOrIsRefused) {
    WinsockUp up;
    LoopbackServer server("HELLO\xE9", {false, true});
    ASSERT_NE(server.Port(), 0);
    win32::Win32TcpClient client;

    // By address; the client closes first.
    Recorder first;
    auto connection = client.Connect("127.0.0.1", server.Port(), first);
    ASSERT_TRUE(first.WaitForEvent("connected"));
    connection->Send("HEL");
    connection->Send("LO\xE9");
    ASSERT_TRUE(first.WaitUntil(HasFullAnswer)) << first.Data();
    connection->Close();
    const std::vector<std::string> events = first.Events();
    ASSERT_GE(events.size(), 2u);
    EXPECT_EQ(events.front(), "connected");
    for (size_t i = 1; i < events.size(); ++i) EXPECT_EQ(events[i], "data");
    EXPECT_FALSE(first.RaisedOnCallerThread());

    // By name, with the request queued before the connection is made; the server closes first.
    Recorder second;
    connection = client.Connect("localhost", server.Port(), second);
    connection->Send("HELLO\xE9");
    ASSERT_TRUE(second.WaitForEvent("closed")) << second.Data();
    EXPECT_EQ(second.Data(), "first|second");
    EXPECT_EQ(second.Events().front(), "connected");
    EXPECT_EQ(second.Events().back(), "closed");
    connection.reset();

    const auto visits = server.Finish();
    ASSERT_EQ(visits.size(), 2u);
    EXPECT_EQ(visits[0].request, "HELLO\xE9");
    EXPECT_TRUE(visits[0].sawClientClose);
    EXPECT_EQ(visits[1].request, "HELLO\xE9");

    // A closed port refuses. Sending to the failed connection and closing it twice do no harm;
    // once Close has returned no event can come, so the error stays the last word.
    uint16_t closedPort = 0;
    closesocket(LoopbackListener(1, closedPort));
    Recorder refused;
    connection = client.Connect("127.0.0.1", closedPort, refused);
    ASSERT_TRUE(refused.WaitForEvent("error 10061 Connection is forcefully rejected"));
    connection->Send("ignored");
    connection->Close();
    EXPECT_EQ(refused.Events().size(), 1u);
    connection->Close();
}

TEST(TcpWine, CloseAtAnyMomentEndsTheConnectionWithoutLaterEvents) {
    WinsockUp up;
    uint16_t openPort = 0;
    SOCKET open = LoopbackListener(16, openPort);
    uint16_t closedPort = 0;
    closesocket(LoopbackListener(1, closedPort));
    win32::Win32TcpClient client;

    // Close right away or a moment later, by address and by name, to a port that takes the
    // connection and to one that refuses it; or just drop the connection object.
    std::vector<std::unique_ptr<Recorder>> recorders;
    std::vector<size_t> seenAtClose;
    for (int i = 0; i < 60; ++i) {
        recorders.push_back(std::make_unique<Recorder>());
        const char* host = i % 3 == 0 ? "localhost" : "127.0.0.1";
        const uint16_t port = i % 4 == 3 ? closedPort : openPort;
        auto connection = client.Connect(host, port, *recorders.back());
        if (i % 5 != 0) Sleep(static_cast<DWORD>(i % 5));
        if (i % 7 == 0) {
            connection.reset();
        } else {
            connection->Send("x");
            connection->Close();
        }
        seenAtClose.push_back(recorders.back()->Events().size());
    }

    // Every connection that reached the open port has ended on the wire, so whatever a late
    // event could come from has happened.
    u_long nonBlocking = 1;
    ioctlsocket(open, FIONBIO, &nonBlocking);
    for (SOCKET reached; (reached = accept(open, nullptr, nullptr)) != INVALID_SOCKET;) {
        u_long blocking = 0;
        ioctlsocket(reached, FIONBIO, &blocking);
        DWORD timeout = 15000;
        setsockopt(reached, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
        char buffer[64];
        while (recv(reached, buffer, sizeof buffer, 0) > 0) {
        }
        closesocket(reached);
    }
    for (size_t i = 0; i < recorders.size(); ++i)
        EXPECT_EQ(recorders[i]->Events().size(), seenAtClose[i]) << "connection " << i << " raised after Close";
    closesocket(open);
}

}  // namespace
}  // namespace updexar
