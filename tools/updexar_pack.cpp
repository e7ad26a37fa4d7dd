// updexar-pack: for the people who build update packages.
//
//   updexar-pack check PACKAGE   reads the package as the program reads it and prints each finding
//                                as "<file>:<line>: error: <text>" (or "warning:"), the way
//                                compilers do, so that an editor can jump to it
//   updexar-pack plan PACKAGE --install DIR [--system DIR] [--data DIR]
//                                what an update of that installation would do with each entry of
//                                the index, and whether the installation needs the update; it
//                                writes nothing
//   updexar-pack seal PACKAGE    writes Updexar.sha256 at the package's top, which the program
//                                checks before it changes anything and `sha256sum -c` checks too
//
// Every reading and every decision is the program's own (the list-input reader, the index rules,
// the update-information checks, the seal); this file only reports them.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/list_input.h"
#include "core/package_seal.h"
#include "core/product_table.h"
#include "distribution/data_store.h"
#include "distribution/upd_info.h"
#include "platform/errors.h"
#include "platform/local_system.h"
#include "platform/strings.h"
#include "update/package_index.h"

namespace {

using namespace updexar;

constexpr int kOk = 0;
constexpr int kFound = 1;
constexpr int kBadUsage = 2;

const char kUsage[] =
    "usage: updexar-pack check PACKAGE\n"
    "       updexar-pack plan PACKAGE --install DIR [--system DIR] [--data DIR]\n"
    "       updexar-pack seal PACKAGE\n"
    "\n"
    "check  reads the package as the update reads it and prints one finding a line,\n"
    "       <file>:<line>: error|warning: <text>; exit code 1 when there is an error.\n"
    "plan   says what an update of the installation DIR would do with each index entry\n"
    "       (SYSDIR\\ entries need --system, SOFTDATADIR\\ ones --data) and whether the\n"
    "       installation needs the update. It writes nothing.\n"
    "seal   writes Updexar.sha256 at the package's top: the SHA-256 of every file, as\n"
    "       sha256sum writes it. The program refuses a package whose files differ from it.\n";

int Usage(const std::string& problem) {
    std::fprintf(stderr, "updexar-pack: %s\n%s", problem.c_str(), kUsage);
    return kBadUsage;
}

// Paths are built with "\" as the program builds them; shown with the separator of this system.
std::string Shown(std::string path) {
#ifndef _WIN32
    std::replace(path.begin(), path.end(), '\\', '/');
#endif
    return path;
}

std::string Quote(const std::string& text) { return "'" + text + "'"; }

std::string DayText(const DateTime& when) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d/%02d/%04d", when.day, when.month, when.year);
    return text;
}

struct Package {
    platform::FileSystem& fs;
    std::string dir;   // as given, without a trailing separator
    std::string name;  // the folder's own name
    std::string Path(const std::string& relative) const { return dir + "\\" + relative; }
};

// The program files at the package's top ("Update<letter>.exe") with their products; null for a
// letter that is no product's.
std::vector<std::pair<std::string, const ProductRow*>> Programs(Package& p) {
    std::vector<std::pair<std::string, const ProductRow*>> found;
    for (const std::string& file : p.fs.ListFiles(p.dir)) {
        if (file.size() != 11 || !StartsWithNoCase(file, "Update") || !EndsWithNoCase(file, ".exe")) continue;
        found.emplace_back(file, ProductByLetter(file[6]));
    }
    return found;
}

// The product the package's program serves: the first good one; null when there is none.
const ProductRow* ProductOf(Package& p) {
    for (const auto& program : Programs(p))
        if (program.second) return program.second;
    return nullptr;
}

// Every file of the package by its path below it ("/" between folders), sorted, without the seal
// itself and the report folders a LAN run keeps in a shared package.
std::vector<std::string> PackageFiles(Package& p) {
    std::vector<std::string> files;
    for (const TreeFile& f : ListTree(p.fs, p.dir)) {
        std::string path = f.relative;
        std::replace(path.begin(), path.end(), '\\', '/');
        const size_t slash = path.find('/');
        if (slash == std::string::npos ? EqualsNoCase(path, kSealName) : IsReportFolder(path.substr(0, slash))) continue;
        files.push_back(path);
    }
    std::sort(files.begin(), files.end());
    return files;
}

