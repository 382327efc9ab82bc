// What the simulated gateway keeps and how each command changes it. Thread-safe: the HTTP server
// answers on several threads at once.
#pragma once

#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "gateway_records.h"

namespace facepad::sim {

struct TerminalStatus {
    std::string serial;
    bool connected = false;
    std::optional<long long> channel;
};

class GatewayState {
public:
    explicit GatewayState(const std::vector<TerminalSpec>& terminals);

    // Takes over kept data (from a state file). Terminals named on the command line keep their
    // connection flag; terminals known only from the data are added as not connected.
    void Restore(GatewayData kept);
    GatewayData Snapshot() const;
    // Called, under the state's lock, after every change to the kept data (not to the queue).
    void OnChange(std::function<void(const GatewayData&)> listener);

    // Set-up commands. Empty on success, otherwise why the gateway refuses.
    std::string Bind(const std::string& serial, long long channel);
    std::string Unbind(const std::string& serial);
    void SetListenPort(const std::string& port, const std::string& reset);
    void SetInitParams(std::map<std::string, std::string> params);

    // Terminal commands: each queues one result entry and returns its code.
    std::string AddUser(const std::string& serial, const std::string& id, const UserRecord& user);
    std::string DelUser(const std::string& serial, const std::string& id, const std::string& pin);
    std::string SetPhoto(const std::string& serial, const std::string& id,
                         const PhotoRecord& photo);
    std::string DelPhoto(const std::string& serial, const std::string& id, const std::string& pin);
    std::string Unlock(const std::string& serial, const std::string& id);

    // Hands the queued results out once, oldest first.
    std::vector<ResultEntry> DrainResults();
    std::optional<TerminalStatus> Status(const std::string& serial) const;
    std::vector<TerminalStatus> Terminals() const;

private:
    using TerminalAction = std::function<std::string(TerminalRecord&)>;
    // Checks that the terminal is bound and connected, runs `action` on it, queues the outcome.
    std::string RunOnTerminal(const std::string& serial, const std::string& id,
                              const TerminalAction& action);
    void Changed();

    mutable std::mutex m_mutex;
    GatewayData m_data;
    std::function<void(const GatewayData&)> m_listener;
};

}  // namespace facepad::sim
