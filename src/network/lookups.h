// Name lookups run side by side. One reverse lookup can take a good part of a second when a
// machine has no name, so a range of addresses resolved one after the other holds the window for
// minutes; a few threads resolve ahead while the window takes the answers in their own order.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace updexar {

class Lookups {
public:
    // Starts resolving every query at once, at most `threads` at a time.
    Lookups(std::vector<std::string> queries, std::function<std::string(const std::string&)> resolve, size_t threads = 16);
    // Leaves lookups still running to finish on their own: nobody waits for them.
    ~Lookups();
    Lookups(const Lookups&) = delete;
    Lookups& operator=(const Lookups&) = delete;

    // The answer to query i, waiting at most `waitMs` for it.
    std::optional<std::string> Take(size_t i, int waitMs);

private:
    struct Shared;
    std::shared_ptr<Shared> shared_;
};

}  // namespace updexar
