// Gateway and terminal set-up: available terminals, listen port, initialisation settings, binding.
#include <string>

#include "CLS_VurodoroViri_Druvel.h"
#include "adapter_log.h"
#include "command_document.h"
#include "facepad_protocol.h"
#include "gateway_exchange.h"
#include "json_document.h"

namespace Osmer_Framework {
namespace Face {

namespace {

namespace endpoint = facepad::endpoint;
using facepad::BuildBody;
using facepad::EndpointOf;

// Every setting goes out as a JSON string, even the numeric-looking ones; a key the host left out
// is inserted into its map and sent as "".
void AddInitParams(json_object* document, std::map<std::string, std::string>& params)
{
    for (const char* key : facepad::kInitParamKeys) {
        AddMember(document, key, json_object_new_string(params[key].c_str()));
    }
}

}  // namespace

bool VurodoroViri_Druvel::GetAvailableFace(std::map<std::string, std::string>& /*_mapParam*/)
try {
    constexpr const facepad::Endpoint& kGetAvailable = EndpointOf(endpoint::kGetAvailable);
    return Exchange(kGetAvailable, std::string(), FailureLog::Written);
} catch (...) {
    return false;
}

bool VurodoroViri_Druvel::SetListenPortFace(std::string& _strPort, std::string& _strReset)
try {
    constexpr const facepad::Endpoint& kSetPort = EndpointOf(endpoint::kSetPort);
    return Exchange(kSetPort, BuildBody(kSetPort.body, {_strPort, _strReset}), FailureLog::Written);
} catch (...) {
    return false;
}

bool VurodoroViri_Druvel::SetInitParamFace(std::map<std::string, std::string>& _mapParam)
try {
    JsonDocument document(NewCommandDocument());
    if (!document) {
        VV_LOG(kLogLevelError, "VurodoroViri_Druvel::SetInitParamFace jsonData == nullptr");
        return false;
    }
    AddInitParams(document.get(), _mapParam);
    constexpr const facepad::Endpoint& kSetInitParam = EndpointOf(endpoint::kSetInitParam);
    std::size_t length = 0;
    const char* text = SerialisedText(document.get(), length);
    if (text == nullptr) {
        return false;
    }
    const std::string body = BuildBody(kSetInitParam.body, {std::string_view(text, length)});
    return Exchange(kSetInitParam, body, FailureLog::Written);
} catch (...) {
    return false;
}

// The four trailing texts belong to the host interface; the gateway has no field for them.
bool VurodoroViri_Druvel::BindVurodoroViri(const std::string& _strSn, const int& _iChannel,
                                           const std::string& /*_strArg1*/,
                                           const std::string& /*_strArg2*/,
                                           const std::string& /*_strArg3*/,
                                           const std::string& /*_strArg4*/)
try {
    constexpr const facepad::Endpoint& kBinding = EndpointOf(endpoint::kBinding);
    return Exchange(kBinding, BuildBody(kBinding.body, {_strSn, std::to_string(_iChannel)}),
                    FailureLog::Written);
} catch (...) {
    return false;
}

bool VurodoroViri_Druvel::UnBindVurodoroViri(const std::string& _strSn)
try {
    constexpr const facepad::Endpoint& kUnbinding = EndpointOf(endpoint::kUnbinding);
    return Exchange(kUnbinding, BuildBody(kUnbinding.body, {_strSn}), FailureLog::Written);
} catch (...) {
    return false;
}

}  // namespace Face
}  // namespace Osmer_Framework
