// Outgoing TCP connections through Winsock 2: one worker thread per connection waits on the
// socket and on a wake-up event, so Close can end it at any stage and join it.
#pragma once

#include "platform/tcp.h"

namespace updexar::win32 {

class Win32TcpClient : public platform::TcpClient {
public:
    std::unique_ptr<platform::TcpConnection> Connect(const std::string& host, uint16_t port,
                                                     platform::TcpEvents& events) override;
};

}  // namespace updexar::win32
