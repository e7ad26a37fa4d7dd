#include "fakes/fake_filesystem.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "platform/errors.h"
#include "platform/string_reader.h"
#include "platform/strings.h"

namespace updexar::fakes {

using platform::AttrArchive;
using platform::AttrDirectory;
using platform::AttrHidden;
using platform::AttrReadOnly;
using platform::AttrSystem;

struct FakeFileSystem::Node {
    std::string name;
    std::string upper;
    bool folder = false;
    uint32_t attributes = 0;
    DateTime modified;
    std::vector<uint8_t> bytes;
    // Bytes the file is said to hold beyond those it keeps: large files without the memory.
    uint64_t unheld = 0;
    std::vector<std::shared_ptr<Node>> children;

    std::shared_ptr<Node> Child(const std::string& upperName) const {
        for (const auto& c : children)
            if (c->upper == upperName) return c;
        return nullptr;
    }
    void Remove(const Node* child) {
        children.erase(std::remove_if(children.begin(), children.end(),
                                      [child](const std::shared_ptr<Node>& c) { return c.get() == child; }),
                       children.end());
    }
};

struct FakeFileSystem::Root {
    std::string key;  // "C:" or "\\SERVER\SHARE", upper case
    bool share = false;
    platform::DriveInfo drive;
    std::shared_ptr<Node> node;
};

// Where a path leads. `parent` is null when a folder on the way is missing (and for a root);
// `node` is null when the thing itself is missing.
struct FakeFileSystem::Lookup {
    bool invalid = false;
    bool isRoot = false;
    bool trailing = false;
    Root* root = nullptr;
    std::shared_ptr<Node> parent;
    std::shared_ptr<Node> node;
    std::string name;
    std::string key;  // the whole path upper-cased and tidied, for faults and comparisons

