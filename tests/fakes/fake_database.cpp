#include "fakes/fake_database.h"

#include "platform/errors.h"
#include "platform/strings.h"

namespace updexar::fakes {
namespace {

class FakeDatabaseConnection : public platform::DatabaseConnection {
public:
    explicit FakeDatabaseConnection(FakeDatabase& db) : db_(db) { ++db_.open; }
    ~FakeDatabaseConnection() override { --db_.open; }

    bool OpenTable(const std::string& name) override {
        db_.requests.push_back("open " + name);
        const auto table = db_.tables.find(ToUpper(name));
        return table != db_.tables.end() && table->second.opens;
    }

    void Execute(const std::string& statement) override {
        db_.requests.push_back(statement);
        const auto failure = db_.failingStatements.find(statement);
        if (failure != db_.failingStatements.end()) throw RuntimeError(ErrDatabase, failure->second);
        for (auto& [name, table] : db_.tables)
            for (const std::string& mending : table.mendedBy)
                if (EqualsNoCase(mending, statement)) table.opens = true;
    }

private:
    FakeDatabase& db_;
};

}  // namespace

void FakeDatabase::AddTable(const std::string& name, FakeTable table) { tables[ToUpper(name)] = std::move(table); }

std::unique_ptr<platform::DatabaseConnection> FakeDatabase::Connect(const std::string& connectionString,
                                                                    int timeoutSeconds) {
    connections.push_back({connectionString, timeoutSeconds});
    const auto refusal = refusals.find(connectionString);
    if (refusal != refusals.end()) throw RuntimeError(ErrDatabase, refusal->second);
    return std::make_unique<FakeDatabaseConnection>(*this);
}

}  // namespace updexar::fakes
