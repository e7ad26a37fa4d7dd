#include "network/lookups.h"

#include <chrono>
#include <thread>

namespace updexar {

struct Lookups::Shared {
    std::mutex mutex;
    std::condition_variable answered;
    std::vector<std::string> queries;
    std::vector<std::optional<std::string>> answers;
    std::function<std::string(const std::string&)> resolve;
    size_t next = 0;
    bool abandoned = false;
};

Lookups::Lookups(std::vector<std::string> queries, std::function<std::string(const std::string&)> resolve, size_t threads)
    : shared_(std::make_shared<Shared>()) {
    shared_->answers.resize(queries.size());
    shared_->queries = std::move(queries);
    shared_->resolve = std::move(resolve);
    const size_t count = std::min(threads, shared_->queries.size());
    // Held until every worker is detached; each takes it before its first query, so none can
    // end first. MinGW's winpthreads does not survive a thread that ends before its detach: the
    // thread's record goes back to its pool while the ending thread still writes to it, and a
    // thread started next may run without its argument (the search crashed now and then).
    std::lock_guard<std::mutex> starting(shared_->mutex);
    for (size_t t = 0; t < count; ++t) {
        // Each worker holds the shared state, so a window closed halfway owes them nothing.
        std::thread([s = shared_] {
            while (true) {
                size_t i;
                {
                    std::lock_guard<std::mutex> lock(s->mutex);
                    if (s->abandoned || s->next >= s->queries.size()) return;
                    i = s->next++;
                }
                std::string answer;
                try {
                    answer = s->resolve(s->queries[i]);
                } catch (...) {
                }
                {
                    std::lock_guard<std::mutex> lock(s->mutex);
                    s->answers[i] = std::move(answer);
                }
                s->answered.notify_all();
            }
        }).detach();
    }
}

Lookups::~Lookups() {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    shared_->abandoned = true;
}

std::optional<std::string> Lookups::Take(size_t i, int waitMs) {
    std::unique_lock<std::mutex> lock(shared_->mutex);
    if (i >= shared_->answers.size()) return std::nullopt;
    shared_->answered.wait_for(lock, std::chrono::milliseconds(waitMs), [&] { return shared_->answers[i].has_value(); });
    return shared_->answers[i];
}

}  // namespace updexar
