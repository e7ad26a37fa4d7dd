#include "fakes/fake_filesystem.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <iterator>

#include "platform/errors.h"
#include "platform/string_reader.h"
#include "platform/strings.h"

namespace updexar::fakes {

using platform::AttrArchive;
using platform::AttrDirectory;
using platform::AttrReadOnly;
using Entry = FakeFileSystem::Entry;

// Where a path leads. `parent` is the folder it would be in, null when a folder on the way is
// missing (and for a root); `entry` is null when the thing itself is missing.
struct FakeFileSystem::Where {
    bool invalid = false, trailing = false, isRoot = false;
    std::string rootKey, key, name;
    std::shared_ptr<Entry> entry, parent;

    // A trailing separator names a folder: "x.txt\" is no file.
    std::shared_ptr<Entry> File() const { return entry && !entry->folder && !trailing ? entry : nullptr; }
    std::shared_ptr<Entry> Folder() const { return entry && entry->folder ? entry : nullptr; }
    void Guard() const {
        if (invalid) throw RuntimeError(ErrBadFileNameOrNumber);
    }
    // The error for a missing file: its folder missing too is "Path not found".
    [[noreturn]] void ThrowMissing() const {
        Guard();
        throw RuntimeError(parent || isRoot ? ErrFileNotFound : ErrPathNotFound);
    }
};

namespace {

bool EndsWithSep(const std::string& p) { return !p.empty() && (p.back() == '\\' || p.back() == '/'); }

bool InsideOrSame(const std::string& key, const std::string& outer) {
    return key == outer || (key.size() > outer.size() && key.compare(0, outer.size(), outer) == 0 &&
                            key[outer.size()] == '\\');
}

std::string NoTrailingSep(const std::string& p) {
    std::string out = p;
    while (out.size() > 1 && EndsWithSep(out) && !(out.size() == 3 && out[1] == ':')) out.pop_back();
    return out;
}

}  // namespace

// Writes go straight into the file, so a reader sees them at once, as with the real log files.
class FakeTextWriter : public platform::TextWriter {
public:
    FakeTextWriter(platform::Clock& clock, platform::AnsiText& text, std::function<void()> checkFault,
                   std::shared_ptr<Entry> entry)
        : clock_(clock), text_(text), checkFault_(std::move(checkFault)), entry_(std::move(entry)) {}
    void Write(const std::string& text) override {
        if (!entry_) throw RuntimeError(ErrBadFileNameOrNumber);
        checkFault_();
        const std::string ansi = text_.ToAnsi(text);
        entry_->bytes.insert(entry_->bytes.end(), ansi.begin(), ansi.end());
        entry_->modified = clock_.Now();
    }
    void WriteLine(const std::string& text) override { Write(text + "\r\n"); }
    void Close() override { entry_.reset(); }

private:
    platform::Clock& clock_;
    platform::AnsiText& text_;
    std::function<void()> checkFault_;
    std::shared_ptr<Entry> entry_;
};

FakeFileSystem::Where FakeFileSystem::Find(const std::string& path) {
    Where w;
    std::string p = path;
    std::replace(p.begin(), p.end(), '/', '\\');
    size_t pos = 0;
    if (p.rfind("\\\\", 0) == 0) {
        const size_t s1 = p.find('\\', 2);
        if (s1 == std::string::npos) return w;
        const size_t s2 = p.find('\\', s1 + 1);
        const std::string server = p.substr(2, s1 - 2);
        const std::string share = p.substr(s1 + 1, s2 == std::string::npos ? std::string::npos : s2 - s1 - 1);
        if (server.empty() || share.empty()) return w;
        w.rootKey = "\\\\" + ToUpper(server) + "\\" + ToUpper(share);
        pos = s2 == std::string::npos ? p.size() : s2;
    } else if (p.size() >= 2 && p[1] == ':' && std::isalpha(static_cast<unsigned char>(p[0]))) {
        w.rootKey = ToUpper(p.substr(0, 1)) + ":";
        pos = 2;
    } else {
        return w;  // the program names every file from a drive or a share; a relative path finds nothing
    }
    std::vector<std::string> parts;
    for (const std::string& part : Split(std::string_view(p).substr(pos), "\\")) {
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
    }
    w.trailing = !parts.empty() && p.back() == '\\';
    w.key = w.rootKey;
    for (const std::string& part : parts) {
        w.key += "\\" + ToUpper(part);
        // Characters Windows refuses in a name.
        for (char c : part) w.invalid = w.invalid || static_cast<unsigned char>(c) < 32 || std::strchr("<>:\"|?*", c);
    }
    if (w.invalid || !entries_.count(w.rootKey)) return w;
    w.isRoot = parts.empty();
    if (!w.isRoot) {
        w.name = parts.back();
        const auto parent = entries_.find(w.key.substr(0, w.key.rfind('\\')));
        if (parent != entries_.end() && parent->second->folder) w.parent = parent->second;
    }
    const auto entry = entries_.find(w.key);
    if (entry != entries_.end()) w.entry = entry->second;
    return w;
}

// The entries directly in a folder, in creation order.
std::vector<std::pair<std::string, std::shared_ptr<Entry>>> FakeFileSystem::Children(const std::string& key) {
    std::vector<std::pair<std::string, std::shared_ptr<Entry>>> out;
    for (const auto& [k, e] : entries_)
        if (k.size() > key.size() + 1 && InsideOrSame(k, key) && k.find('\\', key.size() + 1) == std::string::npos)
            out.emplace_back(k, e);
    std::sort(out.begin(), out.end(), [](const auto& a, const auto& b) { return a.second->made < b.second->made; });
    return out;
}

std::shared_ptr<Entry> FakeFileSystem::Make(const Where& w, bool folder) {
    auto e = std::make_shared<Entry>();
    e->name = w.name;
    e->folder = folder;
    e->attributes = folder ? AttrDirectory : AttrArchive;
    e->modified = clock_.Now();
    e->made = ++made_;
    return entries_[w.key] = e;
}

void FakeFileSystem::AddDrive(const std::string& letter) {
    platform::DriveInfo drive;
    drive.letter = ToUpper(letter.substr(0, 1));
    drive.type = platform::DriveFixed;
    drive.ready = drive.hasSerial = true;
    drive.serial = 0x1C2D3E4F;
    drives_.push_back(drive);
    entries_[drive.letter + ":"] =
        std::make_shared<Entry>(Entry{"", true, AttrDirectory, clock_.Now(), {}, 0, 0, false});
}

void FakeFileSystem::AddShare(const std::string& uncRoot) {
    const Where w = Find(uncRoot);
    if (!entries_.count(w.rootKey))
        entries_[w.rootKey] = std::make_shared<Entry>(Entry{"", true, AttrDirectory, clock_.Now(), {}, 0, 0, false});
}

void FakeFileSystem::MakeFolders(const std::string& path) {
    const std::string p = NoTrailingSep(path);
    const Where w = Find(p);
    w.Guard();
    if (w.Folder()) return;
    if (!entries_.count(w.rootKey)) throw RuntimeError(ErrPathNotFound);
    if (!w.parent) MakeFolders(PathParent(p));
    CreateFolder(p);
}

int FakeFileSystem::TakeFault(const std::string& key) {
    for (Fault& f : faults_) {
        if (f.times == 0 || !InsideOrSame(key, Find(f.path).key)) continue;
        if (f.skip > 0) {
            --f.skip;
            continue;
        }
        if (f.times > 0) --f.times;
        return f.error;
    }
    return 0;
}

void FakeFileSystem::CheckFault(const std::string& key) {
    if (const int e = TakeFault(key)) throw RuntimeError(e);
}

bool FakeFileSystem::FileExists(const std::string& path) { return Find(path).File() != nullptr; }

bool FakeFileSystem::FolderExists(const std::string& path) { return Find(path).Folder() != nullptr; }

std::string FakeFileSystem::ParentFolder(const std::string& folder) {
    if (!FolderExists(folder)) throw RuntimeError(ErrPathNotFound);
    return ParentOfNormalized(NormalizePath(folder));
}

std::vector<platform::DriveInfo> FakeFileSystem::Drives() {
    std::vector<platform::DriveInfo> out = drives_;
    std::sort(out.begin(), out.end(), [](const auto& a, const auto& b) { return a.letter < b.letter; });
    return out;
}

void FakeFileSystem::CopyOne(const Entry& source, const std::string& target, bool overwrite) {
    const Where t = Find(target);
    t.Guard();
    if (t.isRoot) throw RuntimeError(ErrPermissionDenied);
    if (t.entry) {
        if (t.entry->folder) throw RuntimeError(ErrPermissionDenied);
        if (!overwrite) throw RuntimeError(ErrFileExists);
        if (t.entry->attributes & AttrReadOnly) throw RuntimeError(ErrPermissionDenied);
        // Onto itself: the real copy would empty it first.
        if (t.entry.get() == &source) throw RuntimeError(ErrPermissionDenied);
    } else if (!t.parent) {
        throw RuntimeError(ErrPathNotFound);
    }
    CheckFault(t.key);
    Changing(t.key);
    // An overwritten file keeps its own name and place; a copy takes the source's date, as on Windows.
    const auto copy = t.entry ? t.entry : Make(t, false);
    copy->bytes = source.bytes;
    copy->unheld = source.unheld;
    copy->attributes = source.attributes | AttrArchive;
    copy->modified = source.modified;
}

void FakeFileSystem::CopyFile(const std::string& source, const std::string& target, bool overwrite) {
    const Where s = Find(source);
    s.Guard();
    const auto file = s.File();
    if (!file) throw RuntimeError(ErrFileNotFound);
    // A target ending in a separator names the folder to copy into.
    CopyOne(*file, EndsWithSep(target) ? target + PathFileName(source) : target, overwrite);
}

void FakeFileSystem::CopyTree(const std::string& sourceKey, const std::string& target, bool overwrite) {
    const Where t = Find(target);
    t.Guard();
    if (t.entry && !t.entry->folder) throw RuntimeError(ErrFileExists);
    if (!t.entry) {
        if (!t.parent) throw RuntimeError(ErrPathNotFound);
        Make(t, true);
    }
    for (const auto& [key, child] : Children(sourceKey)) {
        if (child->folder) {
            CopyTree(key, PathJoin(target, child->name), overwrite);
        } else {
            CopyOne(*child, PathJoin(target, child->name), overwrite);
        }
    }
}

void FakeFileSystem::CopyFolder(const std::string& source, const std::string& target, bool overwrite) {
    const Where s = Find(source);
    s.Guard();
    if (!s.Folder()) throw RuntimeError(ErrPathNotFound);
    const std::string to = EndsWithSep(target) ? target + PathFileName(NoTrailingSep(source)) : target;
    // Into itself would never end.
    if (InsideOrSame(Find(to).key, s.key)) throw RuntimeError(ErrPermissionDenied);
    CopyTree(s.key, NoTrailingSep(to), overwrite);
}

void FakeFileSystem::DeleteFile(const std::string& path, bool force) {
    const Where w = Find(path);
    const auto file = w.File();
    if (!file) throw RuntimeError(ErrFileNotFound);
    if ((file->attributes & AttrReadOnly) && !force) throw RuntimeError(ErrPermissionDenied);
    Changing(w.key);
    entries_.erase(w.key);
}

// Children first, one by one: a failure halfway leaves what was not reached, as on a disk.
void FakeFileSystem::RemoveTree(const std::string& key) {
    for (const auto& child : Children(key)) RemoveTree(child.first);
    Changing(key);
    entries_.erase(key);
}

void FakeFileSystem::DeleteFolder(const std::string& path, bool force) {
    const Where w = Find(path);
    if (!w.Folder()) throw RuntimeError(ErrPathNotFound);
    if (w.isRoot) throw RuntimeError(ErrPermissionDenied);
    // Refused before anything is gone rather than halfway through.
    for (const auto& [key, e] : entries_)
        if (!force && InsideOrSame(key, w.key) && (e->attributes & AttrReadOnly))
            throw RuntimeError(ErrPermissionDenied);
    RemoveTree(w.key);
}

void FakeFileSystem::CreateFolder(const std::string& path) {
    if (path.empty()) throw RuntimeError(ErrPathNotFound);
    const Where w = Find(path);
    w.Guard();
    if (w.entry) throw RuntimeError(ErrFileExists);
    if (!w.parent) throw RuntimeError(ErrPathNotFound);
    Changing(w.key);
    Make(w, true);
}

uint32_t FakeFileSystem::GetAttributes(const std::string& path) {
    const Where w = Find(path);
    w.Guard();
    if (!w.File() && !w.Folder()) throw RuntimeError(ErrFileNotFound);
    return w.entry->attributes;
}

void FakeFileSystem::SetAttributes(const std::string& path, uint32_t attributes) {
    const Where w = Find(path);
    w.Guard();
    if (!w.File() && !w.Folder()) throw RuntimeError(ErrFileNotFound);
    Changing(w.key);
    const uint32_t settable = AttrReadOnly | platform::AttrHidden | platform::AttrSystem | AttrArchive;
    w.entry->attributes = (attributes & settable) | (w.entry->folder ? uint32_t{AttrDirectory} : 0u);
}

uint64_t FakeFileSystem::FileSize(const std::string& path) {
    const Where w = Find(path);
    w.Guard();
    if (!w.File()) throw RuntimeError(ErrFileNotFound);
    return w.entry->bytes.size() + w.entry->unheld;
}

void FakeFileSystem::SetSize(const std::string& path, uint64_t size) {
    const auto file = Find(path).File();
    if (!file) throw RuntimeError(ErrFileNotFound);
    file->unheld = size > file->bytes.size() ? size - file->bytes.size() : 0;
}

uint64_t FakeFileSystem::FolderSize(const std::string& path) {
    const Where w = Find(path);
    w.Guard();
    if (!w.Folder()) throw RuntimeError(ErrPathNotFound);
    uint64_t total = 0;
    for (const auto& [key, e] : entries_)
        if (!e->folder && InsideOrSame(key, w.key)) total += e->bytes.size() + e->unheld;
    return total;
}

DateTime FakeFileSystem::LastModified(const std::string& path) {
    const Where w = Find(path);
    w.Guard();
    if (!w.File() && !w.Folder()) throw RuntimeError(ErrFileNotFound);
    return w.entry->modified;
}

void FakeFileSystem::SetLastModified(const std::string& path, const DateTime& when) {
    if (!when.IsValid() || when.year < 1601) throw RuntimeError(ErrInvalidCall);
    const Where w = Find(path);
    w.Guard();
    if (!w.File() && !w.Folder()) throw RuntimeError(ErrFileNotFound);
    w.entry->modified = when;
}

std::vector<platform::FolderEntry> FakeFileSystem::ListEntries(const std::string& folder) {
    const Where w = Find(folder);
    w.Guard();
    if (!w.Folder()) throw RuntimeError(ErrPathNotFound);
    std::vector<platform::FolderEntry> out;
    for (const auto& child : Children(w.key)) {
        const Entry& e = *child.second;
        out.push_back(platform::FolderEntry{e.name, e.folder, e.folder ? 0 : e.bytes.size() + e.unheld});
    }
    return out;
}

std::vector<std::string> FakeFileSystem::ListFiles(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& e : ListEntries(folder))
        if (!e.folder) names.push_back(e.name);
    return names;
}

