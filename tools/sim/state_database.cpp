#include "state_database.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "facepad_protocol.h"
#include "text_fold.h"

namespace facepad::sim {

namespace {

// "FPGS" in the database header: tells this simulator's files from other SQLite databases.
constexpr long long kApplicationId = 0x46504753;
constexpr char kSqliteHeader[16] = "SQLite format 3";  // with its NUL: the first 16 bytes
constexpr int kBusyTimeoutMs = 5000;

// The first version of the tables. A new state is made at this version and brought up to date by
// the steps an older file takes, so that every new state runs them too.
constexpr char kFirstSchema[] = R"sql(
CREATE TABLE terminal (serial TEXT PRIMARY KEY, channel INTEGER);
CREATE TABLE terminal_user (
  serial TEXT NOT NULL, pin TEXT NOT NULL, name TEXT NOT NULL, pri INTEGER NOT NULL,
  passwd TEXT NOT NULL, verify INTEGER NOT NULL, card TEXT NOT NULL, vicecard TEXT NOT NULL,
  PRIMARY KEY (serial, pin));
CREATE TABLE photo (
  serial TEXT NOT NULL, pin TEXT NOT NULL, type INTEGER NOT NULL, size INTEGER NOT NULL,
  content TEXT NOT NULL, url TEXT NOT NULL, format INTEGER NOT NULL,
  PRIMARY KEY (serial, pin, type));
CREATE TABLE setting (name TEXT PRIMARY KEY, value TEXT NOT NULL);
CREATE TABLE init_param (name TEXT PRIMARY KEY, value TEXT NOT NULL);
CREATE TABLE unlock_event (seq INTEGER PRIMARY KEY, serial TEXT NOT NULL, command_id TEXT NOT NULL);
CREATE TABLE pending_result (
  seq INTEGER PRIMARY KEY, serial TEXT NOT NULL, command_id TEXT NOT NULL, code TEXT NOT NULL);
PRAGMA application_id = 1179666259;
)sql";
static_assert(kApplicationId == 1179666259, "the schema text sets the application id");

// Version 2: the user search's folded text, with an index that holds everything the search and
// its paging read, so that a search scans the index alone.
std::string SchemaStepTo2()
{
    return "ALTER TABLE terminal_user ADD COLUMN search_key TEXT NOT NULL DEFAULT '';"
           "UPDATE terminal_user SET search_key = " +
           SearchKeyOf("pin", "name") +
           ";"
           "CREATE INDEX user_search ON terminal_user (serial, pin, search_key);";
}

// The steps from each version to the next, oldest first; step i leads to version i + 2.
const std::vector<std::string>& SchemaSteps()
{
    static const std::vector<std::string> steps = {SchemaStepTo2()};
    static_assert(kStateSchemaVersion == 2, "one step per version after the first");
    return steps;
}

enum class FileKind { New, Sqlite };

std::string SystemReason()
{
    return std::strerror(errno);
}

// What lies at `path`, read without changing it. Anything but nothing, an empty file or a SQLite
// database is refused here, before SQLite touches it.
FileKind InspectFile(const std::string& path)
{
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) {
        if (errno == ENOENT) {
            return FileKind::New;
        }
        throw StoreError("cannot examine " + path + ": " + SystemReason());
    }
    if (!S_ISREG(info.st_mode)) {
        throw StoreError(path + " is not a regular file");
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        throw StoreError("cannot read " + path + ": " + SystemReason());
    }
    char head[sizeof kSqliteHeader] = {};
    file.read(head, sizeof head);
    const auto got = static_cast<std::size_t>(file.gcount());
    if (got == 0) {
        return FileKind::New;
    }
    if (got == sizeof head && std::memcmp(head, kSqliteHeader, sizeof head) == 0) {
        return FileKind::Sqlite;
    }
    const std::string start(head, got);
    const auto first = start.find_first_not_of(" \t\r\n");
    if (first != std::string::npos && start[first] == '{') {
        throw StoreError(path +
                         " is a JSON state file of an earlier simulator; this one reads only its "
                         "SQLite state");
    }
    throw StoreError(path + " is not a facepad-gateway-sim state (not a SQLite database)");
}

