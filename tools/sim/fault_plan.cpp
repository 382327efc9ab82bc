#include "fault_plan.h"

#include "body_fields.h"
#include "gateway.h"

namespace facepad::sim {

namespace {

std::uint32_t SeedFor(std::uint32_t seed)
{
    return seed != 0 ? seed : std::random_device{}();
}

}  // namespace

std::string AddStatusOverride(const std::string& text, std::map<std::string, int>& overrides)
{
    const auto equals = text.rfind('=');
    if (equals == std::string::npos || equals == 0) {
        return "expected ENDPOINT=STATUS, got " + Quoted(text);
    }
    std::string path = text.substr(0, equals);
    if (path[0] == '/') {
        path.erase(0, 1);
    }
    const std::string prefix = "facepad/";
    if (path.compare(0, prefix.size(), prefix) != 0) {
        path = prefix + path;  // "adduser" names the same endpoint as "facepad/adduser"
    }
    if (!Gateway::IsEndpoint(path)) {
        return "no endpoint /" + path + " in " + Quoted(text);
    }
    const auto status = ParseDecimal(text.substr(equals + 1));
    if (!status || *status < 100 || *status > 599) {
        return "status must be 100..599, got " + Quoted(text.substr(equals + 1));
    }
    overrides[path] = static_cast<int>(*status);
    return std::string();
}

FaultPlan::FaultPlan(FaultSettings settings)
    : m_settings(std::move(settings)), m_random(SeedFor(m_settings.seed))
{
}

bool FaultPlan::Roll(double rate)
{
    if (rate <= 0.0) {
        return false;
    }
    std::uniform_real_distribution<double> share(0.0, 1.0);
    return share(m_random) < rate;
}

FaultDecision FaultPlan::Decide(const std::string& path)
{
    const auto override = m_settings.statusOverrides.find(path);
    if (override != m_settings.statusOverrides.end()) {
        return FaultDecision{FaultKind::StatusOverride, override->second};
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    if (Roll(m_settings.dropRate)) {
        return FaultDecision{FaultKind::Drop, 200};
    }
    if (Roll(m_settings.failRate)) {
        return FaultDecision{FaultKind::ServerError, 500};
    }
    return FaultDecision{};
}

}  // namespace facepad::sim
