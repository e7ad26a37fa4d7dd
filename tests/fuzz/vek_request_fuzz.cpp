// Arbitrary bytes, cut into arrivals at arbitrary points and spread over time, into the VEK
// service's request handling. Besides not crashing, the service must never look at any file but
// "T" + four digits + ".txt" in a product's own data directory.
#include <string_view>

#include "fuzz_check.h"
#include "server/vek_protocol.h"
#include "server/vek_service_core.h"

using namespace updexar;

namespace {

bool SafeName(const std::string& name) {
    return name.size() == 9 && vek::IsValidToken(std::string_view(name).substr(0, 5)) && name.substr(5) == ".txt";
}

const vek::ServiceCore& Core() {
    static const vek::ServiceCore core(
        [](const ProductRow& p) -> std::optional<std::string> { return "D:\\Data\\" + std::string(p.key); },
        [](const std::string& dir, const std::string& name) {
            Check(SafeName(name) && dir.rfind("D:\\Data\\", 0) == 0);
            return name[4] % 2 == 0;
        },
        vek::ServiceLimits{10000, 100, 1000});
    return core;
}

}  // namespace

UPDEXAR_FUZZ_TARGET(input) {
    const std::string_view all = input;
    const vek::ServiceCore& core = Core();
    Check(vek::AnswerBytes(core, all).size() <= 64);  // the whole input as one request

    // The input as a conversation: each control byte says how many of the following bytes make
    // the next arrival and how long the pause before it is.
    vek::Session session(core, 0);
    int64_t now = 0;
    size_t at = 0;
    while (at < all.size() && session.CurrentPhase() != vek::Session::Phase::Done) {
        const auto control = static_cast<uint8_t>(all[at++]);
        const size_t take = std::min<size_t>(1 + (control & 0x1f), all.size() - at);
        now += (control >> 5) * 40;
        if (now >= session.Deadline()) session.OnTime(now);
        session.OnArrival(all.substr(at, take), now);
        at += take;
        // Odd control bytes let the lookup overrun its time, even ones answer it at once.
        if (session.CurrentPhase() == vek::Session::Phase::Checking) {
            if (control & 1) {
                session.OnTime(session.Deadline());
            } else {
                session.OnChecked(core.Answer(session.Request()), now);
            }
        }
        if (session.CurrentPhase() == vek::Session::Phase::Replying) {
            Check(!session.Reply().empty() && session.Reply().size() <= 64);
            session.OnReplySent(now);
        }
    }
    session.OnTime(session.Deadline());
    session.OnPeerClosed(session.Deadline());
}
