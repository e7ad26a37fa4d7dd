#include "server/vek_service_core.h"

#include <algorithm>
#include <exception>
#include <utility>

#include "platform/strings.h"
#include "server/vek_protocol.h"

namespace updexar::vek {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// A machine key is made of "dd " pieces, each the reversed code of a decimal digit: "84 " for '0'
// up to "75 " for '9'. Checks as much of the key as there is.
bool KeyPrefixWellFormed(std::string_view key) {
    for (size_t j = 0; j < key.size(); ++j) {
        switch (j % 3) {
            case 0:
                if (!IsDigit(key[j])) return false;
                break;
            case 1: {
                const char low = key[j - 1];
                const char high = key[j];
                if (!((high == '4' && (low == '8' || low == '9')) || (high == '5' && low >= '0' && low <= '7')))
                    return false;
                break;
            }
            default:
                if (key[j] != ' ') return false;
        }
    }
    return true;
}

// Whether the first n characters of a plain request of this code length could still be right.
bool PlainPrefixPlausible(std::string_view plain, size_t codeLength) {
    const size_t tokenAt = kRequestMarker.size();
    const size_t codeAt = tokenAt + 5;
    const size_t tailAt = codeAt + codeLength;
    for (size_t i = 0; i < plain.size(); ++i) {
        const char c = plain[i];
        if (i < tokenAt) {
            if (c != kRequestMarker[i]) return false;
        } else if (i == tokenAt) {
            if (c != 'T') return false;
        } else if (i < codeAt) {
            if (!IsDigit(c)) return false;
        } else if (i < tailAt) {
            const size_t at = i - codeAt;
            bool any = false;
            for (const auto& row : ProductTable()) {
                if (row.code.size() == codeLength && row.code.substr(0, at) == plain.substr(codeAt, at) &&
                    row.code[at] == c)
                    any = true;
            }
            if (!any) return false;
        } else if (c != kRequestTail[i - tailAt]) {
            return false;
        }
    }
    return true;
}

RequestScan ScanForCodeLength(std::string_view received, size_t codeLength) {
    const size_t plainLength = kRequestMarker.size() + 5 + codeLength + kRequestTail.size();
    if (received.size() <= plainLength) return {ScanStatus::Incomplete, {}};
    // The key half is enciphered on its own, so any prefix of it deciphers to a prefix of the key.
    const std::string key = Cipher(received.substr(plainLength), "");
    if (key.size() > kMaxMachineKeyLength || !KeyPrefixWellFormed(key)) return {ScanStatus::Invalid, {}};
    if (key.size() % 3 != 0) return {ScanStatus::Incomplete, {}};

    const std::string plain = Cipher(received.substr(0, plainLength), key);
    const std::string_view token = std::string_view(plain).substr(kRequestMarker.size(), 5);
    const std::string_view code = std::string_view(plain).substr(kRequestMarker.size() + 5, codeLength);
    const ProductRow* product = ProductByCode(code);
    if (plain.compare(0, kRequestMarker.size(), kRequestMarker) == 0 && IsValidToken(token) && product &&
        plain.compare(plainLength - kRequestTail.size(), kRequestTail.size(), kRequestTail) == 0) {
        return {ScanStatus::Complete, {product, std::string(token), key}};
    }
    // A short key wraps around within the plain request; more key may still put it right, but
    // only past the characters it already covers for good.
    const size_t covered = ExpandKey(key).size();
    if (covered < plainLength && key.size() < kMaxMachineKeyLength &&
        PlainPrefixPlausible(std::string_view(plain).substr(0, covered), codeLength)) {
        return {ScanStatus::Incomplete, {}};
    }
    return {ScanStatus::Invalid, {}};
}

}  // namespace

RequestScan ScanRequest(std::string_view received) {
    if (received.size() > kMaxRequestBytes) return {ScanStatus::Invalid, {}};
    // Every product code has the same length today; the scan does not rely on it.
    bool incomplete = false;
    size_t seen[8] = {};
    size_t lengths = 0;
    for (const auto& row : ProductTable()) {
        const size_t length = row.code.size();
        if (length == 0 || std::find(seen, seen + lengths, length) != seen + lengths) continue;
        if (lengths < std::size(seen)) seen[lengths++] = length;
        RequestScan scan = ScanForCodeLength(received, length);
        if (scan.status == ScanStatus::Complete) return scan;
        if (scan.status == ScanStatus::Incomplete) incomplete = true;
    }
    return {incomplete ? ScanStatus::Incomplete : ScanStatus::Invalid, {}};
}

ServiceCore::ServiceCore(DataDirectoryFn dataDirectory, FileExistsFn fileExists, ServiceLimits limits)
    : dataDirectory_(std::move(dataDirectory)), fileExists_(std::move(fileExists)), limits_(limits) {}

std::string ServiceCore::Answer(const ServiceRequest& request) const {
    bool exists = false;
    try {
        const std::optional<std::string> directory = dataDirectory_(*request.product);
        if (directory && !directory->empty()) exists = fileExists_(*directory, TokenFileName(request.token));
    } catch (const std::exception&) {
        exists = false;  // an unreadable registry or folder is a directory that cannot be confirmed
    }
    return BuildAnswer(request.product->code, exists, request.machineKey);
}

std::string ServiceCore::FailedAnswer(const ServiceRequest& request) {
    return BuildAnswer(request.product->code, false, request.machineKey);
}

