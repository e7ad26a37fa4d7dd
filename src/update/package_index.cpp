#include "update/package_index.h"

#include "core/list_input.h"
#include "platform/errors.h"
#include "platform/strings.h"

namespace updexar {

PackageIndex ReadPackageIndex(const std::string& text) {
    PackageIndex index;
    ListInput in(text);
    std::vector<std::string> f;
    while (in.NextRecord(4, f)) {
        if (f[0].empty() || f[1].empty() || f[2].empty() || f[3].empty()) {
            index.dropped.push_back(DroppedRecord{f, in.RecordLine()});
            continue;
        }
        index.entries.push_back(IndexEntry{f[0], f[1], f[2], f[3], 0, in.RecordLine()});
    }
    index.truncated = in.Truncated();
    if (index.truncated) index.truncatedLine = in.RecordLine();
    return index;
}

EntryKind KindOf(const std::string& type) {
    const std::string upper = ToUpper(type);
    if (upper == "FILE") return EntryKind::File;
    if (upper == "FOLDER") return EntryKind::Folder;
    return EntryKind::Invalid;
}

SourceProblem LookAtSource(platform::FileSystem& fs, EntryKind kind, const std::string& source,
                           std::optional<uint64_t>& size) {
    size.reset();
    if (kind == EntryKind::Invalid) return SourceProblem::InvalidType;
    if (kind == EntryKind::Folder) return fs.FolderExists(source) ? SourceProblem::None : SourceProblem::FolderMissing;
    try {
        size = fs.FileSize(source);
    } catch (const RuntimeError& error) {
        if (error.Number() == ErrFileNotFound || error.Number() == ErrPathNotFound) return SourceProblem::FileMissing;
    }
    return SourceProblem::None;
}

std::string SourceProblemText(SourceProblem problem, const std::string& source) {
    switch (problem) {
    case SourceProblem::FileMissing:
        return "File missing (" + source + ")";
    case SourceProblem::FolderMissing:
        return "Folder missing (" + source + ")";
    case SourceProblem::InvalidType:
        return "Invalid Type (" + source + ")";
    case SourceProblem::None:
        break;
    }
    return "";
}

IndexDestination SplitDestination(const std::string& destination) {
    if (StartsWithNoCase(destination, "SYSDIR\\")) return {DestinationRoot::System, destination.substr(7)};
    if (StartsWithNoCase(destination, "SOFTDATADIR\\")) return {DestinationRoot::Data, destination.substr(12)};
    return {DestinationRoot::Installation, destination};
}

std::string DestinationPath(const std::string& destination, const DestinationFolders& folders) {
    const IndexDestination d = SplitDestination(destination);
    if (d.root == DestinationRoot::System) return folders.system + "\\" + d.below;
    if (!folders.product) return "";
    return (d.root == DestinationRoot::Data ? folders.data : folders.installation) + "\\" + d.below;
}

std::string EscapeFromRoot(const std::string& below) {
    if (below.size() >= 2 && below[1] == ':') return "names a drive";
    if (below.size() >= 2 && (below[0] == '\\' || below[0] == '/') && (below[1] == '\\' || below[1] == '/'))
        return "names a share";
    if (!below.empty() && (below[0] == '\\' || below[0] == '/')) return "starts at the top of a drive";
    for (const std::string& part : Split(below, "\\"))
        for (const std::string& piece : Split(part, "/"))
            if (piece == "..") return "climbs out with \"..\"";
    return "";
}

bool NamesWholeRoot(const std::string& destination) {
    int depth = 0;
    for (const std::string& part : Split(SplitDestination(destination).below, "\\"))
        for (const std::string& piece : Split(part, "/")) {
            if (piece == "..") --depth;
            else if (piece.find_first_not_of(" .") != std::string::npos) ++depth;
        }
    return depth <= 0;
}

OverwriteRule RuleOf(const std::string& rule) {
    if (rule == "No") return OverwriteRule::Never;
    if (rule == "Last Modified Date") return OverwriteRule::UnlessSourceOlder;
    return OverwriteRule::Always;
}

bool SourceIsOlder(const DateTime& source, const DateTime& destination) {
    return source.DayNumber() < destination.DayNumber();
}

}  // namespace updexar
