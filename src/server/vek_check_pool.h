// The lookups behind the VEK service's answers, away from the socket loops. A data directory on
// a share that does not answer holds only the threads that look into it: every product may keep
// a few lookups going at once, and there are threads enough for all of them, so a product whose
// share hangs cannot take the threads another product needs. A loop hands its requests in with
// a mailbox of its own; results come back there, and the mailbox's wake-up tells the loop.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "server/vek_service_core.h"

namespace updexar::vek {

struct CheckResult {
    uint64_t ticket;
    std::string answer;
};

// Where one socket loop's results arrive. The wake-up runs on a lookup thread and must only
// nudge the loop (write a byte to a socket it polls, say).
class CheckMailbox {
public:
    explicit CheckMailbox(std::function<void()> wake) : wake_(std::move(wake)) {}
    void Deliver(CheckResult result);
    std::vector<CheckResult> Take();
    // No delivery and no wake-up after this returns: the loop may go away while a lookup hangs.
    void Close();

private:
    std::mutex mutex_;
    std::vector<CheckResult> results_;
    std::function<void()> wake_;
    bool closed_ = false;
};

class CheckPool {
public:
    // Lookups run through a copy of `core`.
    explicit CheckPool(const ServiceCore& core, size_t perProduct = 4);
    // Waits a moment for lookups in progress; threads still held by the file system after that
    // are left to finish on their own.
    ~CheckPool();
    CheckPool(const CheckPool&) = delete;
    CheckPool& operator=(const CheckPool&) = delete;

    void Submit(const std::shared_ptr<CheckMailbox>& to, uint64_t ticket, const ServiceRequest& request);
    // Drops the request if no thread has taken it yet; a result already under way still comes.
    void Cancel(const CheckMailbox* to, uint64_t ticket);

private:
    struct Job {
        std::shared_ptr<CheckMailbox> to;
        uint64_t ticket;
        ServiceRequest request;
    };
    struct State;
    static void Work(const std::shared_ptr<State>& state);

    std::shared_ptr<State> state_;
};

}  // namespace updexar::vek
