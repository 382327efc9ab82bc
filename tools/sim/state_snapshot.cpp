// The whole state at once: read for tests and written by the import of an earlier simulator's
// JSON state file. Requests never go through here.
#include "gateway_state.h"
#include "state_rows.h"

namespace facepad::sim {

namespace {

void ReadTerminals(Connection& db, GatewayData& data, const std::map<std::string, bool>& connected)
{
    Statement terminals = db.Prepare("SELECT serial, channel FROM terminal");
    while (terminals.Step()) {
        TerminalRecord& terminal = data.terminals[terminals.Text(0)];
        terminal.channel = terminals.OptionalInteger(1);
        const auto flag = connected.find(terminals.Text(0));
        terminal.connected = flag != connected.end() && flag->second;
    }
    const std::string userQuery =
        std::string("SELECT serial, ") + kUserColumns + " FROM terminal_user";
    Statement users = db.Prepare(userQuery.c_str());
    while (users.Step()) {
        data.terminals[users.Text(0)].users[users.Text(1)] = UserOfRow(users, 1);
    }
    Statement photos =
        db.Prepare("SELECT serial, pin, type, size, content, url, format FROM photo");
    while (photos.Step()) {
        const int type = IntColumn(photos, 2);
        data.terminals[photos.Text(0)].photos[photos.Text(1)][type] =
            PhotoRecord{photos.Text(1), type,           IntColumn(photos, 3),
                        photos.Text(4), photos.Text(5), IntColumn(photos, 6)};
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
        PutUserRow(db, serial, pin, user);
    }
    for (const auto& [pin, photos] : terminal.photos) {
        for (const auto& [type, photo] : photos) {
            PutPhotoRow(db, serial, pin, type, photo);
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
        PutNamedValue(db, "setting", "listenPort", kept.listenPort);
        PutNamedValue(db, "setting", "reset", kept.resetValue);
        for (const auto& [name, value] : kept.initParams) {
            PutNamedValue(db, "init_param", name, value);
        }
        for (const UnlockEvent& unlock : kept.unlocks) {
            AddUnlockRow(db, unlock.serial, unlock.commandId);
        }
    });
}

}  // namespace facepad::sim