std::vector<std::string> FakeFileSystem::ListFolders(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& e : ListEntries(folder))
        if (e.folder) names.push_back(e.name);
    return names;
}

void FakeFileSystem::Rename(const std::string& from, const std::string& to, bool replace) {
    const Where f = Find(from);
    const Where t = Find(to);
    f.Guard();
    t.Guard();
    if (!f.entry || f.isRoot) f.ThrowMissing();
    if (t.rootKey != f.rootKey) throw RuntimeError(ErrRenameAcrossDisks);
    if (!t.parent) throw RuntimeError(ErrPathNotFound);
    if (t.entry && t.entry != f.entry && (!replace || t.entry->folder || f.entry->folder))
        throw RuntimeError(ErrFileExists);
    if (f.entry->folder && InsideOrSame(t.key, f.key) && t.key != f.key) throw RuntimeError(ErrPermissionDenied);
    Changing(t.key);
    std::vector<std::pair<std::string, std::shared_ptr<Entry>>> moving;
    for (const auto& [key, e] : entries_)
        if (InsideOrSame(key, f.key)) moving.emplace_back(t.key + key.substr(f.key.size()), e);
    for (auto it = entries_.begin(); it != entries_.end();)
        it = InsideOrSame(it->first, f.key) || it->first == t.key ? entries_.erase(it) : std::next(it);
    for (auto& [key, e] : moving) entries_[key] = e;
    f.entry->name = t.name;
    f.entry->made = ++made_;
}

