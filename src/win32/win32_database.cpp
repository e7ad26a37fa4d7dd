#include "win32/win32_database.h"

#include <windows.h>
#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/errors.h"
#include "win32/wide.h"

namespace updexar::win32 {
namespace {

[[noreturn]] void Fail(const std::string& message) { throw RuntimeError(ErrDatabase, message); }

// Every diagnostic record the driver (or the driver manager) left on a handle, joined.
std::string Diagnostics(SQLSMALLINT type, SQLHANDLE handle, SQLRETURN rc) {
    std::string all;
    for (SQLSMALLINT record = 1; record <= 16; ++record) {
        SQLWCHAR state[6] = {};
        SQLINTEGER native = 0;
        std::vector<SQLWCHAR> message(1024);
        SQLSMALLINT length = 0;
        SQLRETURN got = SQLGetDiagRecW(type, handle, record, state, &native, message.data(),
                                       static_cast<SQLSMALLINT>(message.size()), &length);
        if (got == SQL_SUCCESS_WITH_INFO && length >= static_cast<SQLSMALLINT>(message.size())) {
            message.resize(static_cast<size_t>(length) + 1);
            got = SQLGetDiagRecW(type, handle, record, state, &native, message.data(),
                                 static_cast<SQLSMALLINT>(message.size()), &length);
        }
        if (!SQL_SUCCEEDED(got)) break;
        if (!all.empty()) all += "; ";
        all += Narrow(reinterpret_cast<const wchar_t*>(message.data()),
                      std::min<size_t>(static_cast<size_t>(length), message.size() - 1));
    }
    if (all.empty()) all = "The database driver failed without a message (code " + std::to_string(rc) + ")";
    return all;
}

// An environment and a connection handle, shared by the connection object and a connect attempt
// that may outlive it: whichever lets go last disconnects and frees them.
struct Link {
    SQLHENV env = SQL_NULL_HENV;
    SQLHDBC dbc = SQL_NULL_HDBC;
    bool connected = false;

    ~Link() {
        if (connected) SQLDisconnect(dbc);
        if (dbc != SQL_NULL_HDBC) SQLFreeHandle(SQL_HANDLE_DBC, dbc);
        if (env != SQL_NULL_HENV) SQLFreeHandle(SQL_HANDLE_ENV, env);
    }
};

struct Attempt {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    bool connected = false;
    std::string error;
};

std::shared_ptr<Link> OpenLink(const std::wstring& connection, int timeoutSeconds) {
    auto link = std::make_shared<Link>();
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &link->env)))
        Fail("The ODBC driver manager could not be loaded");
    SQLSetEnvAttr(link->env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    SQLRETURN rc = SQLAllocHandle(SQL_HANDLE_DBC, link->env, &link->dbc);
    if (!SQL_SUCCEEDED(rc)) Fail(Diagnostics(SQL_HANDLE_ENV, link->env, rc));
    // Hints for the driver; one that does not know them still connects.
    const auto seconds = reinterpret_cast<SQLPOINTER>(static_cast<uintptr_t>(timeoutSeconds));
    SQLSetConnectAttrW(link->dbc, SQL_ATTR_LOGIN_TIMEOUT, seconds, SQL_IS_UINTEGER);
    SQLSetConnectAttrW(link->dbc, SQL_ATTR_CONNECTION_TIMEOUT, seconds, SQL_IS_UINTEGER);

    auto attempt = std::make_shared<Attempt>();
    try {
        std::thread([link, attempt, connection] {
            std::wstring text = connection;
            SQLWCHAR completed[1024];
            SQLSMALLINT completedLength = 0;
            const SQLRETURN result = SQLDriverConnectW(link->dbc, nullptr, reinterpret_cast<SQLWCHAR*>(text.data()),
                                                       SQL_NTS, completed, 1024, &completedLength,
                                                       SQL_DRIVER_NOPROMPT);
            const bool ok = SQL_SUCCEEDED(result);
            std::string error = ok ? std::string() : Diagnostics(SQL_HANDLE_DBC, link->dbc, result);
            {
                std::lock_guard<std::mutex> lock(attempt->mutex);
                link->connected = ok;
                attempt->connected = ok;
                attempt->error = std::move(error);
                attempt->finished = true;
            }
            attempt->done.notify_all();
        }).detach();
    } catch (const std::system_error&) {
        Fail("No thread could be started for the connection");
    }

    // A second more than the driver was given, so that a driver keeping to it has its say.
    std::unique_lock<std::mutex> lock(attempt->mutex);
    if (!attempt->done.wait_for(lock, std::chrono::seconds(timeoutSeconds + 1), [&] { return attempt->finished; }))
        Fail("The database server did not answer within " + std::to_string(timeoutSeconds) + " seconds");
    if (!attempt->connected) Fail(attempt->error);
    return link;
}