// --- check ----------------------------------------------------------------------------------------

class Checker {
public:
    explicit Checker(Package& p) : p_(p) {}

    int Run() {
        Programs();
        Tools();
        Information();
        Index();
        Fonts();
        Seal();
        // File by file in the order they were first named, each from its top.
        std::stable_sort(findings_.begin(), findings_.end(), [](const Finding& a, const Finding& b) {
            return a.file != b.file ? a.order < b.order : a.line < b.line;
        });
        for (const Finding& f : findings_) {
            const std::string where = Shown(f.file) + (f.line > 0 ? ":" + std::to_string(f.line) : std::string());
            std::printf("%s: %s: %s\n", where.c_str(), f.error ? "error" : "warning", f.text.c_str());
        }
        std::printf("%s: %d error(s), %d warning(s)\n", Shown(p_.dir).c_str(), errors_, warnings_);
        return errors_ > 0 ? kFound : kOk;
    }

private:
    struct Finding {
        std::string file;
        size_t order;
        size_t line;
        bool error;
        std::string text;
    };

    void Say(const std::string& file, size_t line, bool error, const std::string& text) {
        size_t order = findings_.size();
        for (const Finding& f : findings_)
            if (f.file == file) order = std::min(order, f.order);
        findings_.push_back(Finding{file, order, line, error, text});
        ++(error ? errors_ : warnings_);
    }
    void Error(const std::string& file, size_t line, const std::string& text) { Say(file, line, true, text); }
    void Warning(const std::string& file, size_t line, const std::string& text) { Say(file, line, false, text); }

    void Programs() {
        const auto programs = ::Programs(p_);
        if (programs.empty())
            Error(p_.dir, 0, "no program Update<letter>.exe: its last letter picks the product (UpdateG.exe for Galvano)");
        for (const auto& [file, product] : programs) {
            if (!product) Error(p_.Path(file), 0, "'" + file.substr(6, 1) + "' is no product's letter");
        }
        product_ = ProductOf(p_);
    }

    void Tools() {
        if (!p_.fs.FileExists(p_.Path("MiscFls\\RegSvr32.exe")))
            Error(p_.Path("MiscFls"), 0, "RegSvr32.exe is missing: the update stops with \"RegSvr32 File is Mising\"");
    }

    void Information() {
        const bool p = p_.fs.FileExists(p_.Path("UpdInfoP.txt")), f = p_.fs.FileExists(p_.Path("UpdInfoF.txt"));
        if (p && f) Warning(p_.Path("UpdInfoF.txt"), 0, "never read: UpdInfoP.txt is there too, and the update takes it");
        if (!p && !f) {
            if (!product_ || product_->key != "Xelmor")
                Error(p_.dir, 0, "no update information (UpdInfoP.txt or UpdInfoF.txt): the update stops with \"Missing "
                                 "Update Info File\"");
            return;
        }
        const std::string file = p_.Path(p ? "UpdInfoP.txt" : "UpdInfoF.txt");
        ListInput in(p_.fs.ReadAllText(file));
        std::vector<std::string> r;
        bool header = false;
        while (in.NextRecord(4, r)) {
            const size_t line = in.RecordLine();
            if (!header) {
                header = IsHeaderRecord(r);
                if (!header) {
                    Warning(file, line, "before the header record (name,date,,): the update skips it");
                    continue;
                }
                if (!EqualsNoCase(r[0], p_.name))
                    Error(file, line, "the update's name " + Quote(r[0]) + " is not the package folder's name " + Quote(p_.name) +
                                          ": the update stops with \"Invalid Update Name\"");
                Date(file, line, "the update's date", r[1]);
                continue;
            }
            if (r[0].empty()) {
                Warning(file, line, "a record without a file name: the update skips it");
                continue;
            }
            if (r[3] != "1" && r[3] != "2")
                Error(file, line, "the location " + Quote(r[3]) + " of " + Quote(r[0]) +
                                      " is neither 1 (the system folder) nor 2 (the installation): the update skips the record");
            if (!r[1].empty()) Date(file, line, "the oldest date the update works with", r[1]);
            if (!r[2].empty()) Date(file, line, "the update's date of the file", r[2]);
        }
        if (in.Truncated()) Truncated(file, in.RecordLine());
        if (!header)
            Error(file, 0, "no header record (name,date,,): the update stops with \"Not a Valid Update Info File\"");
    }