std::vector<uint8_t> FakeFileSystem::ReadAllBytes(const std::string& path) {
    const Where w = Find(path);
    w.Guard();
    if (w.Folder()) throw RuntimeError(ErrPermissionDenied);
    if (!w.File()) w.ThrowMissing();
    return w.entry->bytes;
}

std::string FakeFileSystem::ReadAllText(const std::string& path) {
    const std::vector<uint8_t> bytes = ReadAllBytes(path);
    return text_.FromAnsi(std::string(bytes.begin(), bytes.end()));
}

std::shared_ptr<Entry> FakeFileSystem::OpenForWriting(const std::string& path, bool append, std::string& key) {
    const Where w = Find(path);
    w.Guard();
    if (w.Folder()) throw RuntimeError(ErrPermissionDenied);
    if (w.trailing) throw RuntimeError(ErrBadFileNameOrNumber);
    if (!w.entry && !w.parent) throw RuntimeError(ErrPathNotFound);
    Changing(w.key);
    if (w.entry && (w.entry->attributes & AttrReadOnly)) throw RuntimeError(ErrPermissionDenied);
    // A full disk lets the file be made or emptied and then fails the write; anything else
    // fails the opening.
    const int fault = TakeFault(w.key);
    if (fault && fault != ErrDiskFull) throw RuntimeError(fault);
    const auto file = w.entry ? w.entry : Make(w, false);
    if (!append) {
        file->bytes.clear();
        file->modified = clock_.Now();
    }
    file->attributes |= AttrArchive;
    if (fault) throw RuntimeError(fault);
    key = w.key;
    return file;
}

