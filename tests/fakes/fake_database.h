// A pretend database server: tables that open or not and statements that mend a table; it keeps
// everything asked of it, in order. Every connection string reaches the same tables. Look at what it kept once the work
// that used it has ended (it may run on a worker thread).
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/database.h"
#include "platform/strings.h"

namespace updexar::fakes {

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

}  // namespace updexar::fakes
