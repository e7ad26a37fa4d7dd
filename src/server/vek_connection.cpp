#include "server/vek_connection.h"

#include <string>

namespace updexar::vek {

bool Connection::Read(const ReceiveFn& receive, int64_t nowMs) {
    if (peerClosed_) return true;
    char buffer[4096];
    std::string arrival;
    size_t total = 0;
    bool end = false;
    while (total < kReadBudget) {
        const IoResult got = receive(buffer, sizeof buffer);
        if (got.kind == IoResult::Moved) {
            total += got.bytes;
            if (session_.CurrentPhase() == Session::Phase::Reading && arrival.size() <= kMaxRequestBytes)
                arrival.append(buffer, got.bytes);
            if (got.bytes < sizeof buffer) break;
            continue;
        }
        if (got.kind == IoResult::Interrupted) continue;
        if (got.kind == IoResult::End) {
            end = true;
            break;
        }
        if (got.kind == IoResult::WouldBlock) break;
        return false;
    }
    if (!arrival.empty()) session_.OnArrival(arrival, nowMs);
    if (end) {
        peerClosed_ = true;
        session_.OnPeerClosed(nowMs);
    }
    return true;
}

bool Connection::Write(const SendFn& send, const std::function<void()>& shutdownSend, int64_t nowMs) {
    if (session_.CurrentPhase() != Session::Phase::Replying) return true;
    const std::string& reply = session_.Reply();
    while (sent_ < reply.size()) {
        const IoResult put = send(reply.data() + sent_, reply.size() - sent_);
        if (put.kind == IoResult::Moved && put.bytes > 0) {
            sent_ += put.bytes;
        } else if (put.kind == IoResult::Interrupted) {
            continue;
        } else if (put.kind == IoResult::WouldBlock) {
            return true;
        } else {
            return false;
        }
    }
    shutdownSend();
    session_.OnReplySent(nowMs);
    return true;
}

void Connection::SyncCheck(CheckPool& pool, const std::shared_ptr<CheckMailbox>& mailbox) {
    const bool waiting = session_.CurrentPhase() == Session::Phase::Checking;
    if (waiting && !submitted_) {
        pool.Submit(mailbox, ticket_, session_.Request());
        submitted_ = true;
    } else if (!waiting && submitted_) {
        // Answered, or given up on: a lookup still queued is not worth doing any more.
        pool.Cancel(mailbox.get(), ticket_);
        submitted_ = false;
    }
}

void Connection::Abandon(CheckPool& pool, const CheckMailbox* mailbox) {
    if (submitted_) pool.Cancel(mailbox, ticket_);
    submitted_ = false;
}

}  // namespace updexar::vek