// The schema version of the state, 0 for an empty database. Refuses a database this simulator
// did not write, or one from a newer version, before anything (even the journal mode) is changed
// in it.
long long SchemaVersion(Connection& db, const std::string& path)
{
    const long long application = db.QueryInteger("PRAGMA application_id");
    const long long version = db.QueryInteger("PRAGMA user_version");
    if (application == 0 && db.QueryInteger("SELECT count(*) FROM sqlite_master") == 0) {
        return 0;  // an empty SQLite file: nobody's data yet
    }
    if (application != kApplicationId) {
        throw StoreError(path + " is a SQLite database of another program (application_id " +
                         std::to_string(application) + "), not a facepad-gateway-sim state");
    }
    if (version > kStateSchemaVersion) {
        throw StoreError(path + " was written by a newer facepad-gateway-sim (schema version " +
                         std::to_string(version) + "; this one reads up to version " +
                         std::to_string(kStateSchemaVersion) + ")");
    }
    if (version < 1) {
        throw StoreError(path + " carries no schema version; not a facepad-gateway-sim state");
    }
    return version;
}

// WAL lets the reader connection see the last commit while a write is under way; NORMAL syncs
// at checkpoints only, which keeps every commit through a killed process, not a power cut.
void Tune(Connection& db)
{
    sqlite3_busy_timeout(db.Handle(), kBusyTimeoutMs);
    Statement mode = db.Prepare("PRAGMA journal_mode=WAL");
    if (!mode.Step() || mode.Text(0) != "wal") {
        throw StoreError("cannot use a write-ahead log beside it (is its directory writable?)");
    }
    db.Execute("PRAGMA synchronous=NORMAL");
}

// Makes a new state, or brings an older one up to date, in one transaction: an update that
// fails leaves the file at its version.
void BringUpToDate(Connection& db, long long version)
{
    if (version == kStateSchemaVersion) {
        return;
    }
    Transaction transaction(db);
    if (version == 0) {
        db.Execute(kFirstSchema);
        version = 1;
    }
    for (; version < kStateSchemaVersion; ++version) {
        db.Execute(SchemaSteps()[static_cast<std::size_t>(version - 1)].c_str());
    }
    db.Execute(("PRAGMA user_version = " + std::to_string(version)).c_str());
    transaction.Commit();
}

}  // namespace

StateDatabase::StateDatabase(const std::string& path)
{
    if (path.empty()) {
        m_writer = std::make_unique<Connection>(":memory:", SQLITE_OPEN_READWRITE);
        AddFoldFunction(*m_writer);
        BringUpToDate(*m_writer, 0);
        m_reader = m_writer.get();
        m_readMutex = &m_writeMutex;
        return;
    }
    m_lock = std::make_unique<StateLock>(path);
    const FileKind kind = InspectFile(path);
    const int flags = SQLITE_OPEN_READWRITE | (kind == FileKind::New ? SQLITE_OPEN_CREATE : 0);
    m_writer = std::make_unique<Connection>(path, flags);
    if (m_writer->ReadOnly()) {
        throw StoreError(path + " cannot be written (read-only)");
    }
    try {
        const long long version = SchemaVersion(*m_writer, path);
        Tune(*m_writer);
        AddFoldFunction(*m_writer);
        BringUpToDate(*m_writer, version);
    } catch (const StoreError& error) {
        throw StoreError(std::string(error.what()).find(path) == std::string::npos
                             ? path + ": " + error.what()
                             : error.what());
    }
    m_ownReader = std::make_unique<Connection>(path, SQLITE_OPEN_READWRITE);
    sqlite3_busy_timeout(m_ownReader->Handle(), kBusyTimeoutMs);
    AddFoldFunction(*m_ownReader);
    m_reader = m_ownReader.get();
    m_readMutex = &m_ownReadMutex;
}

const std::string& UserColumns()
{
    static const std::string columns = [] {
        std::string joined;
        for (const member::Member& m : member::kUser) {
            joined += (joined.empty() ? "" : ", ") + std::string(m.name);
        }
        return joined;
    }();
    return columns;
}

std::string SearchKeyOf(const std::string& pin, const std::string& name)
{
    return std::string(kFoldFunction) + "(" + pin + " || char(31) || " + name + ")";
}

UserRecord UserOfRow(const Statement& row, int first)
{
    return UserRecord{row.Text(first),     row.Text(first + 1),       IntColumn(row, first + 2),
                      row.Text(first + 3), IntColumn(row, first + 4), row.Text(first + 5),
                      row.Text(first + 6)};
}

int IntColumn(const Statement& row, int column)
{
    return static_cast<int>(row.Integer(column));
}

}  // namespace facepad::sim
