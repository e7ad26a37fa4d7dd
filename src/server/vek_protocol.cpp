#include "server/vek_protocol.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace updexar::vek {
namespace {

unsigned Code(char c) { return static_cast<unsigned char>(c); }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

std::string MachineKeySeed(const std::vector<platform::DriveInfo>& drives) {
    for (const auto& drive : drives) {
        if (drive.type != platform::DriveFixed || !drive.hasSerial) continue;
        // Widened first: the magnitude of the most negative serial does not fit 32 bits.
        std::string text = std::to_string(std::llabs(static_cast<long long>(drive.serial)));
        if (!text.empty()) return text;
    }
    return std::string(kFallbackSeed);
}

std::string MachineKeyFromSeed(std::string_view seed) {
    // Pieces of even positions go in front, each before the last, so they are gathered first and
    // laid down backwards.
    std::vector<std::string> front;
    std::string back;
    for (size_t i = 0; i < seed.size(); ++i) {
        // The code printed with its sign position, then reversed: "55 " for '7'.
        const std::string digits = std::to_string(Code(seed[i]));
        std::string piece(digits.rbegin(), digits.rend());
        piece.push_back(' ');
        if (i % 2 == 0) {
            back.append(piece);
        } else {
            front.push_back(std::move(piece));
        }
    }
    std::string key;
    for (auto it = front.rbegin(); it != front.rend(); ++it) key.append(*it);
    key.append(back);
    return key;
}

std::string ExpandKey(std::string_view key) {
    if (key.empty()) key = kDefaultKey;
    std::string expanded;
    expanded.reserve(key.size() * 4);
    for (char ch : key) {
        const unsigned c = Code(ch);
        expanded += std::to_string(c % 7 != 0 ? c % 7 : c);
        expanded += std::to_string(c % 3 != 0 ? c % 3 : c);
    }
    return expanded;
}

std::string Cipher(std::string_view text, std::string_view key) {
    const std::string expanded = ExpandKey(key);
    std::string out(text);
    size_t k = 0;
    for (char& ch : out) {
        const unsigned x = Code(ch) ^ Code(expanded[k]);
        if (x != 0 && x != 10 && x != 13 && x != 26) ch = static_cast<char>(x);
        if (++k == expanded.size()) k = 0;
    }
    return out;
}

std::string MakeToken(double secondsSinceMidnight) {
    // Rounded half to even; written with at least four digits, of which the last four count,
    // which is the number modulo 10000 with leading zeros.
    long long seconds = std::llrint(std::nearbyint(secondsSinceMidnight));
    if (seconds < 0) seconds = 0;
    std::string token = "T0000";
    seconds %= 10000;
    for (size_t i = 4; i >= 1; --i) {
        token[i] = static_cast<char>('0' + seconds % 10);
        seconds /= 10;
    }
    return token;
}

bool IsValidToken(std::string_view token) {
    return token.size() == 5 && token[0] == 'T' && std::all_of(token.begin() + 1, token.end(), IsDigit);
}

std::string PlainRequest(std::string_view token, std::string_view productCode) {
    std::string plain(kRequestMarker);
    plain += token;
    plain += productCode;
    plain += kRequestTail;
    return plain;
}

std::string BuildRequest(std::string_view token, std::string_view productCode, std::string_view machineKey) {
    return Cipher(PlainRequest(token, productCode), machineKey) + Cipher(machineKey, "");
}

std::string PlainAnswer(std::string_view productCode, bool exists) {
    std::string field(kAnswerMarker);
    field += productCode;
    field += exists ? "-EXIST" : "-NOTEXIST";
    std::reverse(field.begin(), field.end());
    return field + "|0";
}

std::string BuildAnswer(std::string_view productCode, bool exists, std::string_view machineKey) {
    return Cipher(PlainAnswer(productCode, exists), machineKey);
}

std::string ParseAnswer(std::string_view received, std::string_view machineKey, std::string_view productCode) {
    if (received.empty()) return "";
    const std::string plain = received == kInvalidCommand ? std::string(received) : Cipher(received, machineKey);
    std::string first = plain.substr(0, plain.find('|'));
    if (first == "INVALIDCOMMAND") return "NOUPD";
    std::reverse(first.begin(), first.end());
    const std::string expected = std::string(kAnswerMarker) + std::string(productCode);
    if (first == expected + "-EXIST") return "EXIST";
    if (first == expected + "-NOTEXIST") return "NOTEXIST";
    return "-1";
}

void AnswerReader::Reset(std::string machineKey, std::string productCode) {
    key_ = std::move(machineKey);
    code_ = std::move(productCode);
    received_.clear();
}

std::string AnswerReader::Add(std::string_view bytes) {
    received_ += bytes;
    if (received_.empty()) return "";
    // No service answers at such length: what has come decides.
    constexpr size_t kLongest = 4096;
    if (received_.size() > kLongest) return ParseAnswer(received_, key_, code_);
    if (received_ == kInvalidCommand) return "NOUPD";
    if (kInvalidCommand.substr(0, received_.size()) == received_) return "";
    const std::string plain = Cipher(received_, key_);
    if (plain.find('|') != std::string::npos) return ParseAnswer(received_, key_, code_);
    for (const bool exists : {true, false}) {
        const std::string whole = PlainAnswer(code_, exists);
        const std::string field = whole.substr(0, whole.find('|'));
        if (plain == field) return exists ? "EXIST" : "NOTEXIST";
        if (field.compare(0, plain.size(), plain) == 0) return "";
    }
    if (plain == "INVALIDCOMMAND") return "NOUPD";
    if (std::string_view("INVALIDCOMMAND").substr(0, plain.size()) == plain) return "";
    return "-1";
}

std::string AnswerReader::Closed() const { return received_.empty() ? "" : ParseAnswer(received_, key_, code_); }

}  // namespace updexar::vek
