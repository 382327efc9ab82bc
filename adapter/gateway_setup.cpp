// Gateway and terminal set-up: available terminals, listen port, initialisation settings, binding.
#include <string>

#include "CLS_VurodoroViri_Druvel.h"
#include "adapter_log.h"
#include "facepad_protocol.h"
#include "gateway_exchange.h"
#include "json_document.h"

namespace Osmer_Framework {
namespace Face {

namespace {

namespace endpoint = facepad::endpoint;
namespace field = facepad::field;

// Every setting goes out as a JSON string, even the numeric-looking ones; a key the host left out
// is inserted into its map and sent as "".
void AddInitParams(json_object* document, std::map<std::string, std::string>& params)
{
    for (const char* key : facepad::kInitParamKeys) {
        json_object_object_add(document, key, json_object_new_string(params[key].c_str()));
    }
}

}  // namespace

bool VurodoroViri_Druvel::GetAvailableFace(std::map<std::string, std::string>& /*_mapParam*/)
try {
    return Accepted("GetAvailableFace", Exchange(endpoint::kGetAvailable, std::string()));
} catch (...) {
    return false;
}

bool VurodoroViri_Druvel::SetListenPortFace(std::string& _strPort, std::string& _strReset)
try {
    std::string body;
    body.reserve(_strPort.size() + _strReset.size() + 11);
    field::AppendField(body, field::kPort, _strPort);
    field::AppendReset(body, _strReset);
    return Accepted("SetListenPortFace", Exchange(endpoint::kSetPort, body));
} catch (...) {
    return false;
}

bool VurodoroViri_Druvel::SetInitParamFace(std::map<std::string, std::string>& _mapParam)
try {
    JsonDocument document(json_object_new_object());
    if (!document) {
        VV_LOG(kLogLevelError, "VurodoroViri_Druvel::SetInitParamFace jsonData == nullptr");
        return false;
    }
    AddInitParams(document.get(), _mapParam);
    std::string body;
    field::AppendField(body, field::kInitData, std::string());
    if (!AppendSerialised(document.get(), body)) {
        return false;
    }
    const GatewayAnswer answer = Exchange(endpoint::kSetInitParam, body);
    document.reset();  // the request has gone; nothing below needs the document
    return Accepted("SetInitParamFace", answer);
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
    std::string body;
    body.reserve(_strSn.size() + 18);
    field::AppendField(body, field::kSerial, _strSn);
    field::AppendField(body, field::kChannel, std::to_string(_iChannel));
    return Accepted("BindVurodoroViri", Exchange(endpoint::kBinding, body));
} catch (...) {
    return false;
}

bool VurodoroViri_Druvel::UnBindVurodoroViri(const std::string& _strSn)
try {
    std::string body;
    field::AppendField(body, field::kSerial, _strSn);
    return Accepted("UnBindVurodoroViri", Exchange(endpoint::kUnbinding, body));
} catch (...) {
    return false;
}

}  // namespace Face
}  // namespace Osmer_Framework
