// One fake of everything the operating system provides, wired into a platform::Platform, on a
// pretend computer with a C: drive and the usual Windows folders; the small fakes live here too.
#pragma once

#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "fakes/fake_filesystem.h"
#include "fakes/fake_processes.h"
#include "fakes/fake_registry.h"
#include "fakes/fake_services.h"
#include "fakes/fake_system.h"
#include "platform/com.h"
#include "platform/database.h"
#include "platform/fonts.h"
#include "platform/network.h"
#include "platform/platform.h"
#include "platform/shell.h"
#include "platform/strings.h"

namespace updexar::fakes {

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
class FakeFonts : public platform::Fonts {
public:
    bool IsFaceInstalled(const std::string& face) override { return EqualsNoCase(face, "MS Sans Serif") || EqualsNoCase(face, "Arial"); }
    int AddFontFile(const std::string&) override { return 0; }
    void BroadcastFontChange() override {}
};

// A shell whose folder dialogs are cancelled and whose Execute calls start nothing; it keeps
// "verb|file|parameters|show mode" of every Execute.
class FakeShell : public platform::Shell {
public:
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
class FakeNetwork : public platform::Network {
public:
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
    class Link : public platform::DatabaseConnection {
    public:
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

    private:
        FakeDatabase& db_;
    };
};

class FakePlatform {
public:
    FakePlatform() : files(clock), system(files) {
        files.AddDrive("C");
        for (const std::string& folder :
             {system.WindowsDirectory(), system.SystemDirectory(), system.TempDirectory(), system.AllUsersProfileDirectory(),
              system.DefaultUserProfileDirectory(), system.UserProfileDirectory(), PathParent(system.programPath)})
            files.MakeFolders(folder);
    }
    FakePlatform(const FakePlatform&) = delete;
    FakePlatform& operator=(const FakePlatform&) = delete;

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
