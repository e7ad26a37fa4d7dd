#include "fakes/fake_tcp.h"

#include <thread>

#include "platform/strings.h"

namespace updexar::fakes {
namespace {

// Its mutex is held while an event runs, so the client's Close waits for a running event and no
// event starts after it, as with a real connection.
class FakeTcpConnection : public platform::TcpConnection {
public:
    FakeTcpConnection(platform::TcpEvents& events, FakeTcpServer server) : events_(&events), server_(std::move(server)) {}
    ~FakeTcpConnection() override { Close(); }

    void Raise(const std::function<void(platform::TcpEvents&)>& call) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!events_ || ended_) return;
        platform::TcpEvents& target = *events_;
        std::thread([&] { call(target); }).join();
    }
    void Error(int number) {
        Raise([number](platform::TcpEvents& e) { e.OnError(number, platform::TcpErrorDescription(number)); });
        ended_ = true;
    }
    void Connected() {
        connected_ = true;
        Raise([](platform::TcpEvents& e) { e.OnConnected(); });
    }

    void Send(std::string bytes) override {
        std::vector<std::string> pieces;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (!events_ || ended_ || !connected_) return;
            received_ += bytes;
            if (server_.answer) pieces = server_.answer(received_);
        }
        for (const std::string& piece : pieces)
            if (!piece.empty()) Raise([&piece](platform::TcpEvents& e) { e.OnData(piece); });
    }
    void Close() override {
        std::lock_guard<std::mutex> lock(mutex_);
        events_ = nullptr;
    }

private:
    std::mutex mutex_;
    platform::TcpEvents* events_;  // null once the client has closed
    FakeTcpServer server_;
    std::string received_;
    bool connected_ = false, ended_ = false;
};

}  // namespace

void FakeTcpClient::AddServer(const std::string& host, uint16_t port, FakeTcpServer server) {
    std::lock_guard<std::mutex> lock(mutex_);
    hosts_[ToUpper(host)][port] = std::move(server);
}

void FakeTcpClient::AddHost(const std::string& host) {
    std::lock_guard<std::mutex> lock(mutex_);
    hosts_[ToUpper(host)];
}

std::unique_ptr<platform::TcpConnection> FakeTcpClient::Connect(const std::string& host, uint16_t port,
                                                                platform::TcpEvents& events) {
    int refusal = 0;
    FakeTcpServer server;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ++connections_;
        const auto h = hosts_.find(ToUpper(host));
        if (h == hosts_.end()) {
            refusal = platform::TcpErrHostNotFound;
        } else if (const auto p = h->second.find(port); p == h->second.end()) {
            refusal = platform::TcpErrConnectionRefused;
        } else {
            server = p->second;
        }
    }
    auto connection = std::make_unique<FakeTcpConnection>(events, server);
    if (refusal != 0) connection->Error(refusal);
    else if (server.accept == FakeTcpServer::Accept::Yes) connection->Connected();
    return connection;
}

size_t FakeTcpClient::ConnectionCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return connections_;
}

}  // namespace updexar::fakes
