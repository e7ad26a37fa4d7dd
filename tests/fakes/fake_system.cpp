#include "fakes/fake_system.h"

#include <vector>

#include "platform/errors.h"
#include "platform/strings.h"

namespace updexar::fakes {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\x1a'; }

std::string TrimBlanks(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && IsBlank(s[b])) ++b;
    while (e > b && IsBlank(s[e - 1])) --e;
    return s.substr(b, e - b);
}

// The longest start of the text that fits `units` UTF-16 units without splitting a character.
std::string CutToUnits(const std::string& utf8, size_t units) {
    size_t used = 0, i = 0;
    while (i < utf8.size()) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        const size_t len = c < 0x80 ? 1 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        const size_t need = len == 4 ? 2 : 1;
        if (used + need > units) break;
        used += need;
        i += len;
    }
    return utf8.substr(0, i);
}

// The value of the key in the first section of that name; nothing when either is missing or the
// line has no "=".
std::optional<std::string> FindProfileValue(const std::string& content, const std::string& section,
                                            const std::string& key) {
    bool inSection = false;
    size_t pos = 0;
    while (pos <= content.size()) {
        size_t end = content.find_first_of("\r\n", pos);
        if (end == std::string::npos) end = content.size();
        const std::string line = TrimBlanks(content.substr(pos, end - pos));
        pos = end + 1;
        if (line.empty() || line[0] == ';') continue;
        if (line[0] == '[') {
            const size_t close = line.rfind(']');
            if (close != std::string::npos) {
                if (inSection) return std::nullopt;  // only the first section of the name counts
                inSection = EqualsNoCase(TrimBlanks(line.substr(1, close - 1)), TrimBlanks(section));
                continue;
            }
        }
        if (!inSection) continue;
        const size_t eq = line.find('=');
        if (eq == std::string::npos) {
            if (EqualsNoCase(line, TrimBlanks(key))) return std::nullopt;
            continue;
        }
        if (EqualsNoCase(TrimBlanks(line.substr(0, eq)), TrimBlanks(key))) return TrimBlanks(line.substr(eq + 1));
    }
    return std::nullopt;
}

}  // namespace

FakeSystem::FakeSystem(platform::FileSystem& files) : files_(files) {
    SetDisplay(1024, 768, 96);
    // Classic-theme sizes.
    for (const auto& [index, value] : std::vector<std::pair<int, int>>{
             {2, 16}, {3, 16}, {4, 19}, {5, 1}, {6, 1}, {7, 3}, {8, 3}, {15, 19}, {32, 4}, {33, 4}})
        metrics_[index] = value;
}

void FakeSystem::SetDisplay(int width, int height, int dpi) {
    display_ = {width, height};
    dpi_ = dpi > 0 ? dpi : 96;
    metrics_[0] = width;
    metrics_[1] = height;
}


std::string FakeSystem::ReadProfileString(const std::string& file, const std::string& section,
                                          const std::string& key, const std::string& fallback,
                                          uint32_t bufferChars) {
    if (bufferChars == 0) return {};
    // A bare file name is looked for in the Windows folder.
    const bool bare = file.find_first_of("\\/") == std::string::npos && file.find(':') == std::string::npos;
    const std::string path = bare ? PathJoin(windowsDirectory, file) : file;
    std::optional<std::string> value;
    try {
        value = FindProfileValue(files_.ReadAllText(path), section, key);
    } catch (const RuntimeError&) {
        // A file that cannot be read is a missing one.
    }
    std::string result;
    if (value) {
        result = *value;
        // Enclosing quotes of either kind are dropped.
        if (result.size() >= 2 && (result[0] == '"' || result[0] == '\'') && result.back() == result[0])
            result = result.substr(1, result.size() - 2);
    } else {
        result = fallback;
        while (!result.empty() && result.back() == ' ') result.pop_back();
    }
    return CutToUnits(result, bufferChars - 1);
}

void FakeSystem::EndProcess(uint32_t exitCode) {
    endedWith = exitCode;
    throw ProcessEnded{exitCode};
}

std::unique_ptr<platform::ExclusiveLock> FakeSystem::TryExclusiveLock(const std::string& name) {
    struct Held : platform::ExclusiveLock {
        std::set<std::string>& held;
        std::string name;
        Held(std::set<std::string>& h, std::string n) : held(h), name(std::move(n)) {}
        ~Held() override { held.erase(name); }
    };
    if (!heldLocks.insert(name).second) return nullptr;
    return std::make_unique<Held>(heldLocks, name);
}

std::string FakeSystem::LongDate(const DateTime& when) {
    static const char* const kDays[] = {"Thursday", "Friday", "Saturday", "Sunday", "Monday", "Tuesday", "Wednesday"};
    static const char* const kMonths[] = {"January", "February", "March",     "April",   "May",      "June",
                                          "July",    "August",   "September", "October", "November", "December"};
    const int64_t day = when.DayNumber();  // 1 January 1970 was a Thursday
    const std::string weekday = kDays[((day % 7) + 7) % 7];
    const std::string month = when.month >= 1 && when.month <= 12 ? kMonths[when.month - 1] : "?";
    return weekday + ", " + std::to_string(when.day) + " " + month + " " + std::to_string(when.year);
}

}  // namespace updexar::fakes