    void Date(const std::string& file, size_t line, const std::string& what, const std::string& text) {
        const std::string problem = UpdDateProblem(text);
        if (!problem.empty()) Error(file, line, what + " " + Quote(text) + " " + problem);
    }

    void Truncated(const std::string& file, size_t line) {
        Error(file, line, "the file ends inside this record: the update stops reading with \"Input past end of file\"");
    }

    void Index() {
        if (!p_.fs.FolderExists(p_.Path("DLLs"))) {
            Error(p_.dir, 0, "no DLLs folder: the update stops with \"Source Folder [...\\DLLs] not Found\"");
            return;
        }
        const std::string file = p_.Path("DLLs\\NewUpFls\\INDEX.UPD");
        if (!p_.fs.FileExists(file)) return;
        const PackageIndex index = ReadPackageIndex(p_.fs.ReadAllText(file));
        static const char* const kFields[] = {"kind", "source", "destination", "rule"};
        for (const DroppedRecord& d : index.dropped) {
            std::string empty;
            for (size_t i = 0; i < 4; ++i)
                if (d.fields[i].empty()) empty += (empty.empty() ? "" : ", ") + std::string(kFields[i]);
            Error(file, d.line, "no " + empty + " (every record has four fields; a blank line is an empty one): the update "
                                "drops the record without a word");
        }
        if (index.truncated) Truncated(file, index.truncatedLine);

        std::map<std::string, size_t> destinations;
        for (const IndexEntry& e : index.entries) {
            const EntryKind kind = KindOf(e.type);
            if (kind == EntryKind::Invalid)
                Error(file, e.line, "the kind " + Quote(e.type) + " is neither FILE nor FOLDER: the update skips the entry");
            else
                Source(file, e, kind);
            Destination(file, e, destinations);
            if (RuleOf(e.rule) == OverwriteRule::Always && e.rule != "Always")
                Warning(file, e.line, "the rule " + Quote(e.rule) +
                                          " is neither \"No\" nor \"Last Modified Date\" (with their case): the update "
                                          "overwrites always; write \"Always\" to say so");
        }
    }

    void Source(const std::string& file, const IndexEntry& e, EntryKind kind) {
        if (const std::string escape = EscapeFromRoot(e.source); !escape.empty()) {
            Error(file, e.line, "the source " + Quote(e.source) + " " + escape + ": sources lie below DLLs\\NewUpFls");
            return;
        }
        const std::string path = p_.Path("DLLs\\NewUpFls\\" + e.source);
        std::optional<uint64_t> size;
        if (LookAtSource(p_.fs, kind, path, size) == SourceProblem::None) return;
        const bool other = kind == EntryKind::File ? p_.fs.FolderExists(path) : p_.fs.FileExists(path);
        Error(file, e.line, "the source " + Quote(e.source) +
                                (other ? std::string(" is a ") + (kind == EntryKind::File ? "folder" : "file") +
                                             ", the kind says " + e.type
                                       : " is not below DLLs\\NewUpFls") +
                                ": the update skips the entry");
    }

