// The polling thread's loop: fetches result lists, merges each into the thread's own result map
// and hands that map to the host's callback. What it needs of the adapter comes in as two hooks,
// so that this loop never depends on the adapter class.
#pragma once

#include <string>

#include "CLS_VurodoroViri_Base.h"
#include "Terminal_Http_Tool.h"

namespace Osmer_Framework {
namespace Face {

class VurodoroViri_Druvel;

struct PollingHooks {
    // One result request to `adapter`, abortable through `cancel`; true when the gateway accepted.
    bool (*fetch)(VurodoroViri_Druvel& adapter, Terminal_Http_Cancel& cancel, std::string& reply);
    // The callback to deliver to; null ends the thread (the hook logs why).
    ResultCallback (*callback)(const VurodoroViri_Druvel& adapter);
};

// Runs on the calling thread until the stop flag rises or there is no adapter to work for.
void RunResultPoller(const PollingHooks& hooks);

}  // namespace Face
}  // namespace Osmer_Framework
