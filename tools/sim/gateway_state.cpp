#include "gateway_state.h"

#include "facepad_protocol.h"

namespace facepad::sim {

namespace {

void PutUserRow(Connection& db, const std::string& serial, const std::string& pin,
                const UserRecord& user)
{
    const std::string sql =
        std::string("INSERT OR REPLACE INTO terminal_user (serial, ") + UserColumns() +
        ", search_key) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, " + SearchKeyOf("?2", "?3") + ")";
    db.Prepare(sql.c_str())
        .Bind(1, serial)
        .Bind(2, pin)
        .Bind(3, user.name)
        .Bind(4, static_cast<long long>(user.pri))
        .Bind(5, user.passwd)
        .Bind(6, static_cast<long long>(user.verify))
        .Bind(7, user.card)
        .Bind(8, user.vicecard)
        .Run();
}

void PutPhotoRow(Connection& db, const std::string& serial, const std::string& pin, int type,
                 const PhotoRecord& photo)
{
    db.Prepare(
          "INSERT OR REPLACE INTO photo (serial, pin, type, size, content, url, format) "
          "VALUES (?, ?, ?, ?, ?, ?, ?)")
        .Bind(1, serial)
        .Bind(2, pin)
        .Bind(3, static_cast<long long>(type))
        .Bind(4, static_cast<long long>(photo.size))
        .Bind(5, photo.content)
        .Bind(6, photo.url)
        .Bind(7, static_cast<long long>(photo.format))
        .Run();
}

void PutNamedValue(Connection& db, const char* table, const std::string& name,
                   const std::string& value)
{
    const std::string sql =
        std::string("INSERT OR REPLACE INTO ") + table + " (name, value) VALUES (?, ?)";
    db.Prepare(sql.c_str()).Bind(1, name).Bind(2, value).Run();
}

void AddUnlockRow(Connection& db, const std::string& serial, const std::string& commandId)
{
    db.Prepare("INSERT INTO unlock_event (serial, command_id) VALUES (?, ?)")
        .Bind(1, serial)
        .Bind(2, commandId)
        .Run();
}

// The terminal's channel: nothing for an unknown terminal, a null inside for an unbound one.
std::optional<std::optional<long long>> ChannelOf(Connection& db, const std::string& serial)
{
    Statement query = db.Prepare("SELECT channel FROM terminal WHERE serial = ?");
    query.Bind(1, serial);
    if (!query.Step()) {
        return std::nullopt;
    }
    return query.OptionalInteger(0);
}

bool UserExists(Connection& db, const std::string& serial, const std::string& pin)
{
    Statement query = db.Prepare("SELECT 1 FROM terminal_user WHERE serial = ? AND pin = ?");
    query.Bind(1, serial).Bind(2, pin);
    return query.Step();
}

void QueueResult(Connection& db, const ResultEntry& entry)
{
    db.Prepare("INSERT INTO pending_result (serial, command_id, code) VALUES (?, ?, ?)")
        .Bind(1, entry.serial)
        .Bind(2, entry.commandId)
        .Bind(3, entry.code)
        .Run();
}

// The oldest queued results that fit `limits` (at least one, however large); `lastSeq` is the
// queue number of the last one taken.
std::vector<ResultEntry> OldestResults(Connection& db, const ResultBatchLimits& limits,
                                       long long& lastSeq)
{
    std::vector<ResultEntry> batch;
    Statement query =
        db.Prepare("SELECT seq, serial, command_id, code FROM pending_result ORDER BY seq LIMIT ?");
    query.Bind(1, static_cast<long long>(limits.entries));
    std::size_t bytes = 0;
    while (query.Step()) {
        ResultEntry entry{query.Text(1), query.Text(2), query.Text(3)};
        bytes += ResultReplyBound(entry);
        if (!batch.empty() && bytes > limits.bytes) {
            break;
        }
        lastSeq = query.Integer(0);
        batch.push_back(std::move(entry));
    }
    return batch;
}

}  // namespace

GatewayState::GatewayState(const std::vector<TerminalSpec>& terminals, const std::string& statePath)
    : m_commandLine(terminals), m_db(statePath)
{
    for (const TerminalSpec& terminal : terminals) {
        m_connected[terminal.serial] = terminal.connected;
    }
    m_db.Write([this](Connection& db) { AddCommandLineTerminals(db); });
}

void GatewayState::AddCommandLineTerminals(Connection& db)
{
    for (const TerminalSpec& terminal : m_commandLine) {
        db.Prepare("INSERT OR IGNORE INTO terminal (serial) VALUES (?)")
            .Bind(1, terminal.serial)
            .Run();
    }
}

bool GatewayState::Connected(const std::string& serial) const
{
    std::lock_guard<std::mutex> lock(m_controlMutex);
    const auto known = m_connected.find(serial);
    return known != m_connected.end() && known->second;
}

std::map<std::string, bool> GatewayState::ConnectedFlags() const
{
    std::lock_guard<std::mutex> lock(m_controlMutex);
    return m_connected;
}

std::optional<std::string> GatewayState::TakeForcedResult(const std::string& serial)
{
    std::lock_guard<std::mutex> lock(m_controlMutex);
    const auto forced = m_forcedResults.find(serial);
    if (forced == m_forcedResults.end()) {
        return std::nullopt;
    }
    std::string code = forced->second;
    m_forcedResults.erase(forced);
    return code;
}

std::string GatewayState::Bind(const std::string& serial, long long channel)
{
    return m_db.Write([&](Connection& db) -> std::string {
        Statement update = db.Prepare("UPDATE terminal SET channel = ? WHERE serial = ?");
        update.Bind(1, channel).Bind(2, serial).Run();
        return update.Changes() == 0 ? "unknown terminal " + serial : std::string();
    });
}

std::string GatewayState::Unbind(const std::string& serial)
{
    return m_db.Write([&](Connection& db) -> std::string {
        const auto channel = ChannelOf(db, serial);
        if (!channel) {
            return "unknown terminal " + serial;
        }
        if (!*channel) {
            return "terminal " + serial + " is not bound";
        }
        db.Prepare("UPDATE terminal SET channel = NULL WHERE serial = ?").Bind(1, serial).Run();
        return std::string();
    });
}

void GatewayState::SetListenPort(const std::string& port, const std::string& reset)
{
    m_db.Write([&](Connection& db) {
        PutNamedValue(db, "setting", "listenPort", port);
        PutNamedValue(db, "setting", "reset", reset);
    });
}

void GatewayState::SetInitParams(const std::map<std::string, std::string>& params)
{
    m_db.Write([&](Connection& db) {
        db.Execute("DELETE FROM init_param");
        for (const auto& [name, value] : params) {
            PutNamedValue(db, "init_param", name, value);
        }
    });
}

std::string GatewayState::RunOnTerminal(const std::string& serial, const std::string& id,
                                        const TerminalAction& action)
{
    std::optional<std::string> forced;
    try {
        return m_db.Write([&](Connection& db) {
            // Taken inside the transaction, so that two commands cannot both carry one code.
            forced = TakeForcedResult(serial);
            std::string code;
            const auto channel = ChannelOf(db, serial);
            if (forced) {
                code = *forced;
            } else if (!channel || !*channel) {
                code = result_code::kTerminalNotBound;
            } else if (!Connected(serial)) {
                code = result_code::kTerminalOffline;
            } else {
                code = action(db);
            }
            QueueResult(db, ResultEntry{serial, id, code});
            return code;
        });
    } catch (...) {
        // Nothing was queued, so the forced code still belongs to the next command.
        if (forced) {
            std::lock_guard<std::mutex> lock(m_controlMutex);
            m_forcedResults.emplace(serial, *forced);
        }
        throw;
    }
}

std::string GatewayState::AddUser(const std::string& serial, const std::string& id,
                                  const UserRecord& user)
{
    return RunOnTerminal(serial, id, [&](Connection& db) -> std::string {
        if (user.pin.empty()) {
            return result_code::kInvalidValue;
        }
        // An existing pin is updated, as terminals do; its photos stay.
        PutUserRow(db, serial, user.pin, user);
        return result_code::kDone;
    });
}

std::string GatewayState::DelUser(const std::string& serial, const std::string& id,
                                  const std::string& pin)
{
    return RunOnTerminal(serial, id, [&](Connection& db) -> std::string {
        Statement remove = db.Prepare("DELETE FROM terminal_user WHERE serial = ? AND pin = ?");
        remove.Bind(1, serial).Bind(2, pin).Run();
        if (remove.Changes() == 0) {
            return result_code::kUserUnknown;
        }
        // A photo does not outlive its user.
        db.Prepare("DELETE FROM photo WHERE serial = ? AND pin = ?")
            .Bind(1, serial)
            .Bind(2, pin)
            .Run();
        return result_code::kDone;
    });
}

std::string GatewayState::SetPhoto(const std::string& serial, const std::string& id,
                                   const PhotoRecord& photo)
{
    return RunOnTerminal(serial, id, [&](Connection& db) -> std::string {
        if (!UserExists(db, serial, photo.pin)) {
            return result_code::kUserUnknown;
        }
        if (photo.content.empty() && photo.url.empty()) {
            return result_code::kInvalidValue;
        }
        PutPhotoRow(db, serial, photo.pin, photo.type, photo);
        return result_code::kDone;
    });
}

std::string GatewayState::DelPhoto(const std::string& serial, const std::string& id,
                                   const std::string& pin)
{
    return RunOnTerminal(serial, id, [&](Connection& db) -> std::string {
        if (!UserExists(db, serial, pin)) {
            return result_code::kUserUnknown;
        }
        Statement remove = db.Prepare("DELETE FROM photo WHERE serial = ? AND pin = ?");
        remove.Bind(1, serial).Bind(2, pin).Run();
        return remove.Changes() == 0 ? result_code::kPhotoUnknown : result_code::kDone;
    });
}

std::string GatewayState::Unlock(const std::string& serial, const std::string& id)
{
    return RunOnTerminal(serial, id, [&](Connection& db) -> std::string {
        AddUnlockRow(db, serial, id);
        return result_code::kDone;
    });
}

std::size_t ResultReplyBound(const ResultEntry& entry)
{
    constexpr std::size_t kWorstEscape = 7;
    constexpr std::size_t kEntryFrame = 80;
    return kWorstEscape * (entry.serial.size() + entry.commandId.size() + entry.code.size()) +
           kEntryFrame;
}

std::vector<ResultEntry> GatewayState::DrainResults(const ResultBatchLimits& limits)
{
    return m_db.Write([&](Connection& db) {
        long long lastSeq = 0;
        std::vector<ResultEntry> batch = OldestResults(db, limits, lastSeq);
        db.Prepare("DELETE FROM pending_result WHERE seq <= ?").Bind(1, lastSeq).Run();
        return batch;
    });
}

std::optional<TerminalStatus> GatewayState::Status(const std::string& serial)
{
    const auto channel = m_db.Read([&](Connection& db) { return ChannelOf(db, serial); });
    if (!channel) {
        return std::nullopt;
    }
    return TerminalStatus{serial, Connected(serial), *channel};
}

std::vector<TerminalStatus> GatewayState::Terminals()
{
    return m_db.Read([this](Connection& db) {
        std::vector<TerminalStatus> all;
        Statement query = db.Prepare("SELECT serial, channel FROM terminal ORDER BY serial");
        while (query.Step()) {
            const std::string serial = query.Text(0);
            all.push_back(TerminalStatus{serial, Connected(serial), query.OptionalInteger(1)});
        }
        return all;
    });
}

bool GatewayState::Known(const std::string& serial)
{
    return m_db.Read([&](Connection& db) { return ChannelOf(db, serial).has_value(); });
}

std::string GatewayState::SetConnected(const std::string& serial, bool connected)
{
    if (!Known(serial)) {
        return "unknown terminal " + serial;
    }
    std::lock_guard<std::mutex> lock(m_controlMutex);
    m_connected[serial] = connected;
    return std::string();
}

std::string GatewayState::ForceNextResult(const std::string& serial, const std::string& code)
{
    if (!Known(serial)) {
        return "unknown terminal " + serial;
    }
    std::lock_guard<std::mutex> lock(m_controlMutex);
    m_forcedResults[serial] = code;
    return std::string();
}

void GatewayState::Reset()
{
    m_db.Write([this](Connection& db) {
        for (const char* table : {"terminal", "terminal_user", "photo", "setting", "init_param",
                                  "unlock_event", "pending_result"}) {
            db.Execute((std::string("DELETE FROM ") + table).c_str());
        }
        AddCommandLineTerminals(db);
    });
    std::lock_guard<std::mutex> lock(m_controlMutex);
    m_connected.clear();
    for (const TerminalSpec& terminal : m_commandLine) {
        m_connected[terminal.serial] = terminal.connected;
    }
    m_forcedResults.clear();
}

}  // namespace facepad::sim
