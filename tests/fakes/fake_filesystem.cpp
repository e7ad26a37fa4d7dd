#include "fakes/fake_filesystem.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <utility>

#include "platform/errors.h"
#include "platform/strings.h"

namespace updexar::fakes {

namespace stdfs = std::filesystem;

namespace {

std::string Key(const std::string& path) { return ToUpper(NormalizePath(path)); }

}  // namespace

// Checks the faults before each write and puts the clock's time on the file after it.
struct FakeTextWriter : platform::TextWriter {
    FakeTextWriter(FakeFileSystem& fs, std::string path, std::unique_ptr<platform::TextWriter> inner)
        : fs_(fs), path_(std::move(path)), key_(Key(path_)), inner_(std::move(inner)) {}
    void Write(const std::string& text) override {
        fs_.CheckFault(key_);
        inner_->Write(text);
        fs_.Stamp(path_);
    }
    void WriteLine(const std::string& text) override { Write(text + "\r\n"); }
    void Close() override { inner_->Close(); }
    FakeFileSystem& fs_;
    std::string path_, key_;
    std::unique_ptr<platform::TextWriter> inner_;
};

FakeFileSystem::FakeFileSystem(platform::Clock& clock) : clock_(clock) {
    std::string pattern = (stdfs::temp_directory_path() / "updexar-test-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw RuntimeError(ErrPathFileAccess);
    root_ = stdfs::weakly_canonical(pattern).string();
}

FakeFileSystem::~FakeFileSystem() {
    std::error_code ignored;
    stdfs::remove_all(root_, ignored);
}

std::string FakeFileSystem::Local(const std::string& path) const {
    std::string p = path;
    std::replace(p.begin(), p.end(), '\\', '/');
    if (p.rfind("//", 0) == 0) return root_ + "/unc/" + p.substr(2);
    if (p.size() >= 2 && p[1] == ':') return root_ + "/" + ToUpper(p.substr(0, 1)) + p.substr(2);
    if (!p.empty() && p[0] == '/') return p;
    return root_ + "/-/" + p;  // the program names every file from a drive or a share
}

void FakeFileSystem::AddDrive(const std::string& letter) {
    platform::DriveInfo drive{ToUpper(letter.substr(0, 1)), platform::DriveFixed, true, true, 0x1C2D3E4F};
    stdfs::create_directories(Local(drive.letter + ":"));
    drives_.push_back(drive);
    std::sort(drives_.begin(), drives_.end(), [](const auto& a, const auto& b) { return a.letter < b.letter; });
}

void FakeFileSystem::MakeFolders(const std::string& path) {
    const std::string p = StripTrailingBackslash(path);
    if (FolderExists(p)) return;
    const std::string parent = PathParent(p);
    if (parent.empty() || parent.size() >= p.size()) throw RuntimeError(ErrPathNotFound);
    MakeFolders(parent);
    CreateFolder(p);
}

std::string FakeFileSystem::ParentFolder(const std::string& folder) {
    const std::string local = Local(folder), parent = real_.ParentFolder(local);
    if (local == folder) return parent;
    if (parent.rfind(root_ + "/", 0) != 0) return "";  // a root has no parent
    std::string rest = parent.substr(root_.size() + 1);
    std::replace(rest.begin(), rest.end(), '/', '\\');
    if (rest.rfind("unc", 0) == 0) return std::count(rest.begin(), rest.end(), '\\') < 2 ? "" : "\\" + rest.substr(3);
    return rest.substr(0, 1) + ":\\" + rest.substr(std::min<size_t>(2, rest.size()));
}

std::string FakeFileSystem::Changing(const std::string& path) {
    const std::string key = Key(path);
    if (beforeChange) beforeChange(key);
    missing_.erase(key);  // this computer's own change is known to it
    Notify(path);
    return key;
}

bool FakeFileSystem::Found(const std::string& path, const std::function<bool()>& exists) {
    if (!Shared(path)) return exists();
    const std::string key = Key(path);
    const auto it = missing_.find(key);
    const int64_t now = clock_.MonotonicMs();
    if (it != missing_.end() && now - it->second < cache_->notFoundMs) return false;
    if (exists()) return true;
    missing_[key] = now;
    return false;
}

std::vector<platform::FolderEntry> FakeFileSystem::ListEntries(const std::string& folder) {
    if (!Shared(folder)) return real_.ListEntries(Local(folder));
    auto& [at, entries] = listings_.try_emplace(Key(folder), INT64_MIN / 2, std::vector<platform::FolderEntry>{}).first->second;
    const int64_t now = clock_.MonotonicMs();
    if (now - at >= cache_->listingMs) {
        at = now;
        entries = real_.ListEntries(Local(folder));
    }
    return entries;
}

std::vector<std::string> FakeFileSystem::ListFiles(const std::string& folder) {
    std::vector<std::string> names;
    for (platform::FolderEntry& e : ListEntries(folder))
        if (!e.folder) names.push_back(std::move(e.name));
    return names;
}

std::string FakeFileSystem::ReadAllText(const std::string& path) {
    if (!Found(path, [&] { return real_.FileExists(Local(path)); })) throw RuntimeError(ErrFileNotFound);
    return real_.ReadAllText(Local(path));
}

void FakeFileSystem::WriteFromElsewhere(const std::string& path, const std::string& text) {
    stdfs::create_directories(Local(PathParent(path)));
    real_.WriteAllText(Local(path), text);
    Notify(path);
}

struct FakeFileSystem::Watch : platform::FolderWatch {
    Watch(FakeFileSystem& fs, std::string key, std::function<void()> woken) : fs(fs), key(std::move(key)), woken(std::move(woken)) {
        fs.watches_.push_back(this);
    }
    ~Watch() override { fs.watches_.erase(std::find(fs.watches_.begin(), fs.watches_.end(), this)); }
    std::vector<std::string> Changed() override { return std::exchange(names, {}); }
    FakeFileSystem& fs;
    std::string key;
    std::function<void()> woken;
    std::vector<std::string> names;
};

std::unique_ptr<platform::FolderWatch> FakeFileSystem::WatchFolder(const std::string& folder, std::function<void()> woken) {
    if (cache_ && !cache_->notifications) return nullptr;
    return std::make_unique<Watch>(*this, Key(folder), std::move(woken));
}

void FakeFileSystem::Notify(const std::string& path) {
    const std::string parent = Key(PathParent(path));
    for (Watch* w : watches_) {
        if (w->key != parent) continue;
        w->names.push_back(PathFileName(path));
        w->woken();
    }
}

void FakeFileSystem::CheckFault(const std::string& key) {
    for (Fault& f : faults_) {
        if (f.times == 0 || key != Key(f.path)) continue;
        if (f.skip > 0) {
            --f.skip;
            continue;
        }
        if (f.times > 0) --f.times;
        throw RuntimeError(f.error);
    }
}

void FakeFileSystem::Write(const std::string& path, const std::function<void()>& write) {
    const std::string key = Changing(path);
    try {
        CheckFault(key);
    } catch (const RuntimeError& e) {
        // A full disk lets the file be made or emptied and then fails the write.
        if (e.Number() == ErrDiskFull) real_.WriteAllBytes(Local(path), {});
        throw;
    }
    write();
    Stamp(path);
}

void FakeFileSystem::CopyFile(const std::string& source, const std::string& target, bool overwrite) {
    const std::string to = !target.empty() && (target.back() == '\\' || target.back() == '/')
                               ? target + PathFileName(source)
                               : target;
    const std::string key = Changing(to);
    CheckFault(key);
    real_.CopyFile(Local(source), Local(to), overwrite);
}

// Children first, one by one: a crash halfway leaves what was not reached, as on a disk.
void FakeFileSystem::RemoveTree(const std::string& path) {
    for (const platform::FolderEntry& e : ListEntries(path)) {
        const std::string child = PathJoin(path, e.name);
        if (e.folder) {
            RemoveTree(child);
        } else {
            Changing(child);
            real_.DeleteFile(Local(child), true);
        }
    }
    Changing(path);
    real_.DeleteFolder(Local(path), true);
}

bool FakeFileSystem::HoldsReadOnly(const std::string& path) {
    for (const platform::FolderEntry& e : ListEntries(path)) {
        const std::string child = PathJoin(path, e.name);
        if (e.folder ? HoldsReadOnly(child) : (GetAttributes(child) & platform::AttrReadOnly) != 0) return true;
    }
    return false;
}

void FakeFileSystem::DeleteFolder(const std::string& path, bool force) {
    if (!beforeChange) return real_.DeleteFolder(Local(path), force);
    if (!FolderExists(path)) throw RuntimeError(ErrPathNotFound);
    if (!force && HoldsReadOnly(path)) throw RuntimeError(ErrPermissionDenied);
    RemoveTree(path);
}

void FakeFileSystem::CreateFolder(const std::string& path) {
    Changing(path);
    real_.CreateFolder(Local(path));
    Stamp(path);
}

std::unique_ptr<platform::TextWriter> FakeFileSystem::OpenTextWriter(const std::string& path, bool append) {
    std::unique_ptr<platform::TextWriter> inner;
    Write(path, [&] { inner = real_.OpenTextWriter(Local(path), append); });
    return std::make_unique<FakeTextWriter>(*this, path, std::move(inner));
}

}  // namespace updexar::fakes
