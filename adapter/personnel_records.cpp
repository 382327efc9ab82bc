// Personnel records on a terminal: users and their biometric photos. All four operations send one
// small JSON document built from the host's map; they differ only in the table below.
#include <array>
#include <cstddef>
#include <cstdlib>
#include <iterator>
#include <string>

#include "CLS_VurodoroViri_Druvel.h"
#include "adapter_log.h"
#include "command_document.h"
#include "facepad_protocol.h"
#include "gateway_exchange.h"
#include "json_document.h"

namespace Osmer_Framework {
namespace Face {

// One record operation: what differs between the four is data, not code.
struct RecordCommand {
    const facepad::Endpoint& endpoint;       // its row names the operation in its log line
    const facepad::member::Member* members;  // in the order the gateway expects them
    std::size_t memberCount;
};

namespace {

using facepad::member::Kind;
namespace member = facepad::member;
namespace endpoint = facepad::endpoint;

constexpr std::size_t kMostMembers = 7;

static_assert(std::size(member::kUser) <= kMostMembers && std::size(member::kPhoto) <= kMostMembers,
              "kMostMembers must hold the longest record");

constexpr RecordCommand kAddUser{facepad::EndpointOf(endpoint::kAddUser), member::kUser,
                                 std::size(member::kUser)};
constexpr RecordCommand kDelUser{facepad::EndpointOf(endpoint::kDelUser), member::kPinOnly,
                                 std::size(member::kPinOnly)};
constexpr RecordCommand kSetBiophoto{facepad::EndpointOf(endpoint::kSetBioPhoto), member::kPhoto,
                                     std::size(member::kPhoto)};
constexpr RecordCommand kDelBiophoto{facepad::EndpointOf(endpoint::kDelBioPhoto), member::kPinOnly,
                                     std::size(member::kPinOnly)};

// Integers take atoi's reading of the text ("12abc" is 12, "" is 0); everything else stays text.
json_object* NewMemberValue(Kind kind, const std::string& text)
{
    return kind == Kind::Integer ? json_object_new_int(std::atoi(text.c_str()))
                                 : json_object_new_string(text.c_str());
}

// Reads every key first (absent ones are inserted into the host's map), then creates all values,
// then adds them in table order. Only the map reads can throw, and no value exists yet then, so
// nothing can leak.
void FillRecord(json_object* document, const RecordCommand& command,
                std::map<std::string, std::string>& record)
{
    std::array<const std::string*, kMostMembers> texts{};
    for (std::size_t i = 0; i < command.memberCount; ++i) {
        texts[i] = &record[command.members[i].name];
    }
    std::array<json_object*, kMostMembers> values{};
    for (std::size_t i = 0; i < command.memberCount; ++i) {
        values[i] = NewMemberValue(command.members[i].kind, *texts[i]);
    }
    for (std::size_t i = 0; i < command.memberCount; ++i) {
        AddMember(document, command.members[i].name, values[i]);
    }
}

}  // namespace

// A failed exchange is reported by the result alone: these operations log only a document that
// cannot be created.
bool VurodoroViri_Druvel::SendRecordCommand(const RecordCommand& _command,
                                            const std::string& _strId, const std::string& _strSn,
                                            std::map<std::string, std::string>& _mapRecord)
try {
    JsonDocument document(NewCommandDocument());
    if (!document) {
        VV_LOG(kLogLevelError, std::string("VurodoroViri_Druvel::") + _command.endpoint.sentBy +
                                   " jsonData == nullptr");
        return false;
    }
    FillRecord(document.get(), _command, _mapRecord);
    std::size_t length = 0;
    const char* text = SerialisedText(document.get(), length);
    if (text == nullptr) {
        return false;
    }
    // GetFullPostParam's body, with the text copied once, straight out of json-c's buffer.
    const std::string body = facepad::BuildBody(facepad::body::kRecord,
                                                {_strSn, _strId, std::string_view(text, length)});
    return Exchange(_command.endpoint, body, FailureLog::None);
} catch (...) {
    return false;
}

bool VurodoroViri_Druvel::AddUser(const std::string& _strId, const std::string& _strSn,
                                  std::map<std::string, std::string>& _mapUser)
{
    return SendRecordCommand(kAddUser, _strId, _strSn, _mapUser);
}

bool VurodoroViri_Druvel::DelUser(const std::string& _strId, const std::string& _strSn,
                                  std::map<std::string, std::string>& _mapUser)
{
    return SendRecordCommand(kDelUser, _strId, _strSn, _mapUser);
}

bool VurodoroViri_Druvel::SetBiophoto(const std::string& _strId, const std::string& _strSn,
                                      std::map<std::string, std::string>& _mapPhoto)
{
    return SendRecordCommand(kSetBiophoto, _strId, _strSn, _mapPhoto);
}

bool VurodoroViri_Druvel::DelBiophoto(const std::string& _strId, const std::string& _strSn,
                                      std::map<std::string, std::string>& _mapPhoto)
{
    return SendRecordCommand(kDelBiophoto, _strId, _strSn, _mapPhoto);
}

}  // namespace Face
}  // namespace Osmer_Framework
