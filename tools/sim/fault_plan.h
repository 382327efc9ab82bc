// Misbehaviour on request, for hosts that must cope with a flaky gateway: added latency, a share
// of 500 answers, a share of dropped connections and fixed statuses per endpoint.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <random>
#include <string>

namespace facepad::sim {

struct FaultSettings {
    std::chrono::milliseconds latency{0};        // before every answer
    double failRate = 0.0;                       // share of requests answered 500, 0..1
    double dropRate = 0.0;                       // share of connections closed mid-answer, 0..1
    std::map<std::string, int> statusOverrides;  // endpoint path (no "/") -> status
    std::uint32_t seed = 0;                      // 0: a different sequence every run
};

enum class FaultKind { None, StatusOverride, ServerError, Drop };

struct FaultDecision {
    FaultKind kind = FaultKind::None;
    int status = 200;
};

// Parses "facepad/adduser=503" into `overrides`; "/facepad/adduser" and "adduser" name the same
// endpoint. Empty on success, otherwise what is wrong with `text` (an unknown endpoint too).
std::string AddStatusOverride(const std::string& text, std::map<std::string, int>& overrides);

class FaultPlan {
public:
    explicit FaultPlan(FaultSettings settings);

    // What happens to the next request to `path`. A faulted request changes no state.
    FaultDecision Decide(const std::string& path);
    std::chrono::milliseconds Latency() const { return m_settings.latency; }

private:
    bool Roll(double rate);

    FaultSettings m_settings;
    std::mutex m_mutex;
    std::mt19937 m_random;
};

}  // namespace facepad::sim
