#include "sqlite_db.h"

namespace facepad::sim {

Connection::Connection(const std::string& path, int openFlags)
{
    const int code = sqlite3_open_v2(path.c_str(), &m_db, openFlags, nullptr);
    if (code != SQLITE_OK) {
        const std::string reason = m_db ? sqlite3_errmsg(m_db) : sqlite3_errstr(code);
        sqlite3_close(m_db);
        m_db = nullptr;
        throw StoreError("cannot open " + path + ": " + reason);
    }
    sqlite3_extended_result_codes(m_db, 1);
}

Connection::~Connection()
{
    sqlite3_close(m_db);
}

void Connection::Check(int code, const char* doing) const
{
    if (code != SQLITE_OK && code != SQLITE_ROW && code != SQLITE_DONE) {
        throw StoreError(std::string(doing) + ": " + sqlite3_errmsg(m_db));
    }
}

void Connection::Execute(const char* sql)
{
    Check(sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr), sql);
}

Statement Connection::Prepare(const char* sql)
{
    return Statement(*this, sql);
}

long long Connection::QueryInteger(const char* sql)
{
    Statement query(*this, sql);
    return query.Step() ? query.Integer(0) : 0;
}

bool Connection::ReadOnly() const
{
    return sqlite3_db_readonly(m_db, "main") == 1;
}

Statement::Statement(Connection& connection, const char* sql) : m_connection(connection)
{
    m_connection.Check(sqlite3_prepare_v2(connection.Handle(), sql, -1, &m_statement, nullptr),
                       "reading the state");
}

Statement::~Statement()
{
    sqlite3_finalize(m_statement);
}

Statement::Statement(Statement&& other) noexcept
    : m_connection(other.m_connection), m_statement(other.m_statement)
{
    other.m_statement = nullptr;
}

Statement& Statement::Bind(int index, const std::string& text)
{
    m_connection.Check(sqlite3_bind_text64(m_statement, index, text.data(), text.size(),
                                           SQLITE_TRANSIENT, SQLITE_UTF8),
                       "binding a value");
    return *this;
}

Statement& Statement::Bind(int index, long long number)
{
    m_connection.Check(sqlite3_bind_int64(m_statement, index, number), "binding a value");
    return *this;
}

Statement& Statement::Bind(int index, const std::optional<long long>& number)
{
    if (number) {
        return Bind(index, *number);
    }
    m_connection.Check(sqlite3_bind_null(m_statement, index), "binding a value");
    return *this;
}

bool Statement::Step()
{
    const int code = sqlite3_step(m_statement);
    m_connection.Check(code, "changing the state");
    return code == SQLITE_ROW;
}

void Statement::Run()
{
    while (Step()) {
    }
}

int Statement::Changes() const
{
    return sqlite3_changes(m_connection.Handle());
}

std::string Statement::Text(int column) const
{
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_statement, column));
    const int length = sqlite3_column_bytes(m_statement, column);
    return text ? std::string(text, static_cast<std::size_t>(length)) : std::string();
}

long long Statement::Integer(int column) const
{
    return sqlite3_column_int64(m_statement, column);
}

std::optional<long long> Statement::OptionalInteger(int column) const
{
    if (sqlite3_column_type(m_statement, column) == SQLITE_NULL) {
        return std::nullopt;
    }
    return Integer(column);
}

Transaction::Transaction(Connection& connection, const char* begin) : m_connection(connection)
{
    m_connection.Execute(begin);
}

Transaction::~Transaction()
{
    if (m_open) {
        // After a failed statement SQLite may already have rolled back; that error is moot.
        sqlite3_exec(m_connection.Handle(), "ROLLBACK", nullptr, nullptr, nullptr);
    }
}

void Transaction::Commit()
{
    m_connection.Execute("COMMIT");
    m_open = false;
}

}  // namespace facepad::sim
