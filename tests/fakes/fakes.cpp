#include <cstdlib>
#include <filesystem>
#include <thread>

#include "fakes/fake_platform.h"
#include "platform/errors.h"
#include "platform/strings.h"

namespace updexar::fakes {

using platform::RegRoot;
using Key = FakeRegistry::Key;

namespace stdfs = std::filesystem;

namespace {

// The upper-case key of a path for hooks, faults and the share's caches.
std::string PathKey(const std::string& path) { return ToUpper(NormalizePath(path)); }

// The key's map name and the names of its parts as given.
std::string Id(RegRoot root, const std::string& path, std::vector<std::string>* parts = nullptr) {
    std::string id = std::to_string(static_cast<int>(root));
    for (const std::string& part : Split(path, "\\")) {
        if (part.empty()) continue;
        id += "\\" + ToUpper(part);
        if (parts) parts->push_back(part);
    }
    return id;
}

struct FakeKey : platform::RegistryKey {
    FakeKey(const FakeRegistry& registry, std::string id, std::shared_ptr<Key> key, bool writable)
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
        return std::find_if(key_->values.begin(), key_->values.end(), [&](const auto& v) { return EqualsNoCase(v.first, name); });
    }
    bool Set(const std::string& name, const platform::RegValue& value) {
        if (!writable_) return false;
        if (const auto it = Find(name); it != key_->values.end()) it->second = value;  // the name keeps its first case
        else key_->values.emplace_back(name, value);
        return true;
    }

    const FakeRegistry& registry_;
    std::string id_;
    std::shared_ptr<Key> key_;
    bool writable_;
};

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

// Its mutex is held while an event runs, so the client's Close waits for a running event and no
// event starts after it, as with a real connection.
struct FakeTcpConnection : platform::TcpConnection {
    FakeTcpConnection(platform::TcpEvents& events, FakeTcpServer server) : events_(&events), server_(std::move(server)) {}
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

}  // namespace

FakeRegistry::FakeRegistry() {
    for (RegRoot r : {RegRoot::ClassesRoot, RegRoot::CurrentUser, RegRoot::LocalMachine, RegRoot::Users})
        keys_[Id(r, "")] = std::make_shared<Key>();
}

std::vector<std::shared_ptr<Key>> FakeRegistry::Subkeys(const std::string& id) const {
    std::vector<std::shared_ptr<Key>> out;
    for (const auto& [k, key] : keys_)
        if (k.size() > id.size() + 1 && k.compare(0, id.size() + 1, id + "\\") == 0 &&
            k.find('\\', id.size() + 1) == std::string::npos)
            out.push_back(key);
    std::sort(out.begin(), out.end(), [](const auto& a, const auto& b) { return a->made < b->made; });
    return out;
}

std::unique_ptr<platform::RegistryKey> FakeRegistry::Open(RegRoot root, const std::string& path, bool writable) {
    const std::string id = Id(root, path);
    const auto it = keys_.find(id);
    return it == keys_.end() ? nullptr : std::make_unique<FakeKey>(*this, id, it->second, writable);
}

std::unique_ptr<platform::RegistryKey> FakeRegistry::Create(RegRoot root, const std::string& path) {
    std::vector<std::string> parts;
    Id(root, path, &parts);
    std::string id = Id(root, "");
    for (const std::string& part : parts) {
        id += "\\" + ToUpper(part);
        if (!keys_.count(id)) keys_[id] = std::make_shared<Key>(Key{part, ++made_, {}});
    }
    return std::make_unique<FakeKey>(*this, id, keys_[id], true);
}

FakeSystem::FakeSystem(platform::FileSystem& files) : files_(files) {
    SetDisplay(1024, 768, 96);
    // Classic-theme sizes.
    for (const auto& [index, value] : std::vector<std::pair<int, int>>{
             {2, 16}, {3, 16}, {4, 19}, {5, 1}, {6, 1}, {7, 3}, {8, 3}, {15, 19}, {32, 4}, {33, 4}})
        metrics_[index] = value;
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

std::unique_ptr<platform::TcpConnection> FakeTcpClient::Connect(const std::string& host, uint16_t port,
                                                                platform::TcpEvents& events) {
    std::optional<FakeTcpServer> server;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ++connections_;
        if (const auto it = servers_.find({ToUpper(host), port}); it != servers_.end()) server = it->second;
    }
    auto connection = std::make_unique<FakeTcpConnection>(events, server.value_or(FakeTcpServer{}));
    if (!server) connection->Error(platform::TcpErrConnectionRefused);
    else if (server->accept == FakeTcpServer::Accept::Yes) connection->Connected();
    return connection;
}


// Checks the faults before each write and puts the clock's time on the file after it.
struct FakeTextWriter : platform::TextWriter {
    FakeTextWriter(FakeFileSystem& fs, std::string path, std::unique_ptr<platform::TextWriter> inner)
        : fs_(fs), path_(std::move(path)), key_(PathKey(path_)), inner_(std::move(inner)) {}
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
    const std::string key = PathKey(path);
    if (beforeChange) beforeChange(key);
    missing_.erase(key);  // this computer's own change is known to it
    Notify(path);
    return key;
}

bool FakeFileSystem::Found(const std::string& path, const std::function<bool()>& exists) {
    if (!Shared(path)) return exists();
    const std::string key = PathKey(path);
    const auto it = missing_.find(key);
    const int64_t now = clock_.MonotonicMs();
    if (it != missing_.end() && now - it->second < cache_->notFoundMs) return false;
    if (exists()) return true;
    missing_[key] = now;
    return false;
}

std::vector<platform::FolderEntry> FakeFileSystem::ListEntries(const std::string& folder) {
    if (!Shared(folder)) return real_.ListEntries(Local(folder));
    auto& [at, entries] = listings_.try_emplace(PathKey(folder), INT64_MIN / 2, std::vector<platform::FolderEntry>{}).first->second;
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
    return std::make_unique<Watch>(*this, PathKey(folder), std::move(woken));
}

void FakeFileSystem::Notify(const std::string& path) {
    const std::string parent = PathKey(PathParent(path));
    for (Watch* w : watches_) {
        if (w->key != parent) continue;
        w->names.push_back(PathFileName(path));
        w->woken();
    }
}

void FakeFileSystem::CheckFault(const std::string& key) {
    for (Fault& f : faults_) {
        if (f.times == 0 || key != PathKey(f.path)) continue;
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