Session::Session(const ServiceCore& core, int64_t nowMs)
    : core_(core), readDeadline_(nowMs + core.Limits().readTimeoutMs), deadline_(readDeadline_) {}

void Session::Reply(std::string text, int64_t nowMs) {
    reply_ = std::move(text);
    received_.clear();
    phase_ = Phase::Replying;
    deadline_ = nowMs + core_.Limits().drainMs;
}

void Session::AnswerScan(const RequestScan& scan, int64_t nowMs) {
    if (scan.status == ScanStatus::Complete) {
        request_ = scan.request;
        received_.clear();
        phase_ = Phase::Checking;
        deadline_ = nowMs + core_.Limits().checkTimeoutMs;
    } else {
        Reply(std::string(kInvalidCommand), nowMs);
    }
}

void Session::OnArrival(std::string_view bytes, int64_t nowMs) {
    if (phase_ != Phase::Reading) return;  // after the answer, whatever comes is discarded
    if (bytes.empty()) return;
    ++arrivals_;
    if (received_.size() + bytes.size() > kMaxRequestBytes) {
        Reply(std::string(kInvalidCommand), nowMs);
        return;
    }
    received_.append(bytes);
    const RequestScan scan = ScanRequest(received_);
    switch (scan.status) {
        case ScanStatus::Invalid:
            AnswerScan(scan, nowMs);
            return;
        case ScanStatus::Complete:
            if (arrivals_ == 1 || scan.request.machineKey.size() == kMaxMachineKeyLength) {
                AnswerScan(scan, nowMs);
                return;
            }
            settling_ = true;
            deadline_ = std::min(readDeadline_, nowMs + core_.Limits().settleMs);
            return;
        case ScanStatus::Incomplete:
            settling_ = false;
            deadline_ = readDeadline_;
            return;
    }
}

void Session::OnPeerClosed(int64_t nowMs) {
    peerClosed_ = true;
    switch (phase_) {
        case Phase::Reading:
            if (received_.empty()) {
                phase_ = Phase::Done;
            } else {
                AnswerScan(ScanRequest(received_), nowMs);
            }
            return;
        case Phase::Draining:
            phase_ = Phase::Done;
            return;
        default:
            return;  // the answer still goes out; then there is nothing left to wait for
    }
}

void Session::OnTime(int64_t nowMs) {
    if (nowMs < deadline_) return;
    switch (phase_) {
        case Phase::Reading:
            if (settling_ || nowMs >= readDeadline_) {
                if (received_.empty()) {
                    phase_ = Phase::Done;
                } else {
                    AnswerScan(ScanRequest(received_), nowMs);
                }
            }
            return;
        case Phase::Checking:
            Reply(ServiceCore::FailedAnswer(request_), nowMs);
            return;
        case Phase::Replying:  // a client that does not take a few dozen bytes is let go
        case Phase::Draining:
            phase_ = Phase::Done;
            return;
        case Phase::Done:
            return;
    }
}

void Session::OnReplySent(int64_t nowMs) {
    if (phase_ != Phase::Replying) return;
    if (peerClosed_) {
        phase_ = Phase::Done;
        return;
    }
    phase_ = Phase::Draining;
    deadline_ = nowMs + core_.Limits().drainMs;
}

void Session::OnChecked(std::string answer, int64_t nowMs) {
    if (phase_ == Phase::Checking) Reply(std::move(answer), nowMs);
}

uint16_t ServicePortFromText(std::string_view text) {
    const std::string trimmed = Trim(text);
    uint32_t port = 0;
    for (char c : trimmed) {
        if (!IsDigit(c)) break;
        port = port * 10 + static_cast<uint32_t>(c - '0');
        if (port > 65535) return kDefaultPort;
    }
    return port == 0 ? kDefaultPort : static_cast<uint16_t>(port);
}

namespace {

// A text value cut at its first NUL, or a 32-bit value as its number; empty otherwise.
std::optional<std::string> ReadText(platform::Registry& registry, const std::string& path, const std::string& name) {
    const auto key = registry.Open(platform::RegRoot::LocalMachine, path);
    if (!key) return std::nullopt;
    const auto value = key->QueryValue(name);
    if (!value) return std::nullopt;
    if (value->type == platform::RegSz || value->type == platform::RegExpandSz)
        return value->text.substr(0, value->text.find('\0'));
    if (value->type == platform::RegDword) return std::to_string(value->dword);
    return std::nullopt;
}

}  // namespace

uint16_t ReadServicePort(platform::Registry& registry) {
    return ServicePortFromText(ReadText(registry, "Software\\VEKInfo", "SvrPort").value_or(""));
}

std::optional<std::string> ReadDataDirectory(platform::Registry& registry, const ProductRow& product) {
    if (product.key == kNoProductKey) return std::nullopt;
    auto text = ReadText(registry, "Software\\VEKInfo\\" + std::string(product.key), "AppPath");
    if (!text) return std::nullopt;
    std::string directory = StripTrailingBackslash(Trim(*text));
    if (directory.empty()) return std::nullopt;
    return directory;
}

std::string AnswerBytes(const ServiceCore& core, std::string_view bytes) {
    Session session(core, 0);
    session.OnArrival(bytes, 0);
    session.OnPeerClosed(0);
    if (session.CurrentPhase() == Session::Phase::Checking) session.OnChecked(core.Answer(session.Request()), 0);
    return session.CurrentPhase() == Session::Phase::Replying ? session.Reply() : std::string();
}

}  // namespace updexar::vek
