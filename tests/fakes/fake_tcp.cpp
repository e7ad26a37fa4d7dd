#include "fakes/fake_tcp.h"

#include <stdexcept>
#include <thread>

#include "platform/strings.h"

namespace updexar::fakes {

// One connection as the pretend server sees it. Its mutex is held while an event runs, so the
// client's Close waits for a running event and no event starts after it, as with a real one.
struct FakeTcpClient::Line {
    std::mutex mutex;
    platform::TcpEvents* events = nullptr;  // null once the client has closed
    FakeTcpServer server;
    std::string received;
    bool connected = false;
    bool ended = false;
    bool closedByClient = false;

    template <typename Call>
    void RaiseLocked(Call call) {
        platform::TcpEvents& target = *events;
        std::thread([&target, &call] { call(target); }).join();
    }

    void Connected() {
        std::lock_guard<std::mutex> lock(mutex);
        if (!events || ended || connected) return;
        connected = true;
        RaiseLocked([](platform::TcpEvents& e) { e.OnConnected(); });
    }

    void Data(const std::string& bytes) {
        std::lock_guard<std::mutex> lock(mutex);
        if (!events || ended || !connected || bytes.empty()) return;
        RaiseLocked([&bytes](platform::TcpEvents& e) { e.OnData(bytes); });
    }

    void Error(int number) {
        std::lock_guard<std::mutex> lock(mutex);
        if (!events || ended) return;
        ended = true;
        RaiseLocked([number](platform::TcpEvents& e) { e.OnError(number, platform::TcpErrorDescription(number)); });
    }

    void Closed() {
        std::lock_guard<std::mutex> lock(mutex);
        if (!events || ended || !connected) return;
        ended = true;
        RaiseLocked([](platform::TcpEvents& e) { e.OnClosed(); });
    }

    // The scripted server looks at what it has received so far.
    void Respond() {
        std::vector<std::string> pieces;
        int failure = 0;
        bool close = false;
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (!events || ended || !connected || received.empty()) return;
            if (server.errorOnSend != 0) failure = server.errorOnSend;
            else if (server.answer) pieces = server.answer(received);
            close = server.closeAfterAnswer && !pieces.empty();
        }
        if (failure != 0) return Error(failure);
        for (const std::string& piece : pieces) Data(piece);
        if (close) Closed();
    }
};

namespace {

class FakeTcpConnection : public platform::TcpConnection {
public:
    explicit FakeTcpConnection(std::shared_ptr<FakeTcpClient::Line> line) : line_(std::move(line)) {}
    ~FakeTcpConnection() override { Close(); }

    void Send(std::string bytes) override {
        {
            std::lock_guard<std::mutex> lock(line_->mutex);
            if (!line_->events || line_->ended) return;
            line_->received += bytes;
        }
        line_->Respond();
    }

    void Close() override {
        std::lock_guard<std::mutex> lock(line_->mutex);
        if (!line_->events) return;
        line_->events = nullptr;
        line_->closedByClient = true;
    }

private:
    std::shared_ptr<FakeTcpClient::Line> line_;
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
    auto line = std::make_shared<Line>();
    line->events = &events;
    int refusal = 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        lines_.push_back(line);
        const auto h = hosts_.find(ToUpper(host));
        if (h == hosts_.end()) {
            refusal = platform::TcpErrHostNotFound;
        } else {
            const auto p = h->second.find(port);
            if (p == h->second.end()) refusal = platform::TcpErrConnectionRefused;
            else line->server = p->second;
        }
    }
    auto connection = std::make_unique<FakeTcpConnection>(line);
    if (refusal != 0) line->Error(refusal);
    else if (line->server.accept == FakeTcpServer::Accept::Yes) line->Connected();
    return connection;
}

std::shared_ptr<FakeTcpClient::Line> FakeTcpClient::LineAt(size_t i) const {
    std::lock_guard<std::mutex> lock(mutex_);
    if (i >= lines_.size()) throw std::out_of_range("no TCP connection " + std::to_string(i));
    return lines_[i];
}

size_t FakeTcpClient::ConnectionCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return lines_.size();
}

std::string FakeTcpClient::Received(size_t i) const {
    auto line = LineAt(i);
    std::lock_guard<std::mutex> lock(line->mutex);
    return line->received;
}

bool FakeTcpClient::ClosedByClient(size_t i) const {
    auto line = LineAt(i);
    std::lock_guard<std::mutex> lock(line->mutex);
    return line->closedByClient;
}

void FakeTcpClient::Accept(size_t i) {
    auto line = LineAt(i);
    line->Connected();
    line->Respond();
}

void FakeTcpClient::Answer(size_t i, const std::string& bytes) { LineAt(i)->Data(bytes); }

void FakeTcpClient::Fail(size_t i, int number) { LineAt(i)->Error(number); }


}  // namespace updexar::fakes
