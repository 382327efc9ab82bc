// The adapter's side of result polling: the thread's body, which lends the loop in results/ the
// two things it needs of this class, the callback setter and the parse member hosts may call.
#include "CLS_VurodoroViri_Druvel.h"
#include "adapter_log.h"
#include "facepad_protocol.h"
#include "gateway_exchange.h"
#include "poll_record.h"
#include "result_parser.h"
#include "result_poller.h"

namespace Osmer_Framework {
namespace Face {

void VurodoroViri_Druvel::SlotTimerTimeout()
{
    PollingHooks hooks{};
    // Abortable through the thread's token; no log line, a failed poll is simply tried again.
    hooks.fetch = [](VurodoroViri_Druvel& adapter, Terminal_Http_Cancel& cancel,
                     std::string& reply) {
        const GatewayAnswer answer =
            adapter.Exchange(facepad::endpoint::kGetResult, std::string(), reply, &cancel);
        NotePoll(answer == GatewayAnswer::Accepted, reply);
        return answer == GatewayAnswer::Accepted;
    };
    hooks.callback = [](const VurodoroViri_Druvel& adapter) {
        const ResultCallback callback = adapter.m_pResultCallback.load();
        if (callback == nullptr) {
            VV_LOG(kLogLevelError, "SlotTimerTimeout pResultCallback == nullptr");
        }
        return callback;
    };
    RunResultPoller(hooks);
}

bool VurodoroViri_Druvel::SetResultCallbackFace(
    int (*_pResultCallback)(std::map<std::string, std::map<std::string, std::string>>&))
{
    if (_pResultCallback == nullptr) {
        VV_LOG(kLogLevelError,
               "VurodoroViri_Druvel::SetResultCallbackFace _pResultCallback == nullptr");
        return false;
    }
    m_pResultCallback.store(_pResultCallback);
    return true;
}

// The member hosts call; the polling thread calls the parser directly, with a stop check.
bool VurodoroViri_Druvel::JsonDataToMapData(
    const std::string& _strJson,
    std::map<std::string, std::map<std::string, std::string>>& _mapResult)
{
    return ParseResultList(_strJson.c_str(), _mapResult, nullptr) == ParseOutcome::Parsed;
}

}  // namespace Face
}  // namespace Osmer_Framework
