// Where the simulated gateway keeps its state: a SQLite database in WAL mode, in the file given
// with --state or in memory. Every change is one transaction; reads go through a connection of
// their own, so they see the last commit and never wait for a write to reach the disk.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <type_traits>
#include <utility>

#include "gateway_records.h"
#include "sqlite_db.h"
#include "state_lock.h"

namespace facepad::sim {

// A user row's columns after its serial, named as the protocol's user members and in their order,
// which is UserRecord's (see UserOfRow).
const std::string& UserColumns();
// The user whose UserColumns() start at column `first` of the current row.
UserRecord UserOfRow(const Statement& row, int first);
// An INTEGER column written from an int: by this simulator, through the statements above.
int IntColumn(const Statement& row, int column);

// The SQL expression of a user's search key, from the expressions of its pin and name: both
// folded (text_fold.h), apart, so that a search never matches across the two.
std::string SearchKeyOf(const std::string& pin, const std::string& name);

// The version of the tables; an older file is brought up to date when it is opened, a file with
// a higher one is refused, never guessed at.
inline constexpr long long kStateSchemaVersion = 2;

class StateDatabase {
public:
    // An empty `path` gives a private in-memory database. A file that does not exist (or is
    // empty) becomes a new state; one of an older schema is brought up to date. A file that
    // another simulator uses (see StateLock), that is not a state of this simulator, was written
    // by a newer one, or cannot be read or written throws StoreError with the reason, and the
    // file is left as it was.
    explicit StateDatabase(const std::string& path);

    // Runs `change` inside one write transaction and commits it. Anything `change` throws, and a
    // failed commit, rolls the whole transaction back and reaches the caller as an exception.
    template <class Change>
    auto Write(Change&& change)
    {
        std::lock_guard<std::mutex> lock(m_writeMutex);
        Transaction transaction(*m_writer);
        if constexpr (std::is_void_v<decltype(change(*m_writer))>) {
            change(*m_writer);
            transaction.Commit();
        } else {
            auto result = change(*m_writer);
            transaction.Commit();
            return result;
        }
    }

    // Runs `query` against one consistent view of the last committed state.
    template <class Query>
    auto Read(Query&& query)
    {
        std::lock_guard<std::mutex> lock(*m_readMutex);
        Transaction view(*m_reader, "BEGIN DEFERRED");
        auto result = query(*m_reader);
        view.Commit();
        return result;
    }

private:
    std::unique_ptr<StateLock> m_lock;  // first in, last out: held until both connections close
    std::unique_ptr<Connection> m_writer;
    std::mutex m_writeMutex;
    // A file has a second connection for readers; in memory the one connection serves both.
    std::unique_ptr<Connection> m_ownReader;
    std::mutex m_ownReadMutex;
    Connection* m_reader = nullptr;
    std::mutex* m_readMutex = nullptr;
};

}  // namespace facepad::sim
