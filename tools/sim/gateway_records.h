// The records the simulated gateway keeps, as plain values.
#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace facepad::sim {

struct UserRecord {
    std::string pin;
    std::string name;
    int pri = 0;
    std::string passwd;
    int verify = 0;
    std::string card;
    std::string vicecard;
};

struct PhotoRecord {
    std::string pin;
    int type = 0;
    int size = 0;  // as the host sent it; not checked against the content
    std::string content;
    std::string url;
    int format = 0;
};

struct UnlockEvent {
    std::string serial;
    std::string commandId;
};

// One terminal as the gateway knows it. Users and photos belong to the terminal: the same pin on
// two terminals is two users.
struct TerminalRecord {
    bool connected = false;
    std::optional<long long> channel;                          // set while bound
    std::map<std::string, UserRecord> users;                   // by pin
    std::map<std::string, std::map<int, PhotoRecord>> photos;  // by pin, then photo type
};

// A terminal named on the command line: "SN" (connected) or "SN:offline".
struct TerminalSpec {
    std::string serial;
    bool connected = true;
};

// What a terminal reported for one command, waiting for the next "facepad/getresult".
struct ResultEntry {
    std::string serial;
    std::string commandId;
    std::string code;
};

// Everything the gateway keeps, as one value (the state database holds it in tables). The
// connection flags come from the command line, not from the database.
struct GatewayData {
    std::map<std::string, TerminalRecord> terminals;  // by serial
    std::string listenPort;
    std::string resetValue;
    std::map<std::string, std::string> initParams;  // empty until "facepad/setinitparam"
    std::vector<UnlockEvent> unlocks;
    std::vector<ResultEntry> pendingResults;
};

// Whole-value equality, so that a test can tell that a refused or failed request changed nothing.
inline auto Fields(const UserRecord& u)
{
    return std::tie(u.pin, u.name, u.pri, u.passwd, u.verify, u.card, u.vicecard);
}
inline auto Fields(const PhotoRecord& p)
{
    return std::tie(p.pin, p.type, p.size, p.content, p.url, p.format);
}
inline auto Fields(const UnlockEvent& e)
{
    return std::tie(e.serial, e.commandId);
}
inline auto Fields(const TerminalRecord& t)
{
    return std::tie(t.connected, t.channel, t.users, t.photos);
}
inline auto Fields(const ResultEntry& r)
{
    return std::tie(r.serial, r.commandId, r.code);
}
inline auto Fields(const GatewayData& d)
{
    return std::tie(d.terminals, d.listenPort, d.resetValue, d.initParams, d.unlocks,
                    d.pendingResults);
}
template <class Record, class = decltype(Fields(std::declval<const Record&>()))>
bool operator==(const Record& a, const Record& b)
{
    return Fields(a) == Fields(b);
}

// A photo as the page lists it: everything but the content, which can be megabytes.
struct PhotoSummary {
    std::string serial;
    std::string pin;
    int type = 0;
    int size = 0;
    int format = 0;
    std::string url;
    bool hasContent = false;
};

// One terminal as the page lists it: its counts, not its users.
struct TerminalOverview {
    std::string serial;
    bool connected = false;
    std::optional<long long> channel;
    std::optional<std::string> forcedResult;  // the code the next result will carry
    std::size_t users = 0;
    std::size_t photos = 0;
    std::size_t doorsOpened = 0;
};

// Which users a page of the state shows: those of one terminal (or all), whose pin or name holds
// `search` (both folded: case and Latin accents aside, see text_fold.h), `limit` of them from
// `offset` on, by terminal and pin; or, when `pin` is given, the page that holds the first of them
// with that pin.
struct UserFilter {
    std::string terminal;  // empty: every terminal
    std::string search;
    std::size_t offset = 0;
    std::size_t limit = 100;
    std::string pin;  // empty: the page at `offset`
};

struct ListedUser {
    std::string serial;
    UserRecord user;
    std::vector<PhotoSummary> photos;  // by type
};

// A bounded view of the state, whatever its size: every terminal with its counts, one page of
// users, and the first results and the last unlocks with their totals.
struct StateOverview {
    std::vector<TerminalOverview> terminals;  // by serial
    std::string listenPort;
    std::string resetValue;
    std::map<std::string, std::string> initParams;
    std::vector<UnlockEvent> unlocks;  // the newest, oldest first
    std::size_t unlockCount = 0;
    std::vector<ResultEntry> pendingResults;  // the oldest, oldest first
    std::size_t pendingCount = 0;
    std::size_t userCount = 0;      // on every terminal
    std::size_t photoCount = 0;     // on every terminal
    std::size_t matchingUsers = 0;  // that the filter lets through, on every page
    std::size_t pageOffset = 0;     // where this page starts among them
    bool pinFound = false;          // whether the filter's pin is among them
    std::vector<ListedUser> users;  // this page
};

}  // namespace facepad::sim