class Statement {
public:
    explicit Statement(SQLHDBC dbc) {
        const SQLRETURN rc = SQLAllocHandle(SQL_HANDLE_STMT, dbc, &handle_);
        if (!SQL_SUCCEEDED(rc)) {
            handle_ = SQL_NULL_HSTMT;
            Fail(Diagnostics(SQL_HANDLE_DBC, dbc, rc));
        }
    }
    ~Statement() { SQLFreeHandle(SQL_HANDLE_STMT, handle_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    SQLHSTMT Handle() const { return handle_; }
    SQLRETURN Run(const std::string& text) {
        std::wstring wide = Wide(text);
        return SQLExecDirectW(handle_, reinterpret_cast<SQLWCHAR*>(wide.data()), SQL_NTS);
    }
    [[noreturn]] void Throw(SQLRETURN rc) const { Fail(Diagnostics(SQL_HANDLE_STMT, handle_, rc)); }

    // Reads every row of every result; false when the driver failed on the way. `gaveRows` tells
    // whether the driver reported any result with columns.
    bool ReadAll(SQLRETURN& rc, bool& gaveRows) {
        gaveRows = false;
        for (;;) {
            SQLSMALLINT columns = 0;
            rc = SQLNumResultCols(handle_, &columns);
            if (!SQL_SUCCEEDED(rc)) return false;
            if (columns > 0) {
                gaveRows = true;
                while (SQL_SUCCEEDED(rc = SQLFetch(handle_))) {
                }
                if (rc != SQL_NO_DATA) return false;
            }
            rc = SQLMoreResults(handle_);
            if (rc == SQL_NO_DATA) return true;
            if (!SQL_SUCCEEDED(rc)) return false;
        }
    }

private:
    SQLHSTMT handle_ = SQL_NULL_HSTMT;
};

bool Ran(SQLRETURN rc) { return SQL_SUCCEEDED(rc) || rc == SQL_NO_DATA; }

class Win32DatabaseConnection : public platform::DatabaseConnection {
public:
    Win32DatabaseConnection(std::wstring connection, int timeoutSeconds, std::shared_ptr<Link> link)
        : connection_(std::move(connection)), timeoutSeconds_(timeoutSeconds), link_(std::move(link)) {}

    bool OpenTable(const std::string& name) override {
        if (!link_) return false;
        try {
            Statement statement(link_->dbc);
            SQLRETURN rc = statement.Run("SELECT * FROM " + name);
            bool gaveRows = false;
            return SQL_SUCCEEDED(rc) && statement.ReadAll(rc, gaveRows) && gaveRows;
        } catch (const RuntimeError&) {
            return false;
        }
    }

    void Execute(const std::string& statementText) override {
        if (!link_) Fail("The connection to the database is closed");
        bool gaveRows = false;
        {
            Statement statement(link_->dbc);
            SQLRETURN rc = statement.Run(statementText);
            if (!Ran(rc)) statement.Throw(rc);
            if (rc != SQL_NO_DATA && !statement.ReadAll(rc, gaveRows)) statement.Throw(rc);
        }
        // MariaDB's driver takes statements it does not know to give rows (REPAIR TABLE, for
        // one) for statements without results, and leaves their rows unread on the line: the
        // next statement then fails. Whatever reported no rows is followed by a look at the line,
        // and a connection found out of step is opened again.
        if (!gaveRows && !InStep()) {
            link_.reset();
            link_ = OpenLink(connection_, timeoutSeconds_);
        }
    }

private:
    // The connection answers a statement with exactly its own answer.
    bool InStep() {
        try {
            Statement probe(link_->dbc);
            if (!SQL_SUCCEEDED(probe.Run("SELECT 1"))) return false;
            SQLSMALLINT columns = 0;
            if (!SQL_SUCCEEDED(SQLNumResultCols(probe.Handle(), &columns)) || columns != 1) return false;
            if (!SQL_SUCCEEDED(SQLFetch(probe.Handle()))) return false;
            SQLINTEGER value = 0;
            SQLLEN indicator = 0;
            if (!SQL_SUCCEEDED(SQLGetData(probe.Handle(), 1, SQL_C_SLONG, &value, sizeof value, &indicator)) ||
                value != 1)
                return false;
            return SQLFetch(probe.Handle()) == SQL_NO_DATA && SQLMoreResults(probe.Handle()) == SQL_NO_DATA;
        } catch (const RuntimeError&) {
            return false;
        }
    }

    std::wstring connection_;
    int timeoutSeconds_;
    std::shared_ptr<Link> link_;
};

}  // namespace

std::unique_ptr<platform::DatabaseConnection> Win32Database::Connect(const std::string& connectionString,
                                                                     int timeoutSeconds) {
    const int seconds = timeoutSeconds < 1 ? 1 : timeoutSeconds;
    std::wstring connection = Wide(connectionString);
    auto link = OpenLink(connection, seconds);
    return std::make_unique<Win32DatabaseConnection>(std::move(connection), seconds, std::move(link));
}

}  // namespace updexar::win32
