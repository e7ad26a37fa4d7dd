#include <thread>

#include "fakes/fake_platform.h"
#include "platform/errors.h"
#include "platform/strings.h"

namespace updexar::fakes {

using platform::RegRoot;
using Key = FakeRegistry::Key;

namespace {

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

}  // namespace updexar::fakes
