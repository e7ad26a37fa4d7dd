// The reading of a VEK service's answer on any bytes, cut into any pieces: whatever arrives ends
// in one of the check's outcomes, or in waiting for more while it may still become an answer.
#include <set>

#include "server/vek_protocol.h"
#include "fuzz_check.h"

using fuzzcheck::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::set<std::string> kOutcomes{"EXIST", "NOTEXIST", "NOUPD", "-1"};
    if (size == 0) return 0;
    // The first byte cuts the rest into pieces of at most that many bytes.
    const size_t piece = data[0] % 16 + 1;
    const std::string bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    updexar::vek::AnswerReader reader;
    reader.Reset(updexar::vek::MachineKeyFromSeed("73815046"), "GAL");
    std::string outcome;
    for (size_t at = 0; at < bytes.size() && outcome.empty(); at += piece) outcome = reader.Add(bytes.substr(at, piece));
    if (outcome.empty()) outcome = reader.Closed();
    Check(outcome.empty() ? bytes.empty() : kOutcomes.count(outcome) == 1);
    return 0;
}
