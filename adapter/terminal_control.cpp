// Terminal status and control: whether a terminal is connected, and the door command.
#include <string>

#include "CLS_VurodoroViri_Druvel.h"
#include "adapter_log.h"
#include "facepad_protocol.h"
#include "gateway_exchange.h"
#include "status_reply.h"

namespace Osmer_Framework {
namespace Face {

namespace {

namespace endpoint = facepad::endpoint;
using facepad::BuildBody;
using facepad::EndpointOf;

constexpr const char* kNoStatusList =
    "VurodoroViri_Druvel::GetTerminalStatusFace jsonData array is nullptr";
// A bare "[]" list shares its log line with a refused status.
constexpr const char* kBareEmptyList =
    "VurodoroViri_Druvel::GetTerminalStatusFace Call GetLastPostStatus ret false";

}  // namespace

bool VurodoroViri_Druvel::GetTerminalStatusFace(const std::string& _strSn)
try {
    constexpr const facepad::Endpoint& kStatus = EndpointOf(endpoint::kGetTerminalStatus);
    std::string reply;
    if (!Exchange(kStatus, BuildBody(kStatus.body, {_strSn}), FailureLog::Written, &reply)) {
        return false;
    }
    switch (ReadStatusReply(reply)) {
    case StatusReading::Connected:
        return true;
    case StatusReading::NotConnected:
        return false;
    case StatusReading::BareEmptyList:
        VV_LOG(kLogLevelError, kBareEmptyList);
        return false;
    case StatusReading::NoList:
        VV_LOG(kLogLevelError, kNoStatusList);
        return false;
    }
    return false;
} catch (...) {
    return false;
}

// The only command the adapter sends is the unlock; the three trailing texts belong to the host
// interface and have no field at the gateway.
bool VurodoroViri_Druvel::ControlDeviceFace(const std::string& _strId, const std::string& _strSn,
                                            const std::string& /*_strArg1*/,
                                            const std::string& /*_strArg2*/,
                                            const std::string& /*_strArg3*/)
try {
    constexpr const facepad::Endpoint& kControl = EndpointOf(endpoint::kControlDevice);
    const std::string body =
        BuildBody(kControl.body, {_strSn, _strId, facepad::field::kUnlockCommand, ""});
    return Exchange(kControl, body, FailureLog::Written);
} catch (...) {
    return false;
}

}  // namespace Face
}  // namespace Osmer_Framework
