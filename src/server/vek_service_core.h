// The VEK service's side of the data-directory check, without sockets: what a connection's bytes
// mean, when they form a whole request, and what the answer is. The Windows service and the
// native Linux host both drive this from their own socket loops.
//
// Framing. The request has no terminator: it is the 20-byte enciphered plain request followed by
// the machine key (3 to 30 characters, whole "dd " pieces) enciphered with the default key. The
// key is read back a piece at a time, and the plain request checks out as soon as the key is
// long enough to cover it, so the bytes alone cannot tell a 24-character key from the first 24
// characters of a 30-character one. The rule, per connection:
//   1. Everything readable at one moment is one arrival.
//   2. If the first arrival holds exactly a well-formed request, it is answered at once: a client
//      sends its request as one piece, and that piece arrives whole.
//   3. A request with the longest possible key (30 characters) is answered at once, whenever it
//      completes; so is a well-formed request when the client half-closes its side.
//   4. Otherwise, once the request has come in more than one arrival, a well-formed request is
//      answered after `settleMs` without further bytes; bytes that arrive meanwhile are taken
//      into the request and the rule applies again.
//   5. Bytes that can no longer become a request (too many, a malformed key piece, a plain
//      request that fails its check, a token other than "T" and four digits, a product code not
//      in the product table) are answered at once with "INVALIDCOMMAND|0". So is what is still
//      incomplete when the read time-out ends the wait; a connection that sent nothing is closed.
// After the answer the service closes its sending side and discards what still comes until the
// client closes or `drainMs` passes, so the answer is never lost to a reset.
//
// The lookup behind a whole request (registry, then the data directory, perhaps on a share) may
// take any time, so a session only asks for it (phase Checking) and the socket loop has it done
// elsewhere. A lookup that has not come back within `checkTimeoutMs` is answered as a failed one:
// the directory cannot be confirmed.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/registry.h"
#include "core/product_table.h"

namespace updexar::vek {

// The plain request of a three-letter product code and the longest machine key.
inline constexpr size_t kMaxRequestBytes = 20 + 30;

struct ServiceRequest {
    const ProductRow* product = nullptr;
    std::string token;
    std::string machineKey;
};

enum class ScanStatus { Incomplete, Complete, Invalid };

struct RequestScan {
    ScanStatus status = ScanStatus::Incomplete;
    ServiceRequest request;  // filled when Complete
};

// What the bytes received so far on one connection amount to.
RequestScan ScanRequest(std::string_view received);

struct ServiceLimits {
    // From accepting to a whole request, however it trickles in: as long as the client itself
    // waits for its answer, and not longer, so silent connections cannot pile up.
    int64_t readTimeoutMs = 30000;
    int64_t settleMs = 100;         // rule 4
    int64_t drainMs = 1000;         // after the answer
    int64_t checkTimeoutMs = 3000;  // from a whole request to its lookup's result
};

class ServiceCore {
public:
    // The product's data directory on this server; empty when it has none.
    using DataDirectoryFn = std::function<std::optional<std::string>(const ProductRow&)>;
    // Whether the named file is in the directory. Called from the socket loops' threads.
    using FileExistsFn = std::function<bool(const std::string& directory, const std::string& fileName)>;

    ServiceCore(DataDirectoryFn dataDirectory, FileExistsFn fileExists, ServiceLimits limits = {});

    // The enciphered answer to a whole request. A lookup that fails counts as "not there". Reads
    // the registry and the file system: may block for as long as they do.
    std::string Answer(const ServiceRequest& request) const;
    // The answer of a lookup that failed or took too long.
    static std::string FailedAnswer(const ServiceRequest& request);
    const ServiceLimits& Limits() const { return limits_; }

private:
    DataDirectoryFn dataDirectory_;
    FileExistsFn fileExists_;
    ServiceLimits limits_;
};

// One connection's conversation, driven by its socket loop with the time of each event.
class Session {
public:
    enum class Phase {
        Reading,   // waiting for the request
        Checking,  // Request() is to be looked up; then OnChecked, or OnTime gives up on it
        Replying,  // Reply() is to be sent; then OnReplySent
        Draining,  // answer sent, sending side to be shut; reading and discarding
        Done,      // to be closed
    };

    Session(const ServiceCore& core, int64_t nowMs);

    void OnArrival(std::string_view bytes, int64_t nowMs);
    // The client closed its sending side (or the whole connection).
    void OnPeerClosed(int64_t nowMs);
    // Called when nowMs has reached Deadline().
    void OnTime(int64_t nowMs);
    void OnReplySent(int64_t nowMs);
    // The lookup's answer, from ServiceCore::Answer. Ignored unless Checking.
    void OnChecked(std::string answer, int64_t nowMs);

    Phase CurrentPhase() const { return phase_; }
    // The whole request; valid while Checking.
    const ServiceRequest& Request() const { return request_; }
    const std::string& Reply() const { return reply_; }
    // When OnTime is next due.
    int64_t Deadline() const { return deadline_; }

private:
    void Reply(std::string text, int64_t nowMs);
    void AnswerScan(const RequestScan& scan, int64_t nowMs);

    const ServiceCore& core_;
    Phase phase_ = Phase::Reading;
    std::string received_;
    ServiceRequest request_;
    int arrivals_ = 0;
    bool settling_ = false;
    bool peerClosed_ = false;
    int64_t readDeadline_;
    int64_t deadline_;
    std::string reply_;
};

// The port from HKLM "Software\VEKInfo" "SvrPort": its leading digits; 7070 when the value is
// missing, 0, not a number or not a port.
uint16_t ServicePortFromText(std::string_view text);
uint16_t ReadServicePort(platform::Registry& registry);
// HKLM "Software\VEKInfo\"{ProductKey} "AppPath", without a trailing backslash; empty when the
// product has none here.
std::optional<std::string> ReadDataDirectory(platform::Registry& registry, const ProductRow& product);

// A whole conversation in one go: the bytes as one arrival, then the client's half-close, the
// lookup done on the spot. What the fuzzer and the tests use.
std::string AnswerBytes(const ServiceCore& core, std::string_view bytes);

}  // namespace updexar::vek