void FakeFileSystem::WriteAllBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::string key;
    OpenForWriting(path, false, key)->bytes = bytes;
}

void FakeFileSystem::WriteAllText(const std::string& path, const std::string& text) {
    const std::string ansi = text_.ToAnsi(text);
    WriteAllBytes(path, std::vector<uint8_t>(ansi.begin(), ansi.end()));
}

std::unique_ptr<platform::TextWriter> FakeFileSystem::OpenTextWriter(const std::string& path, bool append) {
    std::string key;
    auto file = OpenForWriting(path, append, key);
    return std::make_unique<FakeTextWriter>(clock_, text_, [this, key] { CheckFault(key); }, std::move(file));
}

std::unique_ptr<platform::TextReader> FakeFileSystem::OpenTextReader(const std::string& path) {
    return std::make_unique<platform::StringTextReader>(ReadAllText(path));
}

void FakeFileSystem::WritePrivateFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    if (Find(path).entry) throw RuntimeError(ErrFileExists);
    std::string key;
    auto file = OpenForWriting(path, false, key);
    file->bytes = bytes;
    file->isPrivate = true;
}

std::string FakeFileSystem::AccessDescription(const std::string& path) {
    const auto entry = Find(path).entry;
    return entry && entry->isPrivate ? "D:P(A;;FA;;;BA)(A;;FA;;;" + userSid + ")" : "";
}

}  // namespace updexar::fakes
