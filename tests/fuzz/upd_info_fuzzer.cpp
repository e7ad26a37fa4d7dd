// The update-information reader on any bytes: the pass over a package's file and the look at a
// stored one end with a defined result or the one error a broken file gives, never a crash.
#include "distribution/upd_info.h"
#include "fuzz_check.h"
#include "platform/errors.h"

UPDEXAR_FUZZ_TARGET(text) {
    updexar::InstalledFiles installed;
    installed.location1 = "C:\\WINDOWS\\system32\\";
    installed.location2 = "C:\\Apps\\Galvano\\";
    // Files whose name starts with "m" are missing; the others date from one fixed moment.
    installed.lastModified = [](const std::string& path) -> std::optional<updexar::DateTime> {
        if (path.find("\\m") != std::string::npos) return std::nullopt;
        return updexar::DateTime{2026, 12, 6, 10, 30, 15};
    };
    installed.longDate = [](const updexar::DateTime&) { return std::string("a day"); };
    try {
        const updexar::FileVerResult r = updexar::CheckFileVer(text, installed);
        Check((r.count >= -1 || r.count == -3) && (r.refusal.empty() || r.count >= 0));
        Check(r.count == -1 || !r.header.name.empty());
    } catch (const updexar::RuntimeError& e) {
        Check(e.Number() == updexar::ErrInputPastEnd);
    }
    try {
        if (const auto header = updexar::ReadStoredHeader(text)) {
            Check(!header->name.empty() && !header->date.empty());
            Check(updexar::ParseUpdDate(header->date).has_value() == (header->date.size() >= 10));
        }
    } catch (const updexar::RuntimeError& e) {
        Check(e.Number() == updexar::ErrInputPastEnd);
    }
}