    void Destination(const std::string& file, const IndexEntry& e, std::map<std::string, size_t>& seen) {
        const IndexDestination d = SplitDestination(e.destination);
        static const char* const kRoots[] = {"the system folder", "the data directory", "the installation"};
        const char* root = kRoots[static_cast<int>(d.root)];
        if (const std::string escape = EscapeFromRoot(d.below); !escape.empty()) {
            Error(file, e.line, "the destination " + Quote(e.destination) + " " + escape + ": it would land outside " + root);
        } else if (d.below.empty()) {
            Error(file, e.line, "the destination " + Quote(e.destination) + " names nothing below " + root);
        }
        if (KindOf(e.type) == EntryKind::Folder && NamesWholeRoot(e.destination))
            Error(file, e.line, "the FOLDER destination " + Quote(e.destination) + " is not below " + root +
                                    ": the update refuses to replace the whole folder and skips the entry");
        if (product_ && product_->key == kNoProductKey && d.root != DestinationRoot::System)
            Error(file, e.line, "the destination " + Quote(e.destination) +
                                    " is not below SYSDIR\\: a package for no product (UpdateO.exe) may only write there, "
                                    "and the update stops with \"Some files required to be copied in Installation Path\"");
        std::string key = std::to_string(static_cast<int>(d.root)) + ToUpper(d.below);
        std::replace(key.begin(), key.end(), '/', '\\');
        const auto [at, fresh] = seen.emplace(key, e.line);
        if (!fresh)
            Warning(file, e.line, "the destination " + Quote(e.destination) + " is written by line " +
                                      std::to_string(at->second) + " too");
    }

    void Fonts() {
        const std::string file = p_.Path("DLLs\\MyFonts\\FontList.txt");
        if (!p_.fs.FileExists(file)) return;
        ListInput in(p_.fs.ReadAllText(file));
        std::vector<std::string> r;
        while (in.NextRecord(2, r)) {
            if (r[0].empty() || r[1].empty()) {
                Warning(file, in.RecordLine(), "a record without a font file or face name: the update skips it");
            } else if (!p_.fs.FileExists(p_.Path("DLLs\\MyFonts\\" + r[0]))) {
                Error(file, in.RecordLine(), "the font file " + Quote(r[0]) + " is not in DLLs\\MyFonts: the update skips the font");
            }
        }
        if (in.Truncated())
            Warning(file, in.RecordLine(), "the list ends inside this record: the update reads no further");
    }

    void Seal() {
        const std::string file = p_.Path(std::string(kSealName));
        const SealLoad load = LoadPackageSeal(p_.fs, p_.dir);
        if (!load.present) return;
        if (load.seal.badLine != 0) {
            Error(file, load.seal.badLine, load.seal.badReason + ": the update refuses the package");
        } else if (!load.failure.empty()) {
            Error(file, 0, load.failure);
            return;
        }
        std::map<std::string, bool> sealed;
        for (const SealedFile& f : load.seal.files) {
            sealed[ToUpper(f.path)] = true;
            if (const auto breach = FirstBreach(p_.fs, p_.dir, PackageSeal{{f}, 0, {}}))
                Error(file, f.line, Quote(f.path) + (p_.fs.FileExists(SealedPath(p_.dir, f.path)) ? " differs from its hash" : " is missing") +
                                        ": the update refuses the package (seal it again after a change)");
        }
        for (const std::string& path : PackageFiles(p_))
            if (!sealed.count(ToUpper(path)))
                Warning(file, 0, Quote(path) + " is not sealed: the update does not check it (seal the package again)");
    }

    Package& p_;
    const ProductRow* product_ = nullptr;
    std::vector<Finding> findings_;
    int errors_ = 0;
    int warnings_ = 0;
};

// --- plan -----------------------------------------------------------------------------------------

struct PlanFolders {
    std::string install, system, data;
};

std::string Exists(platform::FileSystem& fs, EntryKind kind, const std::string& path) {
    return kind == EntryKind::Folder ? (fs.FolderExists(path) ? "folder" : "") : (fs.FileExists(path) ? "file" : "");
}

