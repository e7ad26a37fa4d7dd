#include "forms/winsock.h"

#include "forms/application.h"
#include "platform/errors.h"
#include "platform/platform.h"
#include "platform/tcp.h"

namespace updexar::forms {
namespace {

[[noreturn]] void ThrowSocketError(int number) { throw RuntimeError(number, platform::TcpErrorDescription(number)); }

}  // namespace

// The link between one connection and the control. The connection's events come on its own
// thread; each is posted to the user-interface thread and runs there only while the control
// still owns this session, so nothing of a closed connection or a released window is raised.
class Winsock::Session : public platform::TcpEvents, public std::enable_shared_from_this<Session> {
public:
    Session(Application& app, Winsock& owner) : app_(app), owner_(&owner) {}

    // User-interface thread only, as is every read of owner_.
    void Detach() { owner_ = nullptr; }

    void OnConnected() override {
        Hand([](Winsock& w) { w.OnConnected(); });
    }
    void OnData(std::string bytes) override {
        Hand([bytes = std::move(bytes)](Winsock& w) { w.OnData(bytes); });
    }
    void OnError(int number, std::string description) override {
        Hand([number, description = std::move(description)](Winsock& w) { w.OnError(number, description); });
    }
    void OnClosed() override {
        Hand([](Winsock& w) { w.OnClosed(); });
    }

private:
    template <typename F>
    void Hand(F f) {
        app_.Post([self = shared_from_this(), f = std::move(f)] {
            if (self->owner_) f(*self->owner_);
        });
    }

    Application& app_;
    Winsock* owner_;
};

Winsock::Winsock(Form& form, std::string name, int index)
    : Control(form, std::move(name), index, "Winsock", false, false) {}

Winsock::~Winsock() { Close(); }

void Winsock::Connect() { Connect(RemoteHost, RemotePort); }

void Winsock::Connect(const std::string& host, int port) {
    if (state_ != SckClosed) ThrowSocketError(platform::TcpErrInvalidOp);
    if (port < 0 || port > 65535) ThrowSocketError(platform::TcpErrOutOfRange);
    RemoteHost = host;
    RemotePort = port;
    platform::TcpClient* tcp = platform::Os().tcp;
    if (!tcp) throw RuntimeError(ErrCantCreateObject);

    received_.clear();
    session_ = std::make_shared<Session>(Application::Current(), *this);
    state_ = SckConnecting;
    try {
        connection_ = tcp->Connect(host, static_cast<uint16_t>(port), *session_);
    } catch (...) {
        session_->Detach();
        session_.reset();
        state_ = SckClosed;
        throw;
    }
}

void Winsock::SendData(const std::string& text) {
    if (state_ != SckConnected || !connection_) ThrowSocketError(platform::TcpErrBadState);
    platform::AnsiText* ansi = platform::Os().text;
    connection_->Send(ansi ? ansi->ToAnsi(text) : text);
}

void Winsock::GetData(std::string& out) {
    platform::AnsiText* ansi = platform::Os().text;
    out = ansi ? ansi->FromAnsi(received_) : received_;
    received_.clear();
}

void Winsock::Close() {
    // The connection first: once its Close returns, no event of it is on the way any more
    // except those already posted, which the detached session drops.
    if (connection_) connection_->Close();
    if (session_) session_->Detach();
    connection_.reset();
    session_.reset();
    received_.clear();
    state_ = SckClosed;
}

std::string Winsock::LocalHostName() const {
    platform::Network* network = platform::Os().network;
    return network ? network->LocalHostName() : std::string();
}

std::string Winsock::LocalIP() const {
    platform::Network* network = platform::Os().network;
    return network ? network->LocalAddress() : std::string();
}

void Winsock::OnConnected() {
    if (state_ != SckConnecting) return;
    state_ = SckConnected;
    if (Connected) Connected();
}

void Winsock::OnData(const std::string& bytes) {
    if (state_ != SckConnected) return;
    received_ += bytes;
    if (DataArrival) DataArrival(static_cast<long>(received_.size()));
}

void Winsock::OnError(int number, const std::string& description) {
    if (state_ != SckConnecting && state_ != SckConnected) return;
    state_ = SckError;
    if (Error) Error(number, description);
}

void Winsock::OnClosed() {
    if (state_ != SckConnected) return;
    state_ = SckClosing;
    if (PeerClosed) PeerClosed();
}

}  // namespace updexar::forms
