// A thin C++ face on SQLite: an owned connection, prepared statements with typed binding and
// reading, and one error type that carries SQLite's own message.
#pragma once

#include <sqlite3.h>

#include <optional>
#include <stdexcept>
#include <string>

namespace facepad::sim {

// Any SQLite failure. A request that meets one is answered 500 with this text; at start-up it
// stops the simulator with it.
class StoreError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class Statement;

class Connection {
public:
    // Throws StoreError naming `path` when SQLite cannot open it.
    Connection(const std::string& path, int openFlags);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Runs statements that take no parameters and return no rows.
    void Execute(const char* sql);
    Statement Prepare(const char* sql);
    // The single integer a query such as "PRAGMA user_version" returns.
    long long QueryInteger(const char* sql);
    bool ReadOnly() const;
    sqlite3* Handle() const { return m_db; }
    // Throws StoreError with SQLite's message when `code` is a failure.
    void Check(int code, const char* doing) const;

private:
    sqlite3* m_db = nullptr;
};

class Statement {
public:
    Statement(Connection& connection, const char* sql);
    ~Statement();
    Statement(Statement&& other) noexcept;
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    Statement& operator=(Statement&&) = delete;

    // Parameters are numbered from 1, as in SQLite; each returns *this for chaining.
    Statement& Bind(int index, const std::string& text);
    Statement& Bind(int index, long long number);
    Statement& Bind(int index, const std::optional<long long>& number);

    // True while a row is available; false once the statement is done.
    bool Step();
    // Steps a statement that returns no rows.
    void Run();
    // Rows changed by the last Run().
    int Changes() const;

    std::string Text(int column) const;
    long long Integer(int column) const;
    std::optional<long long> OptionalInteger(int column) const;

private:
    Connection& m_connection;
    sqlite3_stmt* m_statement = nullptr;
};

// BEGIN IMMEDIATE on construction; Commit() makes the change durable, and leaving the scope
// without it rolls everything back, so a failed request leaves the state as it was.
class Transaction {
public:
    explicit Transaction(Connection& connection, const char* begin = "BEGIN IMMEDIATE");
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    void Commit();

private:
    Connection& m_connection;
    bool m_open = true;
};

}  // namespace facepad::sim