// What the update does with one entry, as its copy step decides it.
std::string EntryPlan(Package& p, const IndexEntry& e, const DestinationFolders& folders, const PlanFolders& given) {
    const EntryKind kind = KindOf(e.type);
    if (kind == EntryKind::Folder && NamesWholeRoot(e.destination))
        return "refused: " + Quote(e.destination) + " is a whole folder, which the update does not replace";
    const std::string source = p.Path("DLLs\\NewUpFls\\" + e.source);
    std::optional<uint64_t> size;
    if (const SourceProblem problem = LookAtSource(p.fs, kind, source, size); problem != SourceProblem::None)
        return "skip: " + Shown(SourceProblemText(problem, source));
    const IndexDestination d = SplitDestination(e.destination);
    if ((d.root == DestinationRoot::System && given.system.empty()) || (d.root == DestinationRoot::Data && given.data.empty()))
        return std::string("not planned: give ") + (d.root == DestinationRoot::System ? "--system" : "--data");
    const std::string target = DestinationPath(e.destination, folders);
    if (target.empty())
        return "refused: a package for no product writes only below SYSDIR\\; the update stops here with \"Some files "
               "required to be copied in Installation Path\"";
    std::string plan = Shown(target) + ": ";
    if (Exists(p.fs, kind, target).empty()) return plan + "copy (nothing there yet)";
    switch (RuleOf(e.rule)) {
    case OverwriteRule::Never:
        return plan + "keep (rule \"No\": it is there)";
    case OverwriteRule::UnlessSourceOlder: {
        const DateTime from = p.fs.LastModified(source), to = p.fs.LastModified(target);
        const std::string dates = "the source of " + DayText(from) + " against " + DayText(to) + " there";
        return plan + (SourceIsOlder(from, to) ? "keep (rule \"Last Modified Date\": " + dates + ", older)"
                                               : "replace (rule \"Last Modified Date\": " + dates + ", not older)");
    }
    case OverwriteRule::Always:
        break;
    }
    return plan + (e.rule == "Always" ? "replace (rule \"Always\")" : "replace (rule " + Quote(e.rule) + " means always)");
}

std::string WithoutTrailingSeparator(std::string path) {
    while (path.size() > 1 && (path.back() == '\\' || path.back() == '/')) path.pop_back();
    return path;
}

int Plan(Package& p, const PlanFolders& given) {
    const ProductRow* product = ProductOf(p);
    const std::string install = WithoutTrailingSeparator(given.install);
    if (!product) std::printf("%s: no program Update<letter>.exe of a product; planned as for one\n", Shown(p.dir).c_str());
    if (product && product->key != kNoProductKey) {
        if (!EndsWithNoCase(Shown(install), Shown("\\" + std::string(product->dirName))))
            std::printf("%s: the update stops: the installation must be a folder named %s\n", Shown(install).c_str(),
                        std::string(product->dirName).c_str());
        else if (!p.fs.FolderExists(install))
            std::printf("%s: the update stops: the installation is not there\n", Shown(install).c_str());
    }
    const DestinationFolders folders{WithoutTrailingSeparator(given.system), install, WithoutTrailingSeparator(given.data),
                                     !product || product->key != kNoProductKey};

    const std::string indexFile = p.Path("DLLs\\NewUpFls\\INDEX.UPD");
    if (p.fs.FileExists(indexFile)) {
        const PackageIndex index = ReadPackageIndex(p.fs.ReadAllText(indexFile));
        std::vector<std::pair<size_t, std::string>> lines;
        for (const IndexEntry& e : index.entries)
            lines.emplace_back(e.line, e.type + " " + e.source + " -> " + EntryPlan(p, e, folders, given));
        for (const DroppedRecord& d : index.dropped) lines.emplace_back(d.line, "dropped: a field of the record is empty");
        std::sort(lines.begin(), lines.end());
        for (const auto& [line, text] : lines) std::printf("%s:%zu: %s\n", Shown(indexFile).c_str(), line, text.c_str());
        if (index.truncated)
            std::printf("%s:%zu: the update stops reading: the file ends inside this record\n", Shown(indexFile).c_str(),
                        index.truncatedLine);
    } else {
        std::printf("%s: no index: the update installs no entries\n", Shown(indexFile).c_str());
    }

    std::string info;
    for (const char* kind : {"P", "F"})
        if (info.empty() && p.fs.FileExists(p.Path(std::string("UpdInfo") + kind + ".txt"))) info = p.Path(std::string("UpdInfo") + kind + ".txt");
    if (info.empty()) {
        std::printf("%s: no update information\n", Shown(p.dir).c_str());
        return kOk;
    }
    InstalledFiles installed;
    installed.location1 = folders.system + "\\";
    installed.location2 = install + "\\";
    installed.lastModified = [&p](const std::string& path) -> std::optional<DateTime> {
        try {
            return p.fs.LastModified(path);
        } catch (const RuntimeError&) {
            return std::nullopt;
        }
    };
    installed.longDate = DayText;
    std::string verdict;
    try {
        const FileVerResult r = CheckFileVer(p.fs.ReadAllText(info), installed);
        if (!r.refusal.empty()) verdict = "the update stops: " + Shown(r.refusal);
        else if (r.count == -1) verdict = "the update stops: no header record";
        else if (r.count == 0) verdict = "the installation has this update already (asked, the user may take it again)";
        else if (r.count == -3) verdict = "the installation has a newer one (asked, the user may take this one all the same)";
        else verdict = "the installation needs this update (" + std::to_string(r.count) + " listed file(s) older or new)";
    } catch (const RuntimeError& e) {
        verdict = "the update stops: " + e.Description();
    }
    std::printf("%s: %s\n", Shown(info).c_str(), verdict.c_str());
    return kOk;
}

