// The whole state at once: read for tests and written by the import of an earlier simulator's
// JSON state file. Requests never go through here.
#include "gateway_state.h"

namespace facepad::sim {

namespace {

int AsInt(long long value)
{
    return static_cast<int>(value);
}

void ReadTerminals(Connection& db, GatewayData& data, const std::map<std::string, bool>& connected)
{
    Statement terminals = db.Prepare("SELECT serial, channel FROM terminal");
    while (terminals.Step()) {
        TerminalRecord& terminal = data.terminals[terminals.Text(0)];
        terminal.channel = terminals.OptionalInteger(1);
        const auto flag = connected.find(terminals.Text(0));
        terminal.connected = flag != connected.end() && flag->second;
    }
    Statement users = db.Prepare(
        "SELECT serial, pin, name, pri, passwd, verify, card, vicecard "
        "FROM terminal_user");
    while (users.Step()) {
        data.terminals[users.Text(0)].users[users.Text(1)] =
            UserRecord{users.Text(1), users.Text(2),           AsInt(users.Integer(3)),
                       users.Text(4), AsInt(users.Integer(5)), users.Text(6),
                       users.Text(7)};
    }
    Statement photos =
        db.Prepare("SELECT serial, pin, type, size, content, url, format FROM photo");
    while (photos.Step()) {
        const int type = AsInt(photos.Integer(2));
        data.terminals[photos.Text(0)].photos[photos.Text(1)][type] =
            PhotoRecord{photos.Text(1), type,           AsInt(photos.Integer(3)),
                        photos.Text(4), photos.Text(5), AsInt(photos.Integer(6))};
    }
}

void ReadSettingsAndEvents(Connection& db, GatewayData& data)
{
    Statement settings = db.Prepare("SELECT name, value FROM setting");
    while (settings.Step()) {
        (settings.Text(0) == "listenPort" ? data.listenPort : data.resetValue) = settings.Text(1);
    }
    Statement params = db.Prepare("SELECT name, value FROM init_param");
    while (params.Step()) {
        data.initParams[params.Text(0)] = params.Text(1);
    }
    Statement unlocks = db.Prepare("SELECT serial, command_id FROM unlock_event ORDER BY seq");
    while (unlocks.Step()) {
        data.unlocks.push_back(UnlockEvent{unlocks.Text(0), unlocks.Text(1)});
    }
    Statement results =
        db.Prepare("SELECT serial, command_id, code FROM pending_result ORDER BY seq");
    while (results.Step()) {
        data.pendingResults.push_back(
            ResultEntry{results.Text(0), results.Text(1), results.Text(2)});
    }
}

void WriteTerminal(Connection& db, const std::string& serial, const TerminalRecord& terminal)
{
    db.Prepare("INSERT OR IGNORE INTO terminal (serial) VALUES (?)").Bind(1, serial).Run();
    db.Prepare("UPDATE terminal SET channel = ? WHERE serial = ?")
        .Bind(1, terminal.channel)
        .Bind(2, serial)
        .Run();
    for (const auto& [pin, user] : terminal.users) {
        db.Prepare("INSERT OR REPLACE INTO terminal_user VALUES (?, ?, ?, ?, ?, ?, ?, ?)")
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
    for (const auto& perUser : terminal.photos) {
        for (const auto& [type, photo] : perUser.second) {
            db.Prepare("INSERT OR REPLACE INTO photo VALUES (?, ?, ?, ?, ?, ?, ?)")
                .Bind(1, serial)
                .Bind(2, perUser.first)
                .Bind(3, static_cast<long long>(type))
                .Bind(4, static_cast<long long>(photo.size))
                .Bind(5, photo.content)
                .Bind(6, photo.url)
                .Bind(7, static_cast<long long>(photo.format))
                .Run();
        }
    }
}

}  // namespace

GatewayData GatewayState::Snapshot()
{
    return m_db.Read([this](Connection& db) {
        GatewayData data;
        ReadTerminals(db, data, ConnectedFlags());
        ReadSettingsAndEvents(db, data);
        return data;
    });
}

void GatewayState::Import(const GatewayData& kept)
{
    m_db.Write([&](Connection& db) {
        for (const auto& [serial, terminal] : kept.terminals) {
            WriteTerminal(db, serial, terminal);
        }
        const auto put = [&](const char* sql, const std::string& name, const std::string& value) {
            db.Prepare(sql).Bind(1, name).Bind(2, value).Run();
        };
        put("INSERT OR REPLACE INTO setting VALUES (?, ?)", "listenPort", kept.listenPort);
        put("INSERT OR REPLACE INTO setting VALUES (?, ?)", "reset", kept.resetValue);
        for (const auto& [name, value] : kept.initParams) {
            put("INSERT OR REPLACE INTO init_param VALUES (?, ?)", name, value);
        }
        for (const UnlockEvent& unlock : kept.unlocks) {
            put("INSERT INTO unlock_event (serial, command_id) VALUES (?, ?)", unlock.serial,
                unlock.commandId);
        }
    });
}

}  // namespace facepad::sim
