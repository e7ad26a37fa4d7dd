// The decisions an update makes about the entries of a package's index (DLLs\NewUpFls\INDEX.UPD):
// which records it takes, whether an entry's source is there, where the entry goes, and whether
// a destination that is there already is kept. The update run acts on them; updexar-pack's check
// and plan report them, so a package author sees what the program will do and not a guess.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/datetime.h"
#include "platform/filesystem.h"

namespace updexar {

struct IndexEntry {
    std::string type;  // empty once the entry is to be skipped
    std::string source;
    std::string destination;
    std::string rule;
    uint64_t size = 0;
    size_t line = 0;  // where the record began in the index
};

// A record the update drops without a word: one of its four fields is empty.
struct DroppedRecord {
    std::vector<std::string> fields;
    size_t line = 0;
};

struct PackageIndex {
    std::vector<IndexEntry> entries;  // the records the update uses, in file order
    std::vector<DroppedRecord> dropped;
    // The text ends inside a record: the update takes the whole records and then stops the
    // reading with 62 "Input past end of file".
    bool truncated = false;
    size_t truncatedLine = 0;
};
PackageIndex ReadPackageIndex(const std::string& text);

enum class EntryKind { File, Folder, Invalid };
// "FILE" or "FOLDER" without regard to case.
EntryKind KindOf(const std::string& type);

enum class SourceProblem { None, FileMissing, FolderMissing, InvalidType };
// The update's look at a source: a file is looked at once, which also gives its size. A failure
// other than "not there" is no problem here: the size that is needed next reports it.
SourceProblem LookAtSource(platform::FileSystem& fs, EntryKind kind, const std::string& source,
                           std::optional<uint64_t>& size);
// "File missing (<source>)", as the update reports it; empty for None.
std::string SourceProblemText(SourceProblem problem, const std::string& source);

enum class DestinationRoot { System, Data, Installation };
struct IndexDestination {
    DestinationRoot root = DestinationRoot::Installation;
    std::string below;  // the path below the root, as the index writes it
};
// "SYSDIR\" and "SOFTDATADIR\" count at the first character only, without regard to case;
// anything else is below the installation.
IndexDestination SplitDestination(const std::string& destination);

struct DestinationFolders {
    std::string system;
    std::string installation;
    std::string data;
    // False for key "O": no product, so nothing but the system folder takes files.
    bool product = true;
};
// The full path an entry is copied to; empty when the update refuses it (and stops with "Some
// files required to be copied in Installation Path").
std::string DestinationPath(const std::string& destination, const DestinationFolders& folders);

// Why a path below a root would land outside it ("..", a drive, a share or a path from the top
// of a drive); empty when it stays inside. The update joins the texts as they stand, so such a
// destination writes wherever it points.
std::string EscapeFromRoot(const std::string& below);

// A FOLDER entry replaces what is at its destination, deleting it first: a destination that does
// not end at least one folder below its root ("SYSDIR\", "SOFTDATADIR\", "\", "x\..", and
// "..\Galvano", which may be the root again) would delete the whole system folder, data directory
// or installation, or more. Windows drops trailing dots and blanks of a name, so "SYSDIR\ ." is
// the system folder too.
bool NamesWholeRoot(const std::string& destination);

enum class OverwriteRule { Never, UnlessSourceOlder, Always };
// "No" and "Last Modified Date", exactly and with case; any other text overwrites always.
OverwriteRule RuleOf(const std::string& rule);
// The rule "Last Modified Date" keeps a destination whose source is older by calendar day; the
// time of day does not count.
bool SourceIsOlder(const DateTime& source, const DateTime& destination);

}  // namespace updexar
