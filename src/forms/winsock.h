// The TCP client control: one outgoing connection at a time, with events raised on the
// user-interface thread through the event loop, the way the classic control raised them.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "forms/control.h"

namespace updexar::platform {
class TcpConnection;
}

namespace updexar::forms {

// Connection states, numbered as the classic control numbers them.
enum WinsockState : int {
    SckClosed = 0,
    SckConnecting = 6,
    SckConnected = 7,
    SckClosing = 8,  // the other side closed; Close finishes it
    SckError = 9,
};

class Winsock : public Control {
public:
    Winsock(Form& form, std::string name, int index = -1);
    ~Winsock() override;

    std::string RemoteHost;
    int RemotePort = 0;

    // Starts connecting to RemoteHost:RemotePort, or to the given ones, which are kept there.
    // Only from the closed state (40020 otherwise); a port outside 0..65535 gives 40021.
    void Connect();
    void Connect(const std::string& host, int port);
    // Text goes out in the ANSI code page. Only while connected (40006 otherwise).
    void SendData(const std::string& text);
    // Everything that has arrived and not been read yet, taken from the ANSI code page; the
    // buffer is empty afterwards.
    void GetData(std::string& out);
    // Bytes waiting to be read by GetData.
    long BytesReceived() const { return static_cast<long>(received_.size()); }
    // Ends the connection, whatever its state; nothing of it is raised afterwards.
    void Close();
    int State() const { return state_; }

    // This computer's host name and IPv4 address.
    std::string LocalHostName() const;
    std::string LocalIP() const;

    std::function<void()> Connected;
    // bytesTotal: what is waiting to be read, this arrival included.
    std::function<void(long bytesTotal)> DataArrival;
    // Raised once; the state is then 9 until Close.
    std::function<void(int number, const std::string& description)> Error;
    // The other side closed the connection.
    std::function<void()> PeerClosed;

private:
    class Session;
    void OnConnected();
    void OnData(const std::string& bytes);
    void OnError(int number, const std::string& description);
    void OnClosed();

    int state_ = SckClosed;
    std::string received_;  // raw ANSI bytes
    std::shared_ptr<Session> session_;
    std::unique_ptr<platform::TcpConnection> connection_;
};

}  // namespace updexar::forms
