// What the simulated gateway keeps and how each command changes it. The kept state lives in a
// StateDatabase, one transaction per command; only the connection flags, which the command line
// decides, stay in memory. Thread-safe: the HTTP server answers on several threads at once.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "gateway_records.h"
#include "state_database.h"

namespace facepad::sim {

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

    // Hands the queued results out once, oldest first.
    std::vector<ResultEntry> DrainResults();
    std::optional<TerminalStatus> Status(const std::string& serial);
    std::vector<TerminalStatus> Terminals();

    // The whole state at once, photos included: for tests and conversions, not for requests.
    GatewayData Snapshot();
    // Adds kept data (from an earlier simulator's JSON state file) in one transaction.
    void Import(const GatewayData& kept);

private:
    using TerminalAction = std::function<std::string(Connection& db)>;
    // Checks that the terminal is bound and connected, runs `action` on it and queues the
    // outcome, all in one transaction.
    std::string RunOnTerminal(const std::string& serial, const std::string& id,
                              const TerminalAction& action);
    bool Connected(const std::string& serial) const;

    std::map<std::string, bool> m_connected;  // from the command line; never changes
    StateDatabase m_db;
};

}  // namespace facepad::sim
