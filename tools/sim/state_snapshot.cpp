// The whole state at once, read for tests. Requests never go through here.
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

}  // namespace facepad::sim
