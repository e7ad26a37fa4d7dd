#include "server/vek_check_pool.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <system_error>
#include <unordered_map>

#include "core/product_table.h"

namespace updexar::vek {

void CheckMailbox::Deliver(CheckResult result) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (closed_) return;
    results_.push_back(std::move(result));
    // Only the first result since the last Take needs to wake the loop.
    if (results_.size() == 1 && wake_) wake_();
}

std::vector<CheckResult> CheckMailbox::Take() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<CheckResult> taken;
    taken.swap(results_);
    return taken;
}

void CheckMailbox::Close() {
    std::lock_guard<std::mutex> lock(mutex_);
    closed_ = true;
    results_.clear();
}

struct CheckPool::State {
    explicit State(const ServiceCore& c) : core(c) {}
    const ServiceCore core;
    std::mutex mutex;
    std::condition_variable work;
    std::condition_variable exited;
    std::deque<Job> queue;
    std::unordered_map<const ProductRow*, size_t> running;
    std::vector<std::thread> threads;
    size_t perProduct = 4;
    size_t maxThreads = 1;
    size_t busy = 0;
    size_t alive = 0;
    bool stopping = false;

    bool Runnable(const Job& job) { return running[job.request.product] < perProduct; }
};

CheckPool::CheckPool(const ServiceCore& core, size_t perProduct) : state_(std::make_shared<State>(core)) {
    state_->perProduct = std::max<size_t>(1, perProduct);
    size_t products = 0;
    for (const auto& row : ProductTable()) products += row.code.empty() ? 0 : 1;
    state_->maxThreads = state_->perProduct * std::max<size_t>(1, products);
}

CheckPool::~CheckPool() {
    std::unique_lock<std::mutex> lock(state_->mutex);
    state_->stopping = true;
    state_->queue.clear();
    state_->work.notify_all();
    const bool allOut = state_->exited.wait_for(lock, std::chrono::seconds(2), [&] { return state_->alive == 0; });
    std::vector<std::thread> threads;
    threads.swap(state_->threads);
    lock.unlock();
    for (auto& t : threads) {
        if (allOut) {
            t.join();
        } else {
            t.detach();  // it holds the shared state and leaves when the file system lets go
        }
    }
}

void CheckPool::Submit(const std::shared_ptr<CheckMailbox>& to, uint64_t ticket, const ServiceRequest& request) {
    State& s = *state_;
    std::lock_guard<std::mutex> lock(s.mutex);
    if (s.stopping) return;
    s.queue.push_back({to, ticket, request});
    const size_t runnable = static_cast<size_t>(
        std::count_if(s.queue.begin(), s.queue.end(), [&](const Job& job) { return s.Runnable(job); }));
    const size_t free = s.alive - s.busy;
    if (runnable > free && s.alive < s.maxThreads) {
        try {
            s.threads.emplace_back([state = state_] { Work(state); });
            ++s.alive;
        } catch (const std::system_error&) {
            // Fewer threads than wanted: the request waits for one, or times out.
        }
    }
    s.work.notify_one();
}

void CheckPool::Cancel(const CheckMailbox* to, uint64_t ticket) {
    std::lock_guard<std::mutex> lock(state_->mutex);
    auto& queue = state_->queue;
    queue.erase(std::remove_if(queue.begin(), queue.end(),
                               [&](const Job& job) { return job.to.get() == to && job.ticket == ticket; }),
                queue.end());
}

void CheckPool::Work(const std::shared_ptr<State>& state) {
    State& s = *state;
    std::unique_lock<std::mutex> lock(s.mutex);
    while (!s.stopping) {
        auto it = std::find_if(s.queue.begin(), s.queue.end(), [&](const Job& job) { return s.Runnable(job); });
        if (it == s.queue.end()) {
            s.work.wait(lock);
            continue;
        }
        Job job = std::move(*it);
        s.queue.erase(it);
        ++s.running[job.request.product];
        ++s.busy;
        lock.unlock();
        std::string answer;
        try {
            answer = s.core.Answer(job.request);
        } catch (...) {
            answer = ServiceCore::FailedAnswer(job.request);
        }
        job.to->Deliver({job.ticket, std::move(answer)});
        job.to.reset();
        lock.lock();
        --s.busy;
        --s.running[job.request.product];
    }
    --s.alive;
    s.exited.notify_all();
}

}  // namespace updexar::vek
