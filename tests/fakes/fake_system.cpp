#include "fakes/fake_system.h"

#include <vector>

#include "platform/errors.h"
#include "platform/strings.h"

namespace updexar::fakes {
namespace {

std::string TrimBlanks(const std::string& s) {
    const size_t b = s.find_first_not_of(" \t\r\n\x1a"), e = s.find_last_not_of(" \t\r\n\x1a");
    return b == std::string::npos ? "" : s.substr(b, e - b + 1);
}

// The value of the key in its section; nothing when either is missing or the line has no "=".
std::optional<std::string> FindProfileValue(const std::string& content, const std::string& section,
                                            const std::string& key) {
    bool inSection = false;
    for (const std::string& raw : Split(content, "\n")) {
        const std::string line = TrimBlanks(raw);
        const size_t eq = line.find('=');
        if (!line.empty() && line[0] == '[' && line.find(']') != std::string::npos)
            inSection = EqualsNoCase(TrimBlanks(line.substr(1, line.find(']') - 1)), TrimBlanks(section));
        else if (inSection && eq != std::string::npos && EqualsNoCase(TrimBlanks(line.substr(0, eq)), TrimBlanks(key)))
            return TrimBlanks(line.substr(eq + 1));
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
    const std::string path = bare ? PathJoin(WindowsDirectory(), file) : file;
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
    // The buffer holds its characters and a NUL; a character is not cut in two.
    size_t end = 0;
    for (uint32_t chars = 1; end < result.size() && chars < bufferChars; ++chars)
        do ++end; while (end < result.size() && (static_cast<unsigned char>(result[end]) & 0xC0) == 0x80);
    return result.substr(0, end);
}

void FakeSystem::EndProcess(uint32_t exitCode) {
    endedWith = exitCode;
    if (atEnd) atEnd();
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
