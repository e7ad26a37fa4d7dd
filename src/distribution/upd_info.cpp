#include "distribution/upd_info.h"

#include <cstdio>
#include <limits>
#include <string_view>

#include "core/config.h"
#include "core/list_input.h"
#include "platform/errors.h"

namespace updexar {
namespace {

int Part(const std::string& text, size_t from, size_t length) {
    if (from >= text.size()) return 0;
    // Four characters can still spell "9E99": what no calendar part can be is held at a bound.
    const double v = Val(text.substr(from, length));
    if (!(v > -100000)) return -100000;
    if (v > 100000) return 100000;
    return static_cast<int>(v);
}

}  // namespace

std::optional<UpdDate> ParseUpdDate(const std::string& text) {
    if (text.size() < 10) return std::nullopt;
    const int day = Part(text, 0, 2), month = Part(text, 3, 2), year = Part(text, 6, 4);
    const bool withTime = text.size() > 10;
    const int hour = withTime ? Part(text, 11, 2) : 0;
    const int minute = withTime ? Part(text, 14, 2) : 0;
    const int second = withTime ? Part(text, 17, 2) : 0;
    // Parts out of their range carry over, as a calendar would count them on: month 13 is the
    // next January, day 0 the last day of the month before.
    const int64_t months = static_cast<int64_t>(year) * 12 + (month - 1);
    DateTime first;
    first.year = static_cast<int>(months >= 0 ? months / 12 : (months - 11) / 12);
    first.month = static_cast<int>(months - static_cast<int64_t>(first.year) * 12) + 1;
    first.day = 1;
    const int64_t seconds =
        first.SerialSeconds() + (static_cast<int64_t>(day) - 1) * 86400 + hour * 3600LL + minute * 60LL + second;
    return UpdDate{DateTime::FromSerialSeconds(seconds), withTime};
}

std::string UpdDateProblem(const std::string& text) {
    if (text.size() != 10 && text.size() != 19) return "is neither DD/MM/YYYY nor DD/MM/YYYY HH:MM:SS";
    static const char kForm[] = "DD/MM/YYYY HH:MM:SS";
    for (size_t i = 0; i < text.size(); ++i) {
        const bool digit = text[i] >= '0' && text[i] <= '9';
        if (std::string_view("DMYHS").find(kForm[i]) != std::string_view::npos ? !digit : text[i] != kForm[i])
            return "is not written DD/MM/YYYY" + std::string(text.size() > 10 ? " HH:MM:SS" : "");
    }
    const DateTime read = ParseUpdDate(text)->when;
    const int written[] = {Part(text, 0, 2), Part(text, 3, 2), Part(text, 6, 4), Part(text, 11, 2), Part(text, 14, 2),
                           Part(text, 17, 2)};
    const int taken[] = {read.day, read.month, read.year, read.hour, read.minute, read.second};
    for (size_t i = 0; i < 6; ++i) {
        if (written[i] == taken[i]) continue;
        char shown[32];
        std::snprintf(shown, sizeof shown, "%02d/%02d/%04d %02d:%02d:%02d", read.day, read.month, read.year, read.hour,
                      read.minute, read.second);
        return "is no calendar date: the update reads it as " + std::string(shown, text.size());
    }
    return "";
}

int64_t UpdDateSeconds(const UpdDate& date) { return date.when.SerialSeconds(); }

int CompareFileTime(const DateTime& fileTime, const UpdDate& date) {
    const int64_t a = date.withTime ? fileTime.SerialSeconds() : fileTime.DayNumber();
    const int64_t b = date.withTime ? date.when.SerialSeconds() : date.when.DayNumber();
    return a < b ? -1 : a > b ? 1 : 0;
}

bool IsHeaderRecord(const std::vector<std::string>& f) {
    return f.size() == 4 && !f[0].empty() && !f[1].empty() && f[2].empty() && f[3].empty();
}

std::optional<UpdInfoHeader> ReadStoredHeader(const std::string& text) {
    ListInput in(text);
    std::vector<std::string> f;
    if (!in.NextRecord(4, f)) {
        if (in.Truncated()) throw RuntimeError(ErrInputPastEnd);
        return std::nullopt;
    }
    if (!IsHeaderRecord(f)) return std::nullopt;
    return UpdInfoHeader{f[0], f[1]};
}

FileVerResult CheckFileVer(const std::string& infoText, const InstalledFiles& installed) {
    FileVerResult r;
    ListInput in(infoText);
    std::vector<std::string> f;
    while (in.NextRecord(4, f)) {
        if (r.count == -1) {
            if (IsHeaderRecord(f)) {
                r.header = UpdInfoHeader{f[0], f[1]};
                r.count = 0;
            }
            continue;
        }
        if (f[0].empty() || (f[3] != "1" && f[3] != "2")) continue;
        const std::string path = (f[3] == "1" ? installed.location1 : installed.location2) + f[0];
        const std::optional<DateTime> modified = installed.lastModified(path);
        if (!modified) {
            if (!f[1].empty()) {
                r.refusal = "File [" + path + "] is missing and does not support this Update";
                return r;
            }
            // New with this update. The count only has to tell "some" from "none": it stops at
            // its ceiling rather than failing on a file with more than 32,767 records.
            if (r.count < std::numeric_limits<int16_t>::max()) ++r.count;
            continue;
        }
        if (const std::optional<UpdDate> minimum = ParseUpdDate(f[1]); minimum && CompareFileTime(*modified, *minimum) < 0) {
            r.refusal = "File [" + path + "] last modified on [" + installed.longDate(*modified) +
                        "] is not updated to support this Update";
            return r;
        }
        const std::optional<UpdDate> updated = ParseUpdDate(f[2]);
        if (!updated) continue;
        const int order = CompareFileTime(*modified, *updated);
        if (order < 0) {
            if (r.count < std::numeric_limits<int16_t>::max()) ++r.count;
        } else if (order > 0) {
            r.count = -3;
            return r;
        }
    }
    if (in.Truncated()) throw RuntimeError(ErrInputPastEnd);
    return r;
}

}  // namespace updexar
