// One fake of everything the operating system provides, wired into a platform::Platform, on a pretend computer with
// a C: drive and the usual Windows folders.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/clock.h"
#include "platform/com.h"
#include "platform/database.h"
#include "platform/errors.h"
#include "platform/filesystem.h"
#include "platform/fonts.h"
#include "platform/network.h"
#include "platform/platform.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "platform/services.h"
#include "platform/shell.h"
#include "platform/strings.h"
#include "platform/system.h"
#include "platform/tcp.h"
#include "posix/posix_filesystem.h"

namespace updexar::fakes {

// The next writes to a file fail with an error number: opening it for writing, each Write of an open writer,
// copying onto it.
struct Fault {
    std::string path{};
    int error = 70;
    int skip = 0;   // matching writes let through first
    int times = 1;  // failures before the fault is used up
};

// A Windows SMB client's caches on the shares: a folder's listing is served again for `listingMs`
// after it was read, and a name found missing stays missing for `notFoundMs` (existence checks and
// opens), on the clock; change notifications only when `notifications` is set.
struct ShareCache {
    int64_t listingMs = 10000;
    int64_t notFoundMs = 5000;
    bool notifications = true;
};

// The real native file system under a pretend computer's roots: drive "C:" and shares
// "\\SERVER\share" are folders of a temporary directory of the test's own (gone with it), and
// Linux paths within it pass as they are. What a test adds: faults, a call before each
// change, pretend sizes, the drives listed, and the clock's time on what the program writes.
class FakeFileSystem : public platform::FileSystem {
public:
    explicit FakeFileSystem(platform::Clock& clock) : clock_(clock) {
        std::string pattern = (std::filesystem::temp_directory_path() / "updexar-test-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) throw RuntimeError(ErrPathFileAccess);
        root_ = std::filesystem::weakly_canonical(pattern).string();
        std::filesystem::create_directories(root_ + "/C");
    }
    ~FakeFileSystem() override {
        std::error_code ignored;
        std::filesystem::remove_all(root_, ignored);
    }
    FakeFileSystem(const FakeFileSystem&) = delete;
    FakeFileSystem& operator=(const FakeFileSystem&) = delete;
    // --- set-up by tests
    void AddShare(const std::string& uncRoot) { std::filesystem::create_directories(Local(uncRoot)); }
    // A folder and those on its way, like "mkdir -p".
    void MakeFolders(const std::string& path) {
        const std::string p = StripTrailingBackslash(path);
        if (FolderExists(p)) return;
        const std::string parent = PathParent(p);
        if (parent.empty() || parent.size() >= p.size()) throw RuntimeError(ErrPathNotFound);
        MakeFolders(parent);
        CreateFolder(p);
    }
    void InjectFault(const Fault& fault) { faults_.push_back(fault); }
    // The file is said to be this large: a sparse file, whose bytes beyond its content are zeros.
    void SetSize(const std::string& path, uint64_t size) {
        if (FileSize(path) < size) std::filesystem::resize_file(posix::LocalPath(Local(path)), size);
    }
    // Called before every change (a file made, written, copied, renamed or deleted, a folder made, each entry of a
    // folder deleted), with the upper-case path it changes: a test can stop the program there as a crash would.
    std::function<void(const std::string& path)> beforeChange;
    void PlayShareCache(const ShareCache& cache) { cache_ = cache; }
    // A file written by another computer: it clears nothing this one has cached.
    void WriteFromElsewhere(const std::string& path, const std::string& text) {
        std::filesystem::create_directories(Local(PathParent(path)));
        real_.WriteAllText(Local(path), text);
        Notify(path);
    }
    // --- platform::FileSystem
    // Tests run as root: a path that would reach out of the pretend computer (a "\\" root, a ".."
    // too many, a Linux path elsewhere) is refused as Windows refuses access, so that a fault in the
    // program's path checks fails a test instead of deleting the machine's own folders.
    std::string Local(const std::string& path) const {
        std::string p = path;
        std::replace(p.begin(), p.end(), '\\', '/');
        if (p.rfind("//", 0) == 0)
            p = root_ + "/unc/" + p.substr(2);
        else if (p.size() >= 2 && p[1] == ':')
            p = root_ + "/" + ToUpper(p.substr(0, 1)) + p.substr(2);
        else if (p.empty() || p[0] != '/')
            p = root_ + "/-/" + p;  // the program names every file from a drive or a share
        const std::string normal = std::filesystem::path(p).lexically_normal().string();
        if (normal.rfind(root_ + "/", 0) != 0) throw RuntimeError(ErrPermissionDenied);
        return p;
    }
    bool FileExists(const std::string& path) override {
        return Found(path, [&] { return real_.FileExists(Local(path)); });
    }
    bool FolderExists(const std::string& path) override {
        return Found(path, [&] { return real_.FolderExists(Local(path)); });
    }
    std::string ParentFolder(const std::string& folder) override {
        const std::string parent = real_.ParentFolder(Local(folder));
        if (parent.rfind(root_ + "/", 0) != 0) return "";  // a root has no parent
        std::string rest = parent.substr(root_.size() + 1);
        std::replace(rest.begin(), rest.end(), '/', '\\');
        if (rest.rfind("unc", 0) == 0)
            return std::count(rest.begin(), rest.end(), '\\') < 2 ? "" : "\\" + rest.substr(3);
        return rest.substr(0, 1) + ":\\" + rest.substr(std::min<size_t>(2, rest.size()));
    }
    std::vector<platform::DriveInfo> Drives() override { return drives_; }
    void CopyFile(const std::string& source, const std::string& target, bool overwrite = true) override {
        const std::string to = !target.empty() && (target.back() == '\\' || target.back() == '/')
                                   ? target + PathFileName(source)
                                   : target;
        const std::string key = Changing(to);
        CheckFault(key);
        real_.CopyFile(Local(source), Local(to), overwrite);
    }
    void CopyFolder(const std::string& source, const std::string& target, bool overwrite = true) override {
        real_.CopyFolder(Local(source), Local(target), overwrite);
    }
    void DeleteFile(const std::string& path, bool force = false) override {
        Changing(path);
        real_.DeleteFile(Local(path), force);
    }
    void DeleteFolder(const std::string& path, bool force = false) override {
        if (!beforeChange) return real_.DeleteFolder(Local(path), force);
        RemoveTree(path);
    }
    void CreateFolder(const std::string& path) override {
        Changing(path);
        real_.CreateFolder(Local(path));
        Stamp(path);
    }
    uint32_t GetAttributes(const std::string& path) override { return real_.GetAttributes(Local(path)); }
    void SetAttributes(const std::string& path, uint32_t attributes) override {
        Changing(path);
        real_.SetAttributes(Local(path), attributes);
    }
    uint64_t FileSize(const std::string& path) override { return real_.FileSize(Local(path)); }
    uint64_t FolderSize(const std::string& path) override { return real_.FolderSize(Local(path)); }
    DateTime LastModified(const std::string& path) override { return real_.LastModified(Local(path)); }
    void SetLastModified(const std::string& path, const DateTime& when) override {
        real_.SetLastModified(Local(path), when);
    }
    std::vector<std::string> ListFiles(const std::string& folder) override {
        std::vector<std::string> names;
        for (platform::FolderEntry& e : ListEntries(folder))
            if (!e.folder) names.push_back(std::move(e.name));
        return names;
    }
    std::vector<std::string> ListFolders(const std::string& folder) override {
        return real_.ListFolders(Local(folder));
    }
    std::vector<platform::FolderEntry> ListEntries(const std::string& folder) override {
        if (!Shared(folder)) return real_.ListEntries(Local(folder));
        auto& [at, entries] =
            listings_.try_emplace(Key(folder), INT64_MIN / 2, std::vector<platform::FolderEntry>{}).first->second;
        const int64_t now = clock_.MonotonicMs();
        if (now - at >= cache_->listingMs) {
            at = now;
            entries = real_.ListEntries(Local(folder));
        }
        return entries;
    }
    void Rename(const std::string& from, const std::string& to, bool replace = false) override {
        Changing(to);
        real_.Rename(Local(from), Local(to), replace);
    }
    std::string ReadAllText(const std::string& path) override {
        if (!Found(path, [&] { return real_.FileExists(Local(path)); })) throw RuntimeError(ErrFileNotFound);
        return real_.ReadAllText(Local(path));
    }
    std::unique_ptr<platform::FolderWatch> WatchFolder(const std::string& folder,
                                                       std::function<void()> woken) override {
        if (cache_ && !cache_->notifications) return nullptr;
        return std::make_unique<Watch>(*this, Key(folder), std::move(woken));
    }
    void WriteAllText(const std::string& path, const std::string& text) override {
        Write(path, [&] { real_.WriteAllText(Local(path), text); });
    }
    std::vector<uint8_t> ReadAllBytes(const std::string& path) override { return real_.ReadAllBytes(Local(path)); }
    void ReadPieces(const std::string& path, const std::function<void(const uint8_t*, size_t)>& take) override {
        real_.ReadPieces(Local(path), take);
    }
    void WriteAllBytes(const std::string& path, const std::vector<uint8_t>& bytes) override {
        Write(path, [&] { real_.WriteAllBytes(Local(path), bytes); });
    }
    void WritePrivateFile(const std::string& path, const std::vector<uint8_t>& bytes) override {
        Write(path, [&] { real_.WritePrivateFile(Local(path), bytes); });
    }
    std::string AccessDescription(const std::string& path) override { return real_.AccessDescription(Local(path)); }
    std::unique_ptr<platform::TextWriter> OpenTextWriter(const std::string& path, bool append = false) override {
        std::unique_ptr<platform::TextWriter> inner;
        Write(path, [&] { inner = real_.OpenTextWriter(Local(path), append); });
        return std::make_unique<Writer>(*this, path, std::move(inner));
    }
    std::unique_ptr<platform::TextReader> OpenTextReader(const std::string& path) override {
        return real_.OpenTextReader(Local(path));
    }

private:
    // The upper-case key of a path for hooks, faults and the share's caches.
    static std::string Key(const std::string& path) { return ToUpper(NormalizePath(path)); }
    // Checks the faults before each write and puts the clock's time on the file after it.
    struct Writer : platform::TextWriter {
        Writer(FakeFileSystem& fs, std::string path, std::unique_ptr<platform::TextWriter> inner)
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
    struct Watch : platform::FolderWatch {
        Watch(FakeFileSystem& fs, std::string key, std::function<void()> woken)
            : fs(fs), key(std::move(key)), woken(std::move(woken)) {
            fs.watches_.push_back(this);
        }
        ~Watch() override { fs.watches_.erase(std::find(fs.watches_.begin(), fs.watches_.end(), this)); }
        std::vector<std::string> Changed() override { return std::exchange(names, {}); }
        FakeFileSystem& fs;
        std::string key;
        std::function<void()> woken;
        std::vector<std::string> names;
    };
    // Runs the hook before a change and returns the path's key.
    std::string Changing(const std::string& path) {
        const std::string key = Key(path);
        if (beforeChange) beforeChange(key);
        missing_.erase(key);  // this computer's own change is known to it
        Notify(path);
        return key;
    }
    void Write(const std::string& path, const std::function<void()>& write) {
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
    void CheckFault(const std::string& key) {
        for (Fault& f : faults_) {
            if (f.times == 0 || key != Key(f.path)) continue;
            if (f.skip > 0) {
                --f.skip;
                continue;
            }
            --f.times;
            throw RuntimeError(f.error);
        }
    }
    void Stamp(const std::string& path) { real_.SetLastModified(Local(path), clock_.Now()); }
    // Children first, one by one: a crash halfway leaves what was not reached, as on a disk.
    void RemoveTree(const std::string& path) {
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

    bool Shared(const std::string& path) const { return cache_ && path.rfind("\\\\", 0) == 0; }
    // Whether `exists` finds the path, unless the cache still says it is missing.
    bool Found(const std::string& path, const std::function<bool()>& exists) {
        if (!Shared(path)) return exists();
        const std::string key = Key(path);
        const auto it = missing_.find(key);
        const int64_t now = clock_.MonotonicMs();
        if (it != missing_.end() && now - it->second < cache_->notFoundMs) return false;
        if (exists()) return true;
        missing_[key] = now;
        return false;
    }
    void Notify(const std::string& path) {
        const std::string parent = Key(PathParent(path));
        for (Watch* w : watches_) {
            if (w->key != parent) continue;
            w->names.push_back(PathFileName(path));
            w->woken();
        }
    }

    platform::Clock& clock_;
    std::optional<ShareCache> cache_;
    std::map<std::string, std::pair<int64_t, std::vector<platform::FolderEntry>>> listings_;
    std::map<std::string, int64_t> missing_;
    std::vector<Watch*> watches_;
    posix::PosixFileSystem real_;
    std::string root_;
    std::vector<platform::DriveInfo> drives_{{"C", platform::DriveFixed, true, true, 0x1C2D3E4F}};
    std::vector<Fault> faults_;
};

namespace detail {

// The key's map name and the names of its parts as given.
inline std::string Id(platform::RegRoot root, const std::string& path, std::vector<std::string>* parts = nullptr) {
    std::string id = std::to_string(static_cast<int>(root));
    for (const std::string& part : Split(path, "\\")) {
        if (part.empty()) continue;
        id += "\\" + ToUpper(part);
        if (parts) parts->push_back(part);
    }
    return id;
}

inline std::string TrimBlanks(const std::string& s) {
    const size_t b = s.find_first_not_of(" \t\r\n\x1a"), e = s.find_last_not_of(" \t\r\n\x1a");
    return b == std::string::npos ? "" : s.substr(b, e - b + 1);
}

// The value of the key in its section; nothing when either is missing or the line has no "=".
inline std::optional<std::string> FindProfileValue(const std::string& content, const std::string& section,
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

}  // namespace detail

// An in-memory registry: keys and value names compare without regard to case and keep the case they were made with,
// values are typed, subkeys are listed in creation order (the real registry sorts them; callers must not depend on
// either). The machines a test names reach its own HKEY_USERS; others are out of reach.
class FakeRegistry : public platform::Registry {
public:
    // Upper-case names of the machines whose HKEY_USERS can be reached (it is this one's).
    std::vector<std::string> reachable;
    bool administrator = true;  // without it, HKEY_LOCAL_MACHINE takes no new key

    FakeRegistry() {
        for (auto r : {platform::RegRoot::ClassesRoot, platform::RegRoot::CurrentUser, platform::RegRoot::LocalMachine,
                       platform::RegRoot::Users})
            keys_[detail::Id(r, "")] = std::make_shared<Key>();
    }
    std::unique_ptr<platform::RegistryKey> Open(platform::RegRoot root, const std::string& path,
                                                bool writable = false) override {
        const std::string id = detail::Id(root, path);
        const auto it = keys_.find(id);
        return it == keys_.end() ? nullptr : std::make_unique<Handle>(*this, id, it->second, writable);
    }
    std::unique_ptr<platform::RegistryKey> Create(platform::RegRoot root, const std::string& path) override {
        if (!administrator && root == platform::RegRoot::LocalMachine) return nullptr;
        std::vector<std::string> parts;
        detail::Id(root, path, &parts);
        std::string id = detail::Id(root, "");
        for (const std::string& part : parts) {
            id += "\\" + ToUpper(part);
            if (!keys_.count(id)) keys_[id] = std::make_shared<Key>(Key{part, ++made_, {}});
        }
        return std::make_unique<Handle>(*this, id, keys_[id], true);
    }
    bool DeleteKey(platform::RegRoot, const std::string&) override { return false; }  // the program deletes no keys
    std::unique_ptr<platform::RegistryKey> ConnectUsers(const std::string& machine) override {
        for (const std::string& name : reachable)
            if (EqualsNoCase(name, machine)) return Open(platform::RegRoot::Users, "");
        return nullptr;
    }

    struct Key {
        std::string name;
        uint64_t made = 0;
        std::vector<std::pair<std::string, platform::RegValue>> values;
    };
    // The subkeys of a key (by its map name), in creation order.
    std::vector<std::shared_ptr<Key>> Subkeys(const std::string& id) const {
        std::vector<std::shared_ptr<Key>> out;
        for (const auto& [k, key] : keys_)
            if (k.size() > id.size() + 1 && k.compare(0, id.size() + 1, id + "\\") == 0 &&
                k.find('\\', id.size() + 1) == std::string::npos)
                out.push_back(key);
        std::sort(out.begin(), out.end(), [](const auto& a, const auto& b) { return a->made < b->made; });
        return out;
    }

private:
    struct Handle : platform::RegistryKey {
        Handle(const FakeRegistry& registry, std::string id, std::shared_ptr<Key> key, bool writable)
            : registry_(registry), id_(std::move(id)), key_(std::move(key)), writable_(writable) {}

        std::optional<platform::RegValue> QueryValue(const std::string& name) override {
            const auto it = Find(name);
            if (it == key_->values.end()) return std::nullopt;
            return it->second;
        }
        bool SetString(const std::string& name, const std::string& text) override {
            return Set(name, platform::RegValue{platform::RegSz, text, 0, {}});
        }
        bool SetDword(const std::string& name, uint32_t value) override {
            return Set(name, platform::RegValue{platform::RegDword, "", value, {}});
        }
        bool DeleteValue(const std::string&) override { return false; }  // the program deletes no values
        long EnumSubKey(uint32_t index, std::string& name, uint32_t bufferChars) override {
            const auto subkeys = registry_.Subkeys(id_);
            if (index >= subkeys.size()) return platform::RegNoMoreItems;
            if (subkeys[index]->name.size() + 1 > bufferChars) return platform::RegMoreData;
            name = subkeys[index]->name;
            return platform::RegOk;
        }
        std::vector<std::pair<std::string, platform::RegValue>>::iterator Find(const std::string& name) {
            return std::find_if(key_->values.begin(), key_->values.end(),
                                [&](const auto& v) { return EqualsNoCase(v.first, name); });
        }
        bool Set(const std::string& name, const platform::RegValue& value) {
            if (!writable_) return false;
            // The name keeps its first case.
            if (const auto it = Find(name); it != key_->values.end()) it->second = value;
            else key_->values.emplace_back(name, value);
            return true;
        }

        const FakeRegistry& registry_;
        std::string id_;
        std::shared_ptr<Key> key_;
        bool writable_;
    };
    // By root number and upper-case path: "2\SOFTWARE\VEKINFO"; a root is its number alone.
    std::map<std::string, std::shared_ptr<Key>> keys_;
    uint64_t made_ = 0;
};

// Thrown where the real program would end. Deliberately not a std::exception, so handlers that
// catch those cannot swallow the end of the process.
struct ProcessEnded {
    uint32_t exitCode = 0;
};

// Facts about a pretend computer, all settable, and the profile (INI) reader working on the fake
// file system with the rules of the real one.
class FakeSystem : public platform::System {
public:
    explicit FakeSystem(platform::FileSystem& files) : files_(files) {
        SetDisplay(1024, 768, 96);
        // Classic-theme sizes.
        for (const auto& [index, value] : std::vector<std::pair<int, int>>{
                 {2, 16}, {3, 16}, {4, 19}, {5, 1}, {6, 1}, {7, 3}, {8, 3}, {15, 19}, {32, 4}, {33, 4}})
            metrics_[index] = value;
    }
    // Set to a folder to play 64-bit Windows.
    std::string wow64SystemDirectory;
    // Names held by locks, also by "other processes" a test adds.
    std::set<std::string> heldLocks;
    std::string programPath = "C:\\Updexar\\UpdateG.exe";
    std::string commandLine;
    // Set when EndProcess was called, in case something swallowed ProcessEnded.
    std::optional<uint32_t> endedWith;
    // Called as the process ends, before ProcessEnded unwinds the stack: what Windows leaves
    // behind, since ending a process there runs no destructor.
    std::function<void()> atEnd;
    // Display size in pixels (also the screen metrics 0 and 1) and DPI (twips per pixel 1440/DPI).
    void SetDisplay(int width, int height, int dpi = 96) {
        display_ = {width, height};
        dpi_ = dpi;
        metrics_[0] = width;
        metrics_[1] = height;
    }
    // A system metric; metrics never set are 0, as the real call answers for unknown indexes.
    void SetMetric(int index, int value) { metrics_[index] = value; }

    std::string SystemDirectory() override { return "C:\\WINDOWS\\system32"; }
    std::string WindowsDirectory() override { return "C:\\WINDOWS"; }
    std::string TempDirectory() override { return "C:\\TEMP\\"; }  // the system reports it with the backslash
    std::string AllUsersProfileDirectory() override { return "C:\\Documents and Settings\\All Users"; }
    std::string DefaultUserProfileDirectory() override { return "C:\\Documents and Settings\\Default User"; }
    std::string UserProfileDirectory() override { return "C:\\Documents and Settings\\Administrator"; }
    std::string CommonStartupFolder() override {
        return "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\StartUp";
    }
    std::string UserStartupFolder() override {
        return "C:\\Users\\Administrator\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\StartUp";
    }
    std::string Wow64SystemDirectory() override { return wow64SystemDirectory; }
    std::unique_ptr<platform::ExclusiveLock> TryExclusiveLock(const std::string& name) override {
        struct Held : platform::ExclusiveLock {
            std::set<std::string>& held;
            std::string name;
            Held(std::set<std::string>& h, std::string n) : held(h), name(std::move(n)) {}
            ~Held() override { held.erase(name); }
        };
        if (!heldLocks.insert(name).second) return nullptr;
        return std::make_unique<Held>(heldLocks, name);
    }
    std::string ComputerName() override { return "WS01"; }
    // The long date as an English system with the default format writes it.
    std::string LongDate(const DateTime& when) override {
        static const char* const kDays[] = {"Thursday", "Friday",  "Saturday", "Sunday",
                                            "Monday",   "Tuesday", "Wednesday"};
        static const char* const kMonths[] = {"January", "February", "March",     "April",   "May",      "June",
                                              "July",    "August",   "September", "October", "November", "December"};
        const int64_t day = when.DayNumber();  // 1 January 1970 was a Thursday
        const std::string weekday = kDays[((day % 7) + 7) % 7];
        const std::string month = when.month >= 1 && when.month <= 12 ? kMonths[when.month - 1] : "?";
        return weekday + ", " + std::to_string(when.day) + " " + month + " " + std::to_string(when.year);
    }
    bool IsWinNTPlatform() override { return true; }

    platform::ScreenSize DisplayModeSize() override { return display_; }
    int LogicalDpiX() override { return dpi_; }
    int TwipsPerPixelX() override { return 1440 / dpi_; }
    int TwipsPerPixelY() override { return 1440 / dpi_; }
    platform::ScreenSize ScreenSizeTwips() override {
        return {SystemMetric(0) * TwipsPerPixelX(), SystemMetric(1) * TwipsPerPixelY()};
    }
    int SystemMetric(int index) override { return metrics_.count(index) ? metrics_[index] : 0; }

    std::string ReadProfileString(const std::string& file, const std::string& section, const std::string& key,
                                  const std::string& fallback, uint32_t bufferChars = 255) override {
        std::optional<std::string> value;
        try {
            value = detail::FindProfileValue(files_.ReadAllText(file), section, key);
        } catch (const RuntimeError&) {
            // A file that cannot be read is a missing one.
        }
        std::string result = value.value_or(fallback);
        // Enclosing quotes of either kind are dropped.
        if (value && result.size() >= 2 && (result[0] == '"' || result[0] == '\'') && result.back() == result[0])
            result = result.substr(1, result.size() - 2);
        // The buffer holds its characters and a NUL.
        return result.substr(0, bufferChars - 1);
    }

    std::string ProgramPath() override { return programPath; }
    std::string CommandLine() override { return commandLine; }
    [[noreturn]] void EndProcess(uint32_t exitCode) override {
        endedWith = exitCode;
        if (atEnd) atEnd();
        throw ProcessEnded{exitCode};
    }

private:
    platform::FileSystem& files_;
    platform::ScreenSize display_{1024, 768};
    int dpi_ = 96;
    std::map<int, int> metrics_;
};

// Pretend processes: starts are recorded instead of run; running programs are a list a test
// fills, and ending one takes it off the list.
struct StartRecord {
    std::string commandLine;
    uint32_t processId = 0;
};

class FakeProcesses : public platform::Processes {
public:
    std::vector<StartRecord> starts;
    // Called for every start after it is recorded: what a stand-in would do goes here.
    std::function<void(const StartRecord&)> onStart;
    // A running program; its id (real ids are multiples of four), or `id` given out again.
    uint32_t AddProcess(const std::string& exeName, uint32_t id = 0) {
        running_.push_back({id ? id : (nextId_ += 4), exeName});
        lives_.push_back(++others_);
        return running_.back().id;
    }
    // A started program that goes on running (from onStart), under its file name.
    void KeepRunning(const StartRecord& start, const std::string& exeName) {
        running_.push_back({start.processId, exeName});
        lives_.push_back(static_cast<uint64_t>(&start - starts.data()));
    }
    bool IsRunning(uint32_t id) const {
        return std::any_of(running_.begin(), running_.end(), [id](const auto& p) { return p.id == id; });
    }
    // An empty command line starts nothing, as the system refuses it.
    uint32_t StartHidden(const std::string& commandLine, const std::string& = "") override {
        const uint32_t id = commandLine.empty() ? 0 : (nextId_ += 4);
        starts.push_back({commandLine, id});
        if (id && onStart) onStart(starts.back());
        return id;
    }
    std::unique_ptr<platform::StartedProcess> StartHeld(const std::string& commandLine) override {
        if (!StartHidden(commandLine)) return nullptr;
        return std::make_unique<Held>(*this, starts.back().processId, starts.size() - 1);
    }
    // "[System Process]" (0) and "System" (4), as in every real snapshot, then the running ones.
    std::vector<platform::ProcessEntry> Snapshot() override {
        std::vector<platform::ProcessEntry> all{{0, "[System Process]"}, {4, "System"}};
        all.insert(all.end(), running_.begin(), running_.end());
        return all;
    }
    bool Terminate(uint32_t processId, uint32_t = 0) override {
        const auto it =
            std::find_if(running_.begin(), running_.end(), [processId](const auto& p) { return p.id == processId; });
        if (it == running_.end()) return false;
        lives_.erase(lives_.begin() + (it - running_.begin()));
        running_.erase(it);
        return true;
    }

private:
    // Ends only the very process it started, whatever number another one has been given since.
    struct Held : platform::StartedProcess {
        Held(FakeProcesses& all, uint32_t id, uint64_t life) : all(all), id(id), life(life) {}
        uint32_t Id() const override { return id; }
        bool Terminate(uint32_t) override {
            const auto it = std::find(all.lives_.begin(), all.lives_.end(), life);
            if (it == all.lives_.end()) return false;
            all.running_.erase(all.running_.begin() + (it - all.lives_.begin()));
            all.lives_.erase(it);
            return true;
        }
        FakeProcesses& all;
        uint32_t id;
        uint64_t life;
    };
    uint32_t nextId_ = 1000;
    std::vector<platform::ProcessEntry> running_;
    // Which start (its index) or added program each running one is; added ones count from 2^32.
    std::vector<uint64_t> lives_;
    uint64_t others_ = uint64_t{1} << 32;
};

// A pretend service control manager: services the program creates (or a test adds), whose state
// Start and Stop change at once. fullAccessFails plays a user without administrator rights.
struct FakeService {
    std::string programPath;
    uint32_t state = platform::ServiceStopped;
    // Stop leaves it stopping until the next look at its state, as Windows does; it will not start while it stops.
    bool slowStop = false;
};

class FakeServiceControl : public platform::ServiceControl {
public:
    bool fullAccessFails = false;
    // By name in upper case.
    std::map<std::string, FakeService> services;
    FakeService* Find(const std::string& name) {
        const auto it = services.find(ToUpper(name));
        return it == services.end() ? nullptr : &it->second;
    }

    std::unique_ptr<platform::ServiceManager> OpenManager(bool fullAccess) override {
        if (fullAccess && fullAccessFails) return nullptr;
        return std::make_unique<Manager>(*this);
    }

private:
    struct Service : platform::Service {
        explicit Service(FakeService& s) : s_(s) {}
        std::optional<std::string> ProgramPath() override { return s_.programPath; }
        std::optional<uint32_t> State() override {
            return std::exchange(s_.state, s_.state == platform::ServiceStopPending ? platform::ServiceStopped : s_.state);
        }
        bool Stop() override { return Set(s_.slowStop ? platform::ServiceStopPending : platform::ServiceStopped); }
        bool Start() override { return s_.state != platform::ServiceStopPending && Set(platform::ServiceRunning); }
        bool Delete() override { return false; }
        bool Set(uint32_t state) {
            if (s_.state == state) return false;
            s_.state = state;
            return true;
        }
        FakeService& s_;
    };

    struct Manager : platform::ServiceManager {
        explicit Manager(FakeServiceControl& control) : c_(control) {}
        std::optional<std::vector<platform::ServiceEntry>> EnumerateAll() override {
            std::vector<platform::ServiceEntry> all;
            for (const auto& [name, s] : c_.services) all.push_back({name, "", 0x10, s.state, 0});
            return all;
        }
        std::unique_ptr<platform::Service> OpenService(const std::string& name, bool) override {
            FakeService* s = c_.Find(name);
            return s ? std::make_unique<Service>(*s) : nullptr;
        }
        std::unique_ptr<platform::Service> CreateService(const platform::NewService& service) override {
            if (c_.Find(service.name)) return nullptr;
            return std::make_unique<Service>(c_.services[ToUpper(service.name)] = FakeService{service.programPath});
        }
        FakeServiceControl& c_;
    };
};

// COM self-registration that succeeds for every library present on the fake file system (but
// those a test says fail) and fails to load the others.
class FakeComRegistration : public platform::ComRegistration {
public:
    explicit FakeComRegistration(platform::FileSystem& files) : files_(files) {}
    // Every library asked to register (true) or unregister, in order.
    std::vector<std::pair<std::string, bool>> calls;
    // Libraries whose registration entry points answer E_FAIL.
    std::set<std::string> failing;

    platform::SelfRegResult CallSelfRegistration(const std::string& libraryPath, bool registerServer) override {
        calls.emplace_back(libraryPath, registerServer);
        if (!files_.FileExists(libraryPath)) return {platform::SelfRegOutcome::LoadFailed, 0};
        return {platform::SelfRegOutcome::Called, failing.count(libraryPath) ? int32_t(0x80004005) : 0};
    }

private:
    platform::FileSystem& files_;
};

// Installed font faces, compared without regard to case; font files add nothing.
struct FakeFonts : platform::Fonts {
    bool IsFaceInstalled(const std::string& face) override { return EqualsNoCase(face, "MS Sans Serif") || EqualsNoCase(face, "Arial"); }
    int AddFontFile(const std::string&) override { return 0; }
    void BroadcastFontChange() override {}
};

// A shell whose folder dialogs are cancelled and whose Execute calls start nothing; it keeps
// "verb|file|parameters|show mode" of every Execute.
struct FakeShell : platform::Shell {
    std::vector<std::string> executed;
    bool executeSucceeds = true;

    std::string BrowseForFolder(const platform::BrowseRequest&) override { return {}; }
    bool Execute(const std::string& verb, const std::string& file, const std::string& parameters, const std::string&,
                 int showMode) override {
        executed.push_back(verb + "|" + file + "|" + parameters + "|" + std::to_string(showMode));
        return executeSucceeds;
    }
};

// This computer's name and address, and the other machines and accounts a test gives.
struct FakeNetwork : platform::Network {
    std::string hostName = "WS01";
    std::string address = "192.168.1.10";

    std::string LocalHostName() override { return hostName; }
    std::string LocalAddress() override { return address; }
    // Other machines: address to name. Lookups may come from several threads at once.
    std::map<std::string, std::string> machines;
    // How long each lookup takes, in real time.
    int lookupMs = 0;

    std::string HostNameFromAddress(const std::string& dottedAddress) override {
        Wait();
        if (dottedAddress == address) return hostName;
        const auto it = machines.find(dottedAddress);
        return it == machines.end() ? std::string() : it->second;
    }
    std::string AddressFromHostName(const std::string& name) override {
        Wait();
        if (name == hostName) return address;
        for (const auto& [a, n] : machines)
            if (n == name) return a;
        return std::string();
    }
    void Wait() const {
        if (lookupMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(lookupMs));
    }
    // Accounts by their identifiers' sub-authorities, on every machine alike.
    std::map<std::vector<uint32_t>, platform::Account> accounts;
    std::optional<platform::Account> LookupNtAccount(const std::string&, const std::vector<uint32_t>& sub) override {
        const auto it = accounts.find(sub);
        if (it == accounts.end()) return std::nullopt;
        return it->second;
    }
};

// A pretend database server: tables that open or not and statements that mend a table; it keeps
// everything asked of it, in order. Every connection string reaches the same tables. Look at what
// it kept once the work that used it has ended (it may run on a worker thread).
struct FakeTable {
    bool opens = true;
    // Statements (compared without regard to case) after which the table opens.
    std::vector<std::string> mendedBy;
};

class FakeDatabase : public platform::Database {
public:
    // By name in upper case: the server is on Windows, where table names have no case.
    std::map<std::string, FakeTable> tables;
    void AddTable(const std::string& name, FakeTable table = {}) { tables[ToUpper(name)] = std::move(table); }

    struct Connection {
        std::string text;
        int timeoutSeconds = 0;
    };
    // Every connection asked for, refused ones included.
    std::vector<Connection> connections;
    // Everything asked over them: "open <table>" for a table opened, a statement as it was given.
    std::vector<std::string> requests;
    // Connections made and not yet closed.
    int open = 0;

    std::unique_ptr<platform::DatabaseConnection> Connect(const std::string& connectionString,
                                                          int timeoutSeconds) override {
        connections.push_back({connectionString, timeoutSeconds});
        return std::make_unique<Link>(*this);
    }

private:
    struct Link : platform::DatabaseConnection {
        explicit Link(FakeDatabase& db) : db_(db) { ++db_.open; }
        ~Link() override { --db_.open; }
        bool OpenTable(const std::string& name) override {
            db_.requests.push_back("open " + name);
            const auto table = db_.tables.find(ToUpper(name));
            return table != db_.tables.end() && table->second.opens;
        }
        void Execute(const std::string& statement) override {
            db_.requests.push_back(statement);
            for (auto& [name, table] : db_.tables)
                for (const std::string& mending : table.mendedBy)
                    if (EqualsNoCase(mending, statement)) table.opens = true;
        }
        FakeDatabase& db_;
    };
};

// A pretend network for the TCP client: servers a test scripts (accept or not, answer in one or several pieces, never
// answer). Events are raised on a short-lived thread of their own, as a real connection raises them off the caller's
// thread, but before the call that caused them returns, so a test knows exactly what is waiting in the event loop.
struct FakeTcpServer {
    enum class Accept {
        Yes,    // the connection is made at once
        Never,  // the attempt hangs until the client closes
    };
    Accept accept = Accept::Yes;
    // Called after every send with all bytes received on the connection so far; the pieces it
    // returns arrive one by one, each as its own arrival. None returned: no answer (yet).
    std::function<std::vector<std::string>(const std::string& received)> answer;
};

namespace detail {

// Its mutex is held while an event runs, so the client's Close waits for a running event and no
// event starts after it, as with a real connection.
struct FakeTcpConnection : platform::TcpConnection {
    FakeTcpConnection(platform::TcpEvents& events, FakeTcpServer server)
        : events_(&events), server_(std::move(server)) {}
    ~FakeTcpConnection() override { Close(); }

    void Raise(const std::function<void(platform::TcpEvents&)>& call) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!events_ || ended_) return;
        platform::TcpEvents& target = *events_;
        std::thread([&] { call(target); }).join();
    }
    void Error(int number) {
        Raise([number](platform::TcpEvents& e) { e.OnError(number, platform::TcpErrorDescription(number)); });
        ended_ = true;
    }
    void Connected() {
        connected_ = true;
        Raise([](platform::TcpEvents& e) { e.OnConnected(); });
    }

    void Send(std::string bytes) override {
        std::vector<std::string> pieces;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (!events_ || ended_ || !connected_) return;
            received_ += bytes;
            if (server_.answer) pieces = server_.answer(received_);
        }
        for (const std::string& piece : pieces)
            if (!piece.empty()) Raise([&piece](platform::TcpEvents& e) { e.OnData(piece); });
    }
    void Close() override {
        std::lock_guard<std::mutex> lock(mutex_);
        events_ = nullptr;
    }
    std::mutex mutex_;
    platform::TcpEvents* events_;  // null once the client has closed
    FakeTcpServer server_;
    std::string received_;
    bool connected_ = false, ended_ = false;
};

}  // namespace detail

class FakeTcpClient : public platform::TcpClient {
public:
    // A host name or address (compared without regard to case) with a server on one port; other ports refuse.
    void AddServer(const std::string& host, uint16_t port, FakeTcpServer server) {
        std::lock_guard<std::mutex> lock(mutex_);
        servers_[{ToUpper(host), port}] = std::move(server);
    }
    std::unique_ptr<platform::TcpConnection> Connect(const std::string& host, uint16_t port,
                                                     platform::TcpEvents& events) override {
        std::optional<FakeTcpServer> server;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            ++connections_;
            if (const auto it = servers_.find({ToUpper(host), port}); it != servers_.end()) server = it->second;
        }
        auto connection = std::make_unique<detail::FakeTcpConnection>(events, server.value_or(FakeTcpServer{}));
        if (!server) connection->Error(platform::TcpErrConnectionRefused);
        else if (server->accept == FakeTcpServer::Accept::Yes) connection->Connected();
        return connection;
    }
    size_t ConnectionCount() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return connections_;
    }

private:
    mutable std::mutex mutex_;
    std::map<std::pair<std::string, uint16_t>, FakeTcpServer> servers_;  // by upper-case host
    size_t connections_ = 0;
};

class FakePlatform {
public:
    FakePlatform() : files(clock), system(files) {
        for (const std::string& folder :
             {system.WindowsDirectory(), system.SystemDirectory(), system.TempDirectory(), system.AllUsersProfileDirectory(),
              system.DefaultUserProfileDirectory(), system.UserProfileDirectory(), PathParent(system.programPath)})
            files.MakeFolders(folder);
    }

    platform::ManualClock clock;
    platform::Cp1252Text text;
    FakeFileSystem files;
    FakeRegistry registry;
    FakeSystem system;
    FakeProcesses processes;
    FakeServiceControl services;
    FakeComRegistration com{files};
    FakeFonts fonts;
    FakeShell shell;
    FakeNetwork network;
    FakeDatabase database;

    platform::Platform& Get() { return platform_; }

private:
    platform::Platform platform_{&registry, &files,   &system,  &processes, &services, &com,     &fonts,
                                 &shell,    &network, &clock,   &text,      nullptr,   &database};
};

// Installs a fake platform for its lifetime and puts back whatever was installed before.
class ScopedPlatform {
public:
    explicit ScopedPlatform(FakePlatform& fake) : previous_(platform::HasPlatform() ? &platform::Os() : nullptr) {
        platform::InstallPlatform(&fake.Get());
    }
    ~ScopedPlatform() { platform::InstallPlatform(previous_); }
    ScopedPlatform(const ScopedPlatform&) = delete;
    ScopedPlatform& operator=(const ScopedPlatform&) = delete;

private:
    platform::Platform* previous_;
};

}  // namespace updexar::fakes