// --- seal -----------------------------------------------------------------------------------------

int Seal(Package& p) {
    std::vector<SealedFile> files;
    for (const std::string& path : PackageFiles(p)) {
        try {
            files.push_back(SealedFile{path, FileSha256(p.fs, SealedPath(p.dir, path)), 0});
        } catch (const RuntimeError& e) {
            std::fprintf(stderr, "updexar-pack: %s: %s\n", Shown(SealedPath(p.dir, path)).c_str(), e.Description().c_str());
            return kFound;
        }
    }
    const std::string text = SealText(files);
    const std::string file = p.Path(std::string(kSealName));
    try {
        p.fs.WriteAllBytes(file, std::vector<uint8_t>(text.begin(), text.end()));
    } catch (const RuntimeError& e) {
        std::fprintf(stderr, "updexar-pack: cannot write %s: %s\n", Shown(file).c_str(), e.Description().c_str());
        return kFound;
    }
    std::printf("%s: %zu file(s) sealed\n", Shown(file).c_str(), files.size());
    return kOk;
}

// The folder's own name, also when it is given as "." or "..".
std::string FolderName(const std::string& dir) {
    const std::string name = PathFileName(dir);
    if (!name.empty() && name != "." && name != "..") return name;
    std::error_code failed;
    const std::filesystem::path full = std::filesystem::weakly_canonical(std::filesystem::absolute(dir, failed), failed);
    return failed ? name : full.filename().string();
}

int Main(const std::vector<std::string>& args, platform::FileSystem& fs) {
    if (args.empty()) return Usage("no command given");
    const std::string& command = args.front();
    if (command == "--help" || command == "-h" || command == "help") {
        std::fputs(kUsage, stdout);
        return kOk;
    }
    if (command != "check" && command != "plan" && command != "seal") return Usage("unknown command " + Quote(command));
    std::vector<std::string> rest;
    PlanFolders given;
    for (size_t i = 1; i < args.size(); ++i) {
        std::string* option = args[i] == "--install" ? &given.install
                              : args[i] == "--system" ? &given.system
                              : args[i] == "--data"   ? &given.data
                                                      : nullptr;
        if (option && command == "plan") {
            if (i + 1 >= args.size()) return Usage(args[i] + " takes a folder");
            *option = args[++i];
        } else if (args[i].size() > 1 && args[i][0] == '-') {
            return Usage("unknown option " + Quote(args[i]));
        } else {
            rest.push_back(args[i]);
        }
    }
    if (rest.size() != 1) return Usage(command + " takes one package folder");
    if (command == "plan" && given.install.empty()) return Usage("plan needs --install DIR");

    const std::string dir = WithoutTrailingSeparator(rest.front());
    if (!fs.FolderExists(dir)) return Usage("no package folder " + Quote(dir));
    Package p{fs, dir, FolderName(dir)};
    try {
        if (command == "check") return Checker(p).Run();
        if (command == "plan") return Plan(p, given);
        return Seal(p);
    } catch (const RuntimeError& e) {
        std::fprintf(stderr, "updexar-pack: %s\n", e.Description().c_str());
        return kFound;
    }
}

}  // namespace

int main(int argc, char** argv) {
    return Main(updexar::platform::ToolArguments(argc, argv), updexar::platform::LocalFileSystem());
}
