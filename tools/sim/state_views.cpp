// The read-only views of the state: the bounded overview the /_sim/ API and the page show (counts,
// one page of users, the first results and the last unlocks: every query is bounded, so a state of
// 100,000 users costs one page of them, and photo content is read one photo at a time when the
// page asks for the image), and the whole state at once for tests. Requests never go through here.
#include "gateway_state.h"
#include "text_fold.h"

namespace facepad::sim {

namespace {

std::vector<ResultEntry> QueuedResults(Connection& db)
{
    std::vector<ResultEntry> queued;
    Statement query =
        db.Prepare("SELECT serial, command_id, code FROM pending_result ORDER BY seq");
    while (query.Step()) {
        queued.push_back(ResultEntry{query.Text(0), query.Text(1), query.Text(2)});
    }
    return queued;
}

// Settings and init settings, into the overview or the whole state.
template <class State>
void ReadSettings(Connection& db, State& state)
{
    Statement settings = db.Prepare("SELECT name, value FROM setting");
    while (settings.Step()) {
        (settings.Text(0) == "listenPort" ? state.listenPort : state.resetValue) = settings.Text(1);
    }
    Statement params = db.Prepare("SELECT name, value FROM init_param");
    while (params.Step()) {
        state.initParams[params.Text(0)] = params.Text(1);
    }
}

// Settings, init settings, every unlock and every queued result.
void ReadSettingsAndEvents(Connection& db, GatewayData& state)
{
    ReadSettings(db, state);
    Statement unlocks = db.Prepare("SELECT serial, command_id FROM unlock_event ORDER BY seq");
    while (unlocks.Step()) {
        state.unlocks.push_back(UnlockEvent{unlocks.Text(0), unlocks.Text(1)});
    }
    state.pendingResults = QueuedResults(db);
}

void ReadWholeTerminals(Connection& db, GatewayData& data,
                        const std::map<std::string, bool>& connected)
{
    Statement terminals = db.Prepare("SELECT serial, channel FROM terminal");
    while (terminals.Step()) {
        TerminalRecord& terminal = data.terminals[terminals.Text(0)];
        terminal.channel = terminals.OptionalInteger(1);
        const auto flag = connected.find(terminals.Text(0));
        terminal.connected = flag != connected.end() && flag->second;
    }
    const std::string userQuery =
        std::string("SELECT serial, ") + UserColumns() + " FROM terminal_user";
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

std::size_t Count(Connection& db, const char* sql)
{
    return static_cast<std::size_t>(db.QueryInteger(sql));
}

// serial -> count, for the rows of `table` grouped by terminal.
std::map<std::string, std::size_t> CountsBySerial(Connection& db, const char* table)
{
    std::map<std::string, std::size_t> counts;
    const std::string sql =
        std::string("SELECT serial, count(*) FROM ") + table + " GROUP BY serial";
    Statement query = db.Prepare(sql.c_str());
    while (query.Step()) {
        counts[query.Text(0)] = static_cast<std::size_t>(query.Integer(1));
    }
    return counts;
}

std::size_t CountOf(const std::map<std::string, std::size_t>& counts, const std::string& serial)
{
    const auto found = counts.find(serial);
    return found == counts.end() ? 0 : found->second;
}

std::vector<TerminalOverview> ReadTerminals(Connection& db)
{
    const auto users = CountsBySerial(db, "terminal_user");
    const auto photos = CountsBySerial(db, "photo");
    const auto doors = CountsBySerial(db, "unlock_event");
    std::vector<TerminalOverview> terminals;
    Statement query = db.Prepare("SELECT serial, channel FROM terminal ORDER BY serial");
    while (query.Step()) {
        TerminalOverview terminal;
        terminal.serial = query.Text(0);
        terminal.channel = query.OptionalInteger(1);
        terminal.users = CountOf(users, terminal.serial);
        terminal.photos = CountOf(photos, terminal.serial);
        terminal.doorsOpened = CountOf(doors, terminal.serial);
        terminals.push_back(std::move(terminal));
    }
    return terminals;
}

// The WHERE clause of the filter; its parameters are bound by BindFilter in the same order. The
// search looks in the folded key, through an index that holds it beside serial and pin, so that
// neither the count nor the paging reads the table itself.
std::string FilterClause(const UserFilter& filter)
{
    std::string clause = " WHERE 1";
    if (!filter.terminal.empty()) {
        clause += " AND serial = ?";
    }
    if (!filter.search.empty()) {
        clause += std::string(" AND instr(search_key, ") + kFoldFunction + "(?)) > 0";
    }
    return clause;
}

int BindFilter(Statement& query, const UserFilter& filter)
{
    int next = 1;
    if (!filter.terminal.empty()) {
        query.Bind(next++, filter.terminal);
    }
    if (!filter.search.empty()) {
        query.Bind(next++, filter.search);
    }
    return next;
}

// Where the page holding the first user with the filter's pin starts, in the filter's order;
// nothing when no user the filter lets through has that pin.
std::optional<std::size_t> PageOfPin(Connection& db, const UserFilter& filter)
{
    const std::string clause = FilterClause(filter);
    Statement first = db.Prepare(
        ("SELECT serial FROM terminal_user" + clause + " AND pin = ? ORDER BY serial LIMIT 1")
            .c_str());
    first.Bind(BindFilter(first, filter), filter.pin);
    if (!first.Step()) {
        return std::nullopt;
    }
    Statement before = db.Prepare(
        ("SELECT count(*) FROM terminal_user" + clause + " AND (serial, pin) < (?, ?)").c_str());
    const int next = BindFilter(before, filter);
    before.Bind(next, first.Text(0)).Bind(next + 1, filter.pin);
    const auto position = before.Step() ? static_cast<std::size_t>(before.Integer(0)) : 0u;
    return position / filter.limit * filter.limit;
}

std::vector<PhotoSummary> ReadPhotos(Connection& db, const std::string& serial,
                                     const std::string& pin)
{
    std::vector<PhotoSummary> photos;
    Statement query = db.Prepare(
        "SELECT type, size, format, url, length(content) > 0 FROM photo "
        "WHERE serial = ? AND pin = ? ORDER BY type");
    query.Bind(1, serial).Bind(2, pin);
    while (query.Step()) {
        photos.push_back(PhotoSummary{serial, pin, IntColumn(query, 0), IntColumn(query, 1),
                                      IntColumn(query, 2), query.Text(3), query.Integer(4) != 0});
    }
    return photos;
}

void ReadUsers(Connection& db, const UserFilter& filter, StateOverview& overview)
{
    const std::string clause = FilterClause(filter);
    Statement count = db.Prepare(("SELECT count(*) FROM terminal_user" + clause).c_str());
    BindFilter(count, filter);
    overview.matchingUsers = count.Step() ? static_cast<std::size_t>(count.Integer(0)) : 0;
    const auto pinPage = filter.pin.empty() ? std::nullopt : PageOfPin(db, filter);
    overview.pinFound = pinPage.has_value();
    overview.pageOffset = pinPage.value_or(filter.offset);
    // The page's row ids come from the index alone; only its own rows are read from the table.
    const std::string sql = std::string("SELECT serial, ") + UserColumns() +
                            " FROM (SELECT rowid AS id FROM terminal_user" + clause +
                            " ORDER BY serial, pin LIMIT ? OFFSET ?) AS page"
                            " JOIN terminal_user ON terminal_user.rowid = page.id"
                            " ORDER BY serial, pin";
    Statement page = db.Prepare(sql.c_str());
    const int next = BindFilter(page, filter);
    page.Bind(next, static_cast<long long>(filter.limit))
        .Bind(next + 1, static_cast<long long>(overview.pageOffset));
    while (page.Step()) {
        overview.users.push_back(ListedUser{page.Text(0), UserOfRow(page, 1), {}});
    }
    for (ListedUser& listed : overview.users) {
        listed.photos = ReadPhotos(db, listed.serial, listed.user.pin);
    }
}

void ReadEvents(Connection& db, std::size_t listed, StateOverview& overview)
{
    overview.unlockCount = Count(db, "SELECT count(*) FROM unlock_event");
    Statement unlocks = db.Prepare(
        "SELECT serial, command_id FROM (SELECT seq, serial, command_id FROM unlock_event "
        "ORDER BY seq DESC LIMIT ?) ORDER BY seq");
    unlocks.Bind(1, static_cast<long long>(listed));
    while (unlocks.Step()) {
        overview.unlocks.push_back(UnlockEvent{unlocks.Text(0), unlocks.Text(1)});
    }
    overview.pendingCount = Count(db, "SELECT count(*) FROM pending_result");
    Statement pending =
        db.Prepare("SELECT serial, command_id, code FROM pending_result ORDER BY seq LIMIT ?");
    pending.Bind(1, static_cast<long long>(listed));
    while (pending.Step()) {
        overview.pendingResults.push_back(
            ResultEntry{pending.Text(0), pending.Text(1), pending.Text(2)});
    }
}

}  // namespace

StateOverview GatewayState::Overview(const UserFilter& filter, std::size_t listed)
{
    StateOverview overview = m_db.Read([&](Connection& db) {
        StateOverview read;
        ReadSettings(db, read);
        read.terminals = ReadTerminals(db);
        read.userCount = Count(db, "SELECT count(*) FROM terminal_user");
        read.photoCount = Count(db, "SELECT count(*) FROM photo");
        ReadUsers(db, filter, read);
        ReadEvents(db, listed, read);
        return read;
    });
    const std::map<std::string, bool> connected = ConnectedFlags();
    const std::map<std::string, std::string> forced = ForcedResults();
    for (TerminalOverview& terminal : overview.terminals) {
        const auto flag = connected.find(terminal.serial);
        terminal.connected = flag != connected.end() && flag->second;
        const auto code = forced.find(terminal.serial);
        if (code != forced.end()) {
            terminal.forcedResult = code->second;
        }
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

GatewayData GatewayState::Snapshot()
{
    return m_db.Read([this](Connection& db) {
        GatewayData data;
        ReadWholeTerminals(db, data, ConnectedFlags());
        ReadSettingsAndEvents(db, data);
        return data;
    });
}

}  // namespace facepad::sim
