// Terminal status and control: whether a terminal is connected, and the door command.
#include <cstddef>
#include <string>

#include "CLS_VurodoroViri_Druvel.h"
#include "adapter_log.h"
#include "facepad_protocol.h"
#include "gateway_exchange.h"
#include "json_document.h"

namespace Osmer_Framework {
namespace Face {

namespace {

constexpr const char* kStatusOperation = "GetTerminalStatusFace";
constexpr const char* kNoStatusList =
    "VurodoroViri_Druvel::GetTerminalStatusFace jsonData array is nullptr";
// A bare "[]" list shares its log line with a refused status.
constexpr const char* kBareEmptyList =
    "VurodoroViri_Druvel::GetTerminalStatusFace Call GetLastPostStatus ret false";

// What a status reply says. Kept apart from the answer so that the log line is chosen from it.
enum class StatusReading { Connected, NotConnected, BareEmptyList, NoList };

// Elements report "connstatus" above 0 when connected; 0, negative or missing means not.
StatusReading ReadStatusList(json_object* list)
{
    const std::size_t count = json_object_array_length(list);
    for (std::size_t i = 0; i < count; ++i) {
        if (json_object_get_field_int(json_object_array_get_idx(list, i), "connstatus", -1) > 0) {
            return StatusReading::Connected;
        }
    }
    return StatusReading::NotConnected;
}

// The list follows the first "Data" after exactly one separator character (the reply is not
// parsed as a whole). Anything after the list's first complete value is ignored.
StatusReading ReadStatusReply(const std::string& reply)
{
    const std::size_t word = reply.find("Data");
    if (word == std::string::npos) {
        return StatusReading::NoList;
    }
    const std::size_t listStart = word + 5;
    if (listStart >= reply.size()) {
        return StatusReading::NoList;
    }
    if (reply.compare(listStart, 2, "[]") == 0) {
        return StatusReading::BareEmptyList;
    }
    JsonDocument list(json_tokener_parse(reply.c_str() + listStart));
    if (!list || !json_object_is_type(list.get(), json_type_array)) {
        return StatusReading::NoList;
    }
    return ReadStatusList(list.get());
}

}  // namespace

bool VurodoroViri_Druvel::GetTerminalStatusFace(const std::string& _strSn)
try {
    std::string reply;
    if (!Accepted(kStatusOperation,
                  Exchange(facepad::endpoint::kGetTerminalStatus, "SN=" + _strSn, reply))) {
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
    std::string body;
    body.reserve(_strSn.size() + _strId.size() + 27);
    body.append("SN=").append(_strSn).append("\tid=").append(_strId).append(
        "\tcmd=AC_UNLOCK\tdata=");
    return Accepted("ControlDeviceFace", Exchange(facepad::endpoint::kControlDevice, body));
} catch (...) {
    return false;
}

}  // namespace Face
}  // namespace Osmer_Framework
