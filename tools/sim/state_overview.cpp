// The state as the /_sim/ API and the page show it: everything but photo content, which is read
// one photo at a time when the page asks for the image.
#include "gateway_state.h"
#include "state_rows.h"

namespace facepad::sim {

namespace {

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
    const std::string userQuery =
        std::string("SELECT serial, ") + kUserColumns + " FROM terminal_user ORDER BY serial, pin";
    Statement users = db.Prepare(userQuery.c_str());
    while (users.Step()) {
        terminals[users.Text(0)].users.push_back(UserOfRow(users, 1));
    }
    Statement photos = db.Prepare(
        "SELECT serial, pin, type, size, format, url, length(content) > 0 FROM photo "
        "ORDER BY serial, pin, type");
    while (photos.Step()) {
        terminals[photos.Text(0)].photos.push_back(
            PhotoSummary{photos.Text(0), photos.Text(1), IntColumn(photos, 2), IntColumn(photos, 3),
                         IntColumn(photos, 4), photos.Text(5), photos.Integer(6) != 0});
    }
    return terminals;
}

}  // namespace

StateOverview GatewayState::Overview()
{
    StateOverview overview;
    std::map<std::string, TerminalOverview> terminals = m_db.Read([&](Connection& db) {
        ReadSettingsAndEvents(db, overview);
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
        return PhotoRecord{pin,           type,          IntColumn(query, 0),
                           query.Text(1), query.Text(2), IntColumn(query, 3)};
    });
}

std::map<std::string, std::string> GatewayState::ForcedResults() const
{
    std::lock_guard<std::mutex> lock(m_controlMutex);
    return m_forcedResults;
}

}  // namespace facepad::sim
