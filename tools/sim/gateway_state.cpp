#include "gateway_state.h"

#include "facepad_protocol.h"

namespace facepad::sim {

namespace {

TerminalStatus StatusOf(const std::string& serial, const TerminalRecord& terminal)
{
    return TerminalStatus{serial, terminal.connected, terminal.channel};
}

}  // namespace

GatewayState::GatewayState(const std::vector<TerminalSpec>& terminals)
{
    for (const TerminalSpec& terminal : terminals) {
        m_data.terminals[terminal.serial].connected = terminal.connected;
    }
}

void GatewayState::Restore(GatewayData kept)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    for (auto& [serial, terminal] : kept.terminals) {
        const auto known = m_data.terminals.find(serial);
        terminal.connected = known != m_data.terminals.end() && known->second.connected;
    }
    for (const auto& [serial, terminal] : m_data.terminals) {
        kept.terminals.emplace(serial, terminal);
    }
    kept.pendingResults = std::move(m_data.pendingResults);
    m_data = std::move(kept);
}

GatewayData GatewayState::Snapshot() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_data;
}

void GatewayState::OnChange(std::function<void(const GatewayData&)> listener)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_listener = std::move(listener);
}

void GatewayState::Changed()
{
    if (m_listener) {
        m_listener(m_data);
    }
}

std::string GatewayState::Bind(const std::string& serial, long long channel)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto terminal = m_data.terminals.find(serial);
    if (terminal == m_data.terminals.end()) {
        return "unknown terminal " + serial;
    }
    terminal->second.channel = channel;
    Changed();
    return std::string();
}

std::string GatewayState::Unbind(const std::string& serial)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto terminal = m_data.terminals.find(serial);
    if (terminal == m_data.terminals.end()) {
        return "unknown terminal " + serial;
    }
    if (!terminal->second.channel) {
        return "terminal " + serial + " is not bound";
    }
    terminal->second.channel.reset();
    Changed();
    return std::string();
}

void GatewayState::SetListenPort(const std::string& port, const std::string& reset)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_data.listenPort = port;
    m_data.resetValue = reset;
    Changed();
}

void GatewayState::SetInitParams(std::map<std::string, std::string> params)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_data.initParams = std::move(params);
    Changed();
}

std::string GatewayState::RunOnTerminal(const std::string& serial, const std::string& id,
                                        const TerminalAction& action)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    std::string code;
    const auto terminal = m_data.terminals.find(serial);
    if (terminal == m_data.terminals.end() || !terminal->second.channel) {
        code = result_code::kTerminalNotBound;
    } else if (!terminal->second.connected) {
        code = result_code::kTerminalOffline;
    } else {
        code = action(terminal->second);
    }
    m_data.pendingResults.push_back(ResultEntry{serial, id, code});
    if (code == result_code::kDone) {
        Changed();
    }
    return code;
}

std::string GatewayState::AddUser(const std::string& serial, const std::string& id,
                                  const UserRecord& user)
{
    return RunOnTerminal(serial, id, [&](TerminalRecord& terminal) -> std::string {
        if (user.pin.empty()) {
            return result_code::kInvalidValue;
        }
        terminal.users[user.pin] = user;  // an existing pin is updated, as terminals do
        return result_code::kDone;
    });
}

std::string GatewayState::DelUser(const std::string& serial, const std::string& id,
                                  const std::string& pin)
{
    return RunOnTerminal(serial, id, [&](TerminalRecord& terminal) -> std::string {
        if (terminal.users.erase(pin) == 0) {
            return result_code::kUserUnknown;
        }
        terminal.photos.erase(pin);  // a photo does not outlive its user
        return result_code::kDone;
    });
}

std::string GatewayState::SetPhoto(const std::string& serial, const std::string& id,
                                   const PhotoRecord& photo)
{
    return RunOnTerminal(serial, id, [&](TerminalRecord& terminal) -> std::string {
        if (terminal.users.count(photo.pin) == 0) {
            return result_code::kUserUnknown;
        }
        if (photo.content.empty() && photo.url.empty()) {
            return result_code::kInvalidValue;
        }
        terminal.photos[photo.pin][photo.type] = photo;
        return result_code::kDone;
    });
}

std::string GatewayState::DelPhoto(const std::string& serial, const std::string& id,
                                   const std::string& pin)
{
    return RunOnTerminal(serial, id, [&](TerminalRecord& terminal) -> std::string {
        if (terminal.users.count(pin) == 0) {
            return result_code::kUserUnknown;
        }
        if (terminal.photos.erase(pin) == 0) {
            return result_code::kPhotoUnknown;
        }
        return result_code::kDone;
    });
}

std::string GatewayState::Unlock(const std::string& serial, const std::string& id)
{
    return RunOnTerminal(serial, id, [&](TerminalRecord&) -> std::string {
        m_data.unlocks.push_back(UnlockEvent{serial, id});
        return result_code::kDone;
    });
}

std::vector<ResultEntry> GatewayState::DrainResults()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<ResultEntry> drained;
    drained.swap(m_data.pendingResults);
    return drained;
}

std::optional<TerminalStatus> GatewayState::Status(const std::string& serial) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto terminal = m_data.terminals.find(serial);
    if (terminal == m_data.terminals.end()) {
        return std::nullopt;
    }
    return StatusOf(serial, terminal->second);
}

std::vector<TerminalStatus> GatewayState::Terminals() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<TerminalStatus> all;
    for (const auto& [serial, terminal] : m_data.terminals) {
        all.push_back(StatusOf(serial, terminal));
    }
    return all;
}

}  // namespace facepad::sim