    // A trailing separator names a folder: "x.txt\" is no file.
    std::shared_ptr<Node> File() const { return node && !node->folder && !trailing ? node : nullptr; }
    std::shared_ptr<Node> Folder() const { return node && node->folder ? node : nullptr; }
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

bool IsSep(char c) { return c == '\\' || c == '/'; }
bool EndsWithSep(const std::string& p) { return !p.empty() && IsSep(p.back()); }

// Characters Windows refuses in a file or folder name.
bool BadName(const std::string& part) {
    for (char c : part)
        if (static_cast<unsigned char>(c) < 32 || std::strchr("<>:\"|?*", c)) return true;
    return false;
}

bool InsideOrSame(const std::string& key, const std::string& outer) {
    return key == outer || (key.size() > outer.size() && key.compare(0, outer.size(), outer) == 0 &&
                            key[outer.size()] == '\\');
}

std::string NoTrailingSep(const std::string& p) {
    std::string out = p;
    while (out.size() > 1 && IsSep(out.back()) && !(out.size() == 3 && out[1] == ':')) out.pop_back();
    return out;
}

bool HoldsReadOnly(const FakeFileSystem::Node& folder) {
    for (const auto& c : folder.children) {
        if (c->attributes & AttrReadOnly) return true;
        if (c->folder && HoldsReadOnly(*c)) return true;
    }
    return false;
}

uint64_t TreeSize(const FakeFileSystem::Node& folder) {
    uint64_t total = 0;
    for (const auto& c : folder.children) total += c->folder ? TreeSize(*c) : c->bytes.size() + c->unheld;
    return total;
}

}  // namespace

// Writes go straight into the file, so a reader sees them at once, as with the real log files.
class FakeTextWriter : public platform::TextWriter {
public:
    FakeTextWriter(FakeFileSystem& fs, std::shared_ptr<FakeFileSystem::Node> node, std::string key)
        : fs_(fs), node_(std::move(node)), key_(std::move(key)) {}
    void Write(const std::string& text) override {
        if (!node_) throw RuntimeError(ErrBadFileNameOrNumber);
        fs_.CheckFault(key_);
        const std::string ansi = fs_.text_.ToAnsi(text);
        node_->bytes.insert(node_->bytes.end(), ansi.begin(), ansi.end());
        node_->modified = fs_.clock_.Now();
    }
    void WriteLine(const std::string& text) override { Write(text + "\r\n"); }
    void Close() override { node_.reset(); }

private:
    FakeFileSystem& fs_;
    std::shared_ptr<FakeFileSystem::Node> node_;
    std::string key_;
};


FakeFileSystem::FakeFileSystem(platform::Clock& clock, platform::AnsiText& text) : clock_(clock), text_(text) {}

FakeFileSystem::~FakeFileSystem() = default;

void FakeFileSystem::AddDrive(const std::string& letter) {
    auto root = std::make_unique<Root>();
    root->key = ToUpper(letter.substr(0, 1)) + ":";
    root->drive.letter = ToUpper(letter.substr(0, 1));
    root->drive.type = platform::DriveFixed;
    root->drive.ready = true;
    root->drive.hasSerial = true;
    root->drive.serial = 0x1C2D3E4F;
    root->node = NewRootFolder();
    roots_.push_back(std::move(root));
}

std::shared_ptr<FakeFileSystem::Node> FakeFileSystem::NewRootFolder() {
    auto node = std::make_shared<Node>();
    node->folder = true;
    node->attributes = AttrDirectory;
    node->modified = clock_.Now();
    return node;
}

void FakeFileSystem::AddShare(const std::string& uncRoot) {
    const Lookup l = Find(uncRoot);
    if (l.root) return;
    auto root = std::make_unique<Root>();
    root->key = l.key;
    root->share = true;
    root->drive.type = platform::DriveNetwork;
    root->drive.ready = true;
    root->node = NewRootFolder();
    roots_.push_back(std::move(root));
}

void FakeFileSystem::MakeFolders(const std::string& path) {
    const std::string p = NoTrailingSep(path);
    const Lookup l = Find(p);
    l.Guard();
    if (l.Folder()) return;
    if (!l.root) throw RuntimeError(ErrPathNotFound);
    if (!l.parent) MakeFolders(PathParent(p));
    CreateFolder(p);
}

void FakeFileSystem::InjectFault(const Fault& fault) { faults_.push_back(fault); }

int FakeFileSystem::TakeFault(const std::string& key) {
    for (Fault& f : faults_) {
        if (f.times == 0) continue;
        if (!InsideOrSame(key, Find(f.path).key)) continue;
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

FakeFileSystem::Lookup FakeFileSystem::Find(const std::string& path) {
    Lookup r;
    if (path.empty()) return r;
    std::string p = path;
    std::replace(p.begin(), p.end(), '/', '\\');
    std::string rootKey;
    size_t pos = 0;
    if (p.rfind("\\\\", 0) == 0) {
        const size_t s1 = p.find('\\', 2);
        if (s1 == std::string::npos) return r;
        const size_t s2 = p.find('\\', s1 + 1);
        const std::string server = p.substr(2, s1 - 2);
        const std::string share = p.substr(s1 + 1, s2 == std::string::npos ? std::string::npos : s2 - s1 - 1);
        if (server.empty() || share.empty()) return r;
        rootKey = "\\\\" + ToUpper(server) + "\\" + ToUpper(share);
        pos = s2 == std::string::npos ? p.size() : s2;
    } else if (p.size() >= 2 && p[1] == ':' && std::isalpha(static_cast<unsigned char>(p[0]))) {
        rootKey = ToUpper(p.substr(0, 1)) + ":";
        pos = 2;
    } else {
        return r;  // the program names every file from a drive or a share; a relative path finds nothing
    }

    std::vector<std::string> parts;
    size_t i = pos;
    while (i < p.size()) {
        size_t j = p.find('\\', i);
        if (j == std::string::npos) j = p.size();
        const std::string part = p.substr(i, j - i);
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        i = j + 1;
    }
    r.trailing = !parts.empty() && p.back() == '\\';
    r.key = rootKey;
    for (const auto& part : parts) {
        r.key += "\\" + ToUpper(part);
        if (BadName(part)) r.invalid = true;
    }
    if (r.invalid) return r;
    for (auto& root : roots_)
        if (root->key == rootKey) r.root = root.get();
    if (!r.root) return r;
    if (parts.empty()) {
        r.isRoot = true;
        r.node = r.root->node;
        return r;
    }
    std::shared_ptr<Node> cur = r.root->node;
    for (size_t k = 0; k + 1 < parts.size(); ++k) {
        cur = cur->Child(ToUpper(parts[k]));
        if (!cur || !cur->folder) return r;
    }
    r.parent = cur;
    r.name = parts.back();
    r.node = cur->Child(ToUpper(r.name));
    return r;
}

std::shared_ptr<FakeFileSystem::Node> FakeFileSystem::MakeChild(Node& parent, const std::string& name, bool folder) {
    auto node = std::make_shared<Node>();
    node->name = name;
    node->upper = ToUpper(name);
    node->folder = folder;
    node->attributes = folder ? AttrDirectory : AttrArchive;
    node->modified = clock_.Now();
    parent.children.push_back(node);
    return node;
}

bool FakeFileSystem::FileExists(const std::string& path) { return Find(path).File() != nullptr; }

bool FakeFileSystem::FolderExists(const std::string& path) { return Find(path).Folder() != nullptr; }

std::string FakeFileSystem::ParentFolder(const std::string& folder) {
    if (!FolderExists(folder)) throw RuntimeError(ErrPathNotFound);
    return ParentOfNormalized(NormalizePath(folder));
}

std::vector<platform::DriveInfo> FakeFileSystem::Drives() {
    std::vector<platform::DriveInfo> out;
    for (const auto& r : roots_)
        if (!r->share) out.push_back(r->drive);
    std::sort(out.begin(), out.end(), [](const auto& a, const auto& b) { return a.letter < b.letter; });
    return out;
}

void FakeFileSystem::CopyOneFile(const std::shared_ptr<Node>& source, const std::string& target, bool overwrite) {
    const Lookup t = Find(target);
    t.Guard();
    if (t.isRoot) throw RuntimeError(ErrPermissionDenied);
    if (t.node) {
        if (t.node->folder) throw RuntimeError(ErrPermissionDenied);
        if (!overwrite) throw RuntimeError(ErrFileExists);
        if (t.node->attributes & AttrReadOnly) throw RuntimeError(ErrPermissionDenied);
        // Onto itself: the real copy would empty it first.
        if (t.node == source) throw RuntimeError(ErrPermissionDenied);
    } else if (!t.parent) {
        throw RuntimeError(ErrPathNotFound);
    }
    CheckFault(t.key);
    Changing(t.key);
    // An overwritten file keeps its own name and place; a copy takes the source's date, as on Windows.
    auto target_node = t.node ? t.node : MakeChild(*t.parent, t.name, false);
    target_node->bytes = source->bytes;
    target_node->unheld = source->unheld;
    target_node->attributes = source->attributes | AttrArchive;
    target_node->modified = source->modified;
}

void FakeFileSystem::CopyFile(const std::string& source, const std::string& target, bool overwrite) {
    const Lookup s = Find(source);
    s.Guard();
    const auto file = s.File();
    if (!file) throw RuntimeError(ErrFileNotFound);
    // A target ending in a separator names the folder to copy into.
    const std::string to = EndsWithSep(target) ? target + PathFileName(source) : target;
    CopyOneFile(file, to, overwrite);
}

void FakeFileSystem::CopyTree(const std::shared_ptr<Node>& source, const std::string& target, bool overwrite) {
    const Lookup t = Find(target);
    t.Guard();
    std::shared_ptr<Node> into = t.node;
    if (into && !into->folder) throw RuntimeError(ErrFileExists);
    if (!into) {
        if (!t.parent) throw RuntimeError(ErrPathNotFound);
        into = MakeChild(*t.parent, t.name, true);
    }
    const auto children = source->children;
    for (const auto& child : children) {
        const std::string childTarget = PathJoin(target, child->name);
        if (child->folder) {
            CopyTree(child, childTarget, overwrite);
        } else {
            CopyOneFile(child, childTarget, overwrite);
        }
    }
}

void FakeFileSystem::CopyFolder(const std::string& source, const std::string& target, bool overwrite) {
    const Lookup s = Find(source);
    s.Guard();
    if (!s.Folder()) throw RuntimeError(ErrPathNotFound);
    const std::string to = EndsWithSep(target) ? target + PathFileName(NoTrailingSep(source)) : target;
    // Into itself would never end.
    if (InsideOrSame(Find(to).key, s.key)) throw RuntimeError(ErrPermissionDenied);
    CopyTree(s.node, NoTrailingSep(to), overwrite);
}

void FakeFileSystem::DeleteFile(const std::string& path, bool force) {
    const Lookup l = Find(path);
    const auto file = l.File();
    if (!file) throw RuntimeError(ErrFileNotFound);
    if ((file->attributes & AttrReadOnly) && !force) throw RuntimeError(ErrPermissionDenied);
    Changing(l.key);
    l.parent->Remove(file.get());
}

void FakeFileSystem::RemoveTree(Node& parent, const std::string& key, bool force) {
    // Children first, one by one: a failure halfway leaves what was not reached, as on a disk.
    auto node = parent.Child(key.substr(key.rfind('\\') + 1));
    if (!node) return;
    if (node->folder) {
        const auto children = node->children;
        for (const auto& child : children) RemoveTree(*node, key + "\\" + child->upper, force);
    }
    Changing(key);
    parent.Remove(node.get());
}

void FakeFileSystem::DeleteFolder(const std::string& path, bool force) {
    const Lookup l = Find(path);
    const auto folder = l.Folder();
    if (!folder) throw RuntimeError(ErrPathNotFound);
    if (l.isRoot) throw RuntimeError(ErrPermissionDenied);
    // Refused before anything is gone rather than halfway through.
    if (!force && ((folder->attributes & AttrReadOnly) || HoldsReadOnly(*folder)))
        throw RuntimeError(ErrPermissionDenied);
    RemoveTree(*l.parent, l.key, force);
}

void FakeFileSystem::CreateFolder(const std::string& path) {
    if (path.empty()) throw RuntimeError(ErrPathNotFound);
    const Lookup l = Find(path);
    l.Guard();
    if (l.node) throw RuntimeError(ErrFileExists);
    if (!l.parent) throw RuntimeError(ErrPathNotFound);
    Changing(l.key);
    MakeChild(*l.parent, l.name, true);
}

uint32_t FakeFileSystem::GetAttributes(const std::string& path) {
    const Lookup l = Find(path);
    l.Guard();
    if (!l.File() && !l.Folder()) throw RuntimeError(ErrFileNotFound);
    return l.node->attributes;
}

void FakeFileSystem::SetAttributes(const std::string& path, uint32_t attributes) {
    const Lookup l = Find(path);
    l.Guard();
    if (!l.File() && !l.Folder()) throw RuntimeError(ErrFileNotFound);
    Changing(l.key);
    const uint32_t settable = AttrReadOnly | AttrHidden | AttrSystem | AttrArchive;
    l.node->attributes = (attributes & settable) | (l.node->folder ? uint32_t{AttrDirectory} : 0u);
}

uint64_t FakeFileSystem::FileSize(const std::string& path) {
    const Lookup l = Find(path);
    l.Guard();
    const auto file = l.File();
    if (!file) throw RuntimeError(ErrFileNotFound);
    return file->bytes.size() + file->unheld;
}

void FakeFileSystem::SetSize(const std::string& path, uint64_t size) {
    const auto file = Find(path).File();
    if (!file) throw RuntimeError(ErrFileNotFound);
    file->unheld = size > file->bytes.size() ? size - file->bytes.size() : 0;
}

uint64_t FakeFileSystem::FolderSize(const std::string& path) {
    const Lookup l = Find(path);
    l.Guard();
    const auto folder = l.Folder();
    if (!folder) throw RuntimeError(ErrPathNotFound);
    return TreeSize(*folder);
}

DateTime FakeFileSystem::LastModified(const std::string& path) {
    const Lookup l = Find(path);
    l.Guard();
    if (!l.File() && !l.Folder()) throw RuntimeError(ErrFileNotFound);
    return l.node->modified;
}

void FakeFileSystem::SetLastModified(const std::string& path, const DateTime& when) {
    if (!when.IsValid() || when.year < 1601) throw RuntimeError(ErrInvalidCall);
    const Lookup l = Find(path);
    l.Guard();
    if (!l.File() && !l.Folder()) throw RuntimeError(ErrFileNotFound);
    l.node->modified = when;
}

std::vector<std::string> FakeFileSystem::ListChildren(const std::string& folder, bool folders) {
    const Lookup l = Find(folder);
    l.Guard();
    if (!l.Folder()) throw RuntimeError(ErrPathNotFound);
    std::vector<std::string> names;
    for (const auto& c : l.node->children)
        if (c->folder == folders) names.push_back(c->name);
    return names;
}

std::vector<std::string> FakeFileSystem::ListFiles(const std::string& folder) { return ListChildren(folder, false); }

std::vector<platform::FolderEntry> FakeFileSystem::ListEntries(const std::string& folder) {
    const Lookup l = Find(folder);
    l.Guard();
    if (!l.Folder()) throw RuntimeError(ErrPathNotFound);
    std::vector<platform::FolderEntry> out;
    for (const auto& c : l.node->children)
        out.push_back(platform::FolderEntry{c->name, c->folder, c->folder ? 0 : c->bytes.size() + c->unheld});
    return out;
}

void FakeFileSystem::Rename(const std::string& from, const std::string& to, bool replace) {
    const Lookup f = Find(from);
    const Lookup t = Find(to);
    f.Guard();
    t.Guard();
    if (!f.node || f.isRoot) f.ThrowMissing();
    if (t.root != f.root) throw RuntimeError(ErrRenameAcrossDisks);
    if (!t.parent) throw RuntimeError(ErrPathNotFound);
    if (t.node && t.node != f.node && (!replace || t.node->folder || f.node->folder)) throw RuntimeError(ErrFileExists);
    if (f.node->folder && (t.key + "\\").rfind(f.key + "\\", 0) == 0 && t.key != f.key) throw RuntimeError(ErrPermissionDenied);
    Changing(t.key);
    auto node = f.node;
    f.parent->Remove(node.get());
    if (t.node && t.node != node) t.parent->Remove(t.node.get());
    node->name = t.name;
    node->upper = ToUpper(t.name);
    t.parent->children.push_back(node);
}

std::vector<std::string> FakeFileSystem::ListFolders(const std::string& folder) { return ListChildren(folder, true); }

std::vector<uint8_t> FakeFileSystem::ReadAllBytes(const std::string& path) {
    const Lookup l = Find(path);
    l.Guard();
    if (l.Folder()) throw RuntimeError(ErrPermissionDenied);
    const auto file = l.File();
    if (!file) l.ThrowMissing();
    return file->bytes;
}

std::string FakeFileSystem::ReadAllText(const std::string& path) {
    const std::vector<uint8_t> bytes = ReadAllBytes(path);
    return text_.FromAnsi(std::string(bytes.begin(), bytes.end()));
}

std::shared_ptr<FakeFileSystem::Node> FakeFileSystem::OpenForWriting(const std::string& path, bool append,
                                                                      std::string& key) {
    const Lookup l = Find(path);
    l.Guard();
    if (l.Folder()) throw RuntimeError(ErrPermissionDenied);
    if (l.trailing) throw RuntimeError(ErrBadFileNameOrNumber);
    if (!l.node && !l.parent) throw RuntimeError(ErrPathNotFound);
    Changing(l.key);
    if (l.node && (l.node->attributes & AttrReadOnly)) throw RuntimeError(ErrPermissionDenied);
    // A full disk lets the file be made or emptied and then fails the write; anything else
    // fails the opening.
    const int fault = TakeFault(l.key);
    if (fault && fault != ErrDiskFull) throw RuntimeError(fault);
    auto node = l.node ? l.node : MakeChild(*l.parent, l.name, false);
    if (!append) {
        node->bytes.clear();
        node->modified = clock_.Now();
    }
    node->attributes |= AttrArchive;
    if (fault) throw RuntimeError(fault);
    key = l.key;
    return node;
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
    auto node = OpenForWriting(path, append, key);
    return std::make_unique<FakeTextWriter>(*this, std::move(node), key);
}

std::unique_ptr<platform::TextReader> FakeFileSystem::OpenTextReader(const std::string& path) {
    return std::make_unique<platform::StringTextReader>(ReadAllText(path));
}

void FakeFileSystem::WritePrivateFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    if (Find(path).node) throw RuntimeError(ErrFileExists);
    WriteAllBytes(path, bytes);
    privateFiles_.push_back(Find(path).key);
}

std::string FakeFileSystem::AccessDescription(const std::string& path) {
    const std::string key = Find(path).key;
    for (const std::string& p : privateFiles_)
        if (p == key && Find(path).node) return "D:P(A;;FA;;;BA)(A;;FA;;;" + userSid + ")";
    return "";
}

}  // namespace updexar::fakes
