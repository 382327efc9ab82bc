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

constexpr const char* kStatusOperation = "GetTerminalStatusFace";
constexpr const char* kNoStatusList =
    "VurodoroViri_Druvel::GetTerminalStatusFace jsonData array is nullptr";
// A bare "[]" list shares its log line with a refused status.
constexpr const char* kBareEmptyList =
    "VurodoroViri_Druvel::GetTerminalStatusFace Call GetLastPostStatus ret false";

}  // namespace

bool VurodoroViri_Druvel::GetTerminalStatusFace(const std::string& _strSn)
try {
    std::string body;
    facepad::field::AppendField(body, facepad::field::kSerial, _strSn);
    std::string reply;
    if (!Accepted(kStatusOperation, Exchange(facepad::endpoint::kGetTerminalStatus, body, reply))) {
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
    namespace field = facepad::field;
    std::string body;
    body.reserve(_strSn.size() + _strId.size() + 27);
    field::AppendField(body, field::kSerial, _strSn);
    field::AppendField(body, field::kCommandId, _strId);
    field::AppendField(body, field::kCommand, field::kUnlockCommand);
    field::AppendField(body, field::kData, std::string());
    return Accepted("ControlDeviceFace", Exchange(facepad::endpoint::kControlDevice, body));
} catch (...) {
    return false;
}

}  // namespace Face
}  // namespace Osmer_Framework
