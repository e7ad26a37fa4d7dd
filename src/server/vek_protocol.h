// The data-directory check spoken with the VEK service: the machine key, the character cipher,
// the request and the reading of the answer. Both ends use these, so they live apart from any
// window or socket.
//
// Everything here works on text in the ANSI code page, byte for byte, because that is what goes
// over the wire: a character's code is its ANSI byte. All fixed texts of the exchange are ASCII.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/filesystem.h"

namespace updexar::vek {

inline constexpr std::string_view kRequestMarker = "tOkEnMaRkR";
inline constexpr std::string_view kAnswerMarker = "tOkEnMaRkRaLt--";
inline constexpr std::string_view kRequestTail = "VD";
inline constexpr std::string_view kDefaultKey = "WINTERMAPLEFOX?";
// Used when no fixed drive reports a serial number.
inline constexpr std::string_view kFallbackSeed = "73815046";
inline constexpr std::string_view kInvalidCommand = "INVALIDCOMMAND|0";
inline constexpr uint16_t kDefaultPort = 7070;
// A serial number is at most ten digits, three key characters each.
inline constexpr size_t kMaxMachineKeyLength = 30;

// The decimal serial text of the first fixed drive that reports one; the fallback seed otherwise.
std::string MachineKeySeed(const std::vector<platform::DriveInfo>& drives);
// Two digits and a blank per seed character, alternately appended and put in front.
std::string MachineKeyFromSeed(std::string_view seed);
inline std::string MachineKey(const std::vector<platform::DriveInfo>& drives) {
    return MachineKeyFromSeed(MachineKeySeed(drives));
}

// The key as the digit string the cipher walks; an empty key means the default key.
std::string ExpandKey(std::string_view key);
// Enciphers and deciphers alike. A character whose XOR with the key would give NUL, LF, CR or
// Ctrl-Z is left as it is, so no such character is ever made.
std::string Cipher(std::string_view text, std::string_view key);

// "T" and the last four digits of the rounded seconds since midnight.
std::string MakeToken(double secondsSinceMidnight);
// The token's name in the data directory.
inline std::string TokenFileName(std::string_view token) { return std::string(token) + ".txt"; }
// Exactly "T" and four digits.
bool IsValidToken(std::string_view token);

// The plain request: marker, token, product code, "VD".
std::string PlainRequest(std::string_view token, std::string_view productCode);
// What the client sends: the plain request enciphered with the machine key, followed at once by
// the machine key enciphered with the default key.
std::string BuildRequest(std::string_view token, std::string_view productCode, std::string_view machineKey);

// What the service means by its answer, before enciphering: the first field reversed.
std::string PlainAnswer(std::string_view productCode, bool exists);
std::string BuildAnswer(std::string_view productCode, bool exists, std::string_view machineKey);

// The check's state after an answer: "EXIST", "NOTEXIST", "NOUPD", "-1", or "" when the answer
// is empty (nothing happens, the wait goes on).
std::string ParseAnswer(std::string_view received, std::string_view machineKey, std::string_view productCode);

// Gathers the service's answer as it arrives. TCP may hand it over in pieces, and the cipher runs
// from its first byte, so a piece is read together with what came before it. An answer is taken
// as soon as it is whole, or as soon as it can no longer become a known one.
class AnswerReader {
public:
    void Reset(std::string machineKey, std::string productCode);
    // The outcome ("EXIST", "NOTEXIST", "NOUPD", "-1"), or "" while more is worth waiting for.
    std::string Add(std::string_view bytes);
    // The other side has closed: what came is all there is; "" when nothing came.
    std::string Closed() const;

private:
    std::string key_;
    std::string code_;
    std::string received_;
};

}  // namespace updexar::vek
