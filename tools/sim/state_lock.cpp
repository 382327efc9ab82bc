#include "state_lock.h"

namespace facepad::sim {

std::string StateLockPath(const std::string& statePath)
{
    return statePath + ".lock";
}

std::string StateInUse(const std::string& statePath, const std::string& lockFileText)
{
    const std::string pid = lockFileText.substr(0, lockFileText.find('\n'));
    // The holder writes its id just after it takes the lock.
    const bool named = !pid.empty() && pid.find_first_not_of("0123456789") == std::string::npos;
    return statePath + " is in use by another facepad-gateway-sim, " +
           (named ? "process " + pid : std::string("whose process id is not written yet")) +
           " (it holds " + StateLockPath(statePath) +
           "): stop that one, or give this one another --state";
}

}  // namespace facepad::sim
