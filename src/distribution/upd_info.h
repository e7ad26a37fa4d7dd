// The update-information file of a package: its header (the update's name and date), the files
// the installed product must have, and the dates that tell whether this computer needs the
// update.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/datetime.h"

namespace updexar {

// A date field: "DD/MM/YYYY" (10 characters) or "DD/MM/YYYY HH:MM:SS" (more); anything shorter
// is no date. The separators are not looked at; each part counts by its numeric value.
struct UpdDate {
    DateTime when;
    bool withTime = false;
};
std::optional<UpdDate> ParseUpdDate(const std::string& text);
// What is wrong with a date field for someone who writes one: not the length of either form,
// something other than digits where they belong, or parts out of range (which the update does not
// refuse but counts on with: 31/02/2026 is 03/03/2026 to it). Empty for a good date.
std::string UpdDateProblem(const std::string& text);
// Seconds on one scale for two stored dates of either length (a date alone is its midnight).
int64_t UpdDateSeconds(const UpdDate& date);
// How a file's last-modified time stands to the date: to the day for a date alone, to the second
// otherwise. Negative when the file is older.
int CompareFileTime(const DateTime& fileTime, const UpdDate& date);

struct UpdInfoHeader {
    std::string name;
    std::string date;
};

// The header's shape: fields 1 and 2 filled, 3 and 4 empty.
bool IsHeaderRecord(const std::vector<std::string>& fields);

// The first record of a stored info file, when it has the header's shape. 62 when the text ends
// inside that record.
std::optional<UpdInfoHeader> ReadStoredHeader(const std::string& text);

// What the first pass over the package's info file found.
struct FileVerResult {
    // -1 no header, 0 nothing needs the update, 1 and above that many files need it, -3 a file is
    // newer than the update (reading stopped there).
    int16_t count = -1;
    UpdInfoHeader header;
    // A listed file that keeps this computer from taking the update: the message (without the
    // closing full stop), empty when none.
    std::string refusal;
};

// What the pass needs to know about the installed files.
struct InstalledFiles {
    std::string location1;  // the system folder, with a closing backslash
    std::string location2;  // the installation folder, with a closing backslash
    // Null when the file is not there.
    std::function<std::optional<DateTime>(const std::string& path)> lastModified;
    std::function<std::string(const DateTime&)> longDate;
};

// The first pass. 62 when the file ends inside a record.
FileVerResult CheckFileVer(const std::string& infoText, const InstalledFiles& installed);

}  // namespace updexar
