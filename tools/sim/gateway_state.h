// What the simulated gateway keeps and how each command changes it. The kept state lives in a
// StateDatabase, one transaction per command; only the connection flags and the forced results,
// which the command line and the /_sim/ controls decide, stay in memory. Thread-safe: the HTTP
// server answers on several threads at once.
#pragma once

#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "gateway_records.h"
#include "state_database.h"

namespace facepad::sim {

// How much one "facepad/getresult" hands out. The adapter refuses a reply over 16 MiB, and a
// refused reply would take the whole backlog with it; the rest waits for the next poll.
struct ResultBatchLimits {
    std::size_t entries = 10000;
    // Of the reply, counted at its worst: serial, id and code 7 bytes per byte (a control
    // character escaped as \u00XX inside "data", then escaped again), plus 80 per entry.
    std::size_t bytes = 1024 * 1024;
};
// The reply bytes ResultBatchLimits::bytes counts for one entry.
std::size_t ResultReplyBound(const ResultEntry& entry);

struct TerminalStatus {
    std::string serial;
    bool connected = false;
    std::optional<long long> channel;
};

class GatewayState {
public:
    // Opens the state at `statePath` (empty: in memory) and adds the command line's terminals to
    // it. Terminals known only from the state are not connected. Throws StoreError when the
    // state cannot be used.
    GatewayState(const std::vector<TerminalSpec>& terminals, const std::string& statePath);

    // Every method that changes the state commits before it returns, or throws StoreError and
    // leaves the state as it was.

    // Set-up commands. Empty on success, otherwise why the gateway refuses.
    std::string Bind(const std::string& serial, long long channel);
    std::string Unbind(const std::string& serial);
    void SetListenPort(const std::string& port, const std::string& reset);
    void SetInitParams(const std::map<std::string, std::string>& params);

    // Terminal commands: each queues one result entry and returns its code.
    std::string AddUser(const std::string& serial, const std::string& id, const UserRecord& user);
    std::string DelUser(const std::string& serial, const std::string& id, const std::string& pin);
    std::string SetPhoto(const std::string& serial, const std::string& id,
                         const PhotoRecord& photo);
    std::string DelPhoto(const std::string& serial, const std::string& id, const std::string& pin);
    std::string Unlock(const std::string& serial, const std::string& id);

    // Hands the oldest queued results out, once: as many as `limits` allow, but at least one.
    std::vector<ResultEntry> DrainResults(const ResultBatchLimits& limits = {});
    std::optional<TerminalStatus> Status(const std::string& serial);
    std::vector<TerminalStatus> Terminals();

    // The whole state at once, photos included: for tests, not for requests.
    GatewayData Snapshot();
    // A bounded view for the /_sim/ API and the page, cheap enough to poll at 100,000 users: the
    // counts, one page of users (without photo content), `listed` results and unlocks.
    StateOverview Overview(const UserFilter& filter, std::size_t listed);
    // One photo, content included; nothing when the terminal, user or type has none.
    std::optional<PhotoRecord> Photo(const std::string& serial, const std::string& pin, int type);

    // Controls. Empty on success, otherwise why (an unknown terminal).
    std::string SetConnected(const std::string& serial, bool connected);
    // The next terminal command for `serial` is not carried out and its result carries `code`
    // instead, whatever the terminal's binding or connection; a later call replaces the code.
    std::string ForceNextResult(const std::string& serial, const std::string& code);
    // Back to the start: no bindings, settings, users, photos, unlocks or results; only the
    // command line's terminals, connected as it said; no forced results.
    void Reset();

private:
    using TerminalAction = std::function<std::string(Connection& db)>;
    // Checks that the terminal is bound and connected, runs `action` on it and queues the
    // outcome, all in one transaction.
    std::string RunOnTerminal(const std::string& serial, const std::string& id,
                              const TerminalAction& action);
    bool Connected(const std::string& serial) const;
    std::map<std::string, bool> ConnectedFlags() const;
    std::map<std::string, std::string> ForcedResults() const;
    std::optional<std::string> TakeForcedResult(const std::string& serial);
    void AddCommandLineTerminals(Connection& db);
    bool Known(const std::string& serial);

    const std::vector<TerminalSpec> m_commandLine;
    // Innermost lock: taken inside database transactions, never the other way round.
    mutable std::mutex m_controlMutex;
    std::map<std::string, bool> m_connected;             // command line, then the controls
    std::map<std::string, std::string> m_forcedResults;  // by serial
    StateDatabase m_db;
};

}  // namespace facepad::sim
