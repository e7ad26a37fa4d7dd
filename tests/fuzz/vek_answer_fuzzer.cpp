// The reading of a VEK service's answer on any bytes, cut into any pieces: whatever arrives ends
// in one of the check's outcomes, or in waiting for more while it may still become an answer.
#include "fuzz_check.h"
#include "server/vek_protocol.h"

UPDEXAR_FUZZ_TARGET(input) {
    if (input.empty()) return;
    // The first byte cuts the rest into pieces of at most that many bytes.
    const size_t piece = static_cast<uint8_t>(input[0]) % 16 + 1;
    updexar::vek::AnswerReader reader;
    reader.Reset(updexar::vek::MachineKeyFromSeed("73815046"), "GAL");
    std::string outcome;
    for (size_t at = 1; at < input.size() && outcome.empty(); at += piece) outcome = reader.Add(input.substr(at, piece));
    if (outcome.empty()) outcome = reader.Closed();
    Check(outcome.empty() ? input.size() == 1 : outcome == "EXIST" || outcome == "NOTEXIST" || outcome == "NOUPD" || outcome == "-1");
}
