// One client connection of the VEK service as both socket loops drive it: how it is read, how
// its answer goes out, and how its lookup is handed to the check pool. The hosts supply only
// their socket calls, so reading and framing behave the same on Windows and on Linux.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

#include "server/vek_check_pool.h"
#include "server/vek_service_core.h"

namespace updexar::vek {

// What one receive or send on a non-blocking socket did.
struct IoResult {
    enum Kind { Moved, WouldBlock, Interrupted, End, Failed } kind;
    size_t bytes = 0;  // when Moved
};
using ReceiveFn = std::function<IoResult(char* buffer, size_t size)>;
using SendFn = std::function<IoResult(const char* data, size_t size)>;

class Connection {
public:
    // Bytes read for one connection per wake-up, so a client pouring data in cannot hold a loop.
    static constexpr size_t kReadBudget = 64 * 1024;

    Connection(const ServiceCore& core, uint64_t ticket, int64_t nowMs) : session_(core, nowMs), ticket_(ticket) {}

    // The reading rule: everything the socket holds now, up to the budget, is one arrival; a
    // short read means it is empty; of what comes while the request is read, more than a
    // request can hold is not kept (it is refused anyway); the end of the stream is the peer's
    // close, told once. False when the connection failed.
    bool Read(const ReceiveFn& receive, int64_t nowMs);
    // Sends what is left of the answer; once it is all out, `shutdownSend` closes the sending
    // side. False when the connection failed.
    bool Write(const SendFn& send, const std::function<void()>& shutdownSend, int64_t nowMs);
    void OnTime(int64_t nowMs) { session_.OnTime(nowMs); }
    // The lookup's result for this connection's ticket.
    void OnChecked(std::string answer, int64_t nowMs) {
        if (session_.CurrentPhase() == Session::Phase::Checking) submitted_ = false;  // nothing left queued
        session_.OnChecked(std::move(answer), nowMs);
    }
    // Hands a waiting lookup to the pool, or withdraws one the session no longer waits for.
    // Call after every event.
    void SyncCheck(CheckPool& pool, const std::shared_ptr<CheckMailbox>& mailbox);
    // Before the connection goes: withdraws a lookup still queued.
    void Abandon(CheckPool& pool, const CheckMailbox* mailbox);

    bool WantsRead() const { return !peerClosed_; }  // an end of stream stays readable
    bool WantsWrite() const { return session_.CurrentPhase() == Session::Phase::Replying; }
    bool Finished() const { return session_.CurrentPhase() == Session::Phase::Done; }
    int64_t Deadline() const { return session_.Deadline(); }
    uint64_t Ticket() const { return ticket_; }

private:
    Session session_;
    uint64_t ticket_;
    size_t sent_ = 0;
    bool peerClosed_ = false;
    bool submitted_ = false;
};

}  // namespace updexar::vek
