// The state as the /_sim/ API and the page show it: everything but photo content, which is read
// one photo at a time when the page asks for the image.
#include "gateway_state.h"

namespace facepad::sim {

namespace {

int AsInt(long long value)
{
    return static_cast<int>(value);
}

// Terminals in serial order, so that users and photos (also ordered by serial) follow them.
std::map<std::string, TerminalOverview> ReadTerminalOverviews(Connection& db)
{
    std::map<std::string, TerminalOverview> terminals;
    Statement query = db.Prepare("SELECT serial, channel FROM terminal");
    while (query.Step()) {
        TerminalOverview& terminal = terminals[query.Text(0)];
        terminal.serial = query.Text(0);
        terminal.channel = query.OptionalInteger(1);
    }
    Statement users = db.Prepare(
        "SELECT serial, pin, name, pri, passwd, verify, card, vicecard FROM terminal_user "
        "ORDER BY serial, pin");
    while (users.Step()) {
        terminals[users.Text(0)].users.push_back(
            UserRecord{users.Text(1), users.Text(2), AsInt(users.Integer(3)), users.Text(4),
                       AsInt(users.Integer(5)), users.Text(6), users.Text(7)});
    }
    Statement photos = db.Prepare(
        "SELECT serial, pin, type, size, format, url, length(content) > 0 FROM photo "
        "ORDER BY serial, pin, type");
    while (photos.Step()) {
        terminals[photos.Text(0)].photos.push_back(PhotoSummary{
            photos.Text(0), photos.Text(1), AsInt(photos.Integer(2)), AsInt(photos.Integer(3)),
            AsInt(photos.Integer(4)), photos.Text(5), photos.Integer(6) != 0});
    }
    return terminals;
}

void ReadOverviewSettingsAndEvents(Connection& db, StateOverview& overview)
{
    Statement settings = db.Prepare("SELECT name, value FROM setting");
    while (settings.Step()) {
        (settings.Text(0) == "listenPort" ? overview.listenPort : overview.resetValue) =
            settings.Text(1);
    }
    Statement params = db.Prepare("SELECT name, value FROM init_param");
    while (params.Step()) {
        overview.initParams[params.Text(0)] = params.Text(1);
    }
    Statement unlocks = db.Prepare("SELECT serial, command_id FROM unlock_event ORDER BY seq");
    while (unlocks.Step()) {
        overview.unlocks.push_back(UnlockEvent{unlocks.Text(0), unlocks.Text(1)});
    }
    Statement results =
        db.Prepare("SELECT serial, command_id, code FROM pending_result ORDER BY seq");
    while (results.Step()) {
        overview.pendingResults.push_back(
            ResultEntry{results.Text(0), results.Text(1), results.Text(2)});
    }
}

}  // namespace

StateOverview GatewayState::Overview()
{
    StateOverview overview;
    std::map<std::string, TerminalOverview> terminals = m_db.Read([&](Connection& db) {
        ReadOverviewSettingsAndEvents(db, overview);
        return ReadTerminalOverviews(db);
    });
    const std::map<std::string, bool> connected = ConnectedFlags();
    const std::map<std::string, std::string> forced = ForcedResults();
    for (auto& [serial, terminal] : terminals) {
        const auto flag = connected.find(serial);
        terminal.connected = flag != connected.end() && flag->second;
        const auto code = forced.find(serial);
        if (code != forced.end()) {
            terminal.forcedResult = code->second;
        }
        overview.terminals.push_back(std::move(terminal));
    }
    return overview;
}

std::optional<PhotoRecord> GatewayState::Photo(const std::string& serial, const std::string& pin,
                                               int type)
{
    return m_db.Read([&](Connection& db) -> std::optional<PhotoRecord> {
        Statement query = db.Prepare(
            "SELECT size, content, url, format FROM photo WHERE serial = ? AND pin = ? AND "
            "type = ?");
        query.Bind(1, serial).Bind(2, pin).Bind(3, static_cast<long long>(type));
        if (!query.Step()) {
            return std::nullopt;
        }
        return PhotoRecord{pin,           type,          AsInt(query.Integer(0)),
                           query.Text(1), query.Text(2), AsInt(query.Integer(3))};
    });
}

std::map<std::string, std::string> GatewayState::ForcedResults() const
{
    std::lock_guard<std::mutex> lock(m_controlMutex);
    return m_forcedResults;
}

}  // namespace facepad::sim
