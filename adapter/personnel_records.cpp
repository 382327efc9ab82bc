// Personnel records on a terminal: users and their biometric photos. All four operations send one
// small JSON document built from the host's map; they differ only in the table below.
#include <algorithm>
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
    const std::string* mapKeys;              // the members' names, as the host's map holds them
    const std::size_t* inKeyOrder;           // the members' indexes, sorted by those keys
    std::size_t memberCount;
};

namespace {

using facepad::member::Kind;
namespace member = facepad::member;
namespace endpoint = facepad::endpoint;

constexpr std::size_t kMostMembers = 7;

static_assert(std::size(member::kUser) <= kMostMembers && std::size(member::kPhoto) <= kMostMembers,
              "kMostMembers must hold the longest record");

// Made once, when the library loads: building each key from its name on every call, and finding
// it from the map's root, were a tenth of AddUser's own instructions. Short names, so nothing here
// allocates.
template <std::size_t N>
struct MapKeys {
    explicit MapKeys(const member::Member (&members)[N])
    {
        for (std::size_t i = 0; i < N; ++i) {
            keys[i] = members[i].name;
            inKeyOrder[i] = i;
        }
        std::sort(inKeyOrder.begin(), inKeyOrder.end(),
                  [this](std::size_t a, std::size_t b) { return keys[a] < keys[b]; });
    }
    std::array<std::string, N> keys;
    std::array<std::size_t, N> inKeyOrder{};
};

const MapKeys<std::size(member::kUser)> kUserKeys(member::kUser);
const MapKeys<std::size(member::kPhoto)> kPhotoKeys(member::kPhoto);
const MapKeys<std::size(member::kPinOnly)> kPinOnlyKeys(member::kPinOnly);

template <std::size_t N>
RecordCommand CommandOf(const char* path, const member::Member (&members)[N],
                        const MapKeys<N>& keys)
{
    return RecordCommand{facepad::EndpointOf(path), members, keys.keys.data(),
                         keys.inKeyOrder.data(), N};
}

const RecordCommand kAddUser = CommandOf(endpoint::kAddUser, member::kUser, kUserKeys);
const RecordCommand kDelUser = CommandOf(endpoint::kDelUser, member::kPinOnly, kPinOnlyKeys);
const RecordCommand kSetBiophoto = CommandOf(endpoint::kSetBioPhoto, member::kPhoto, kPhotoKeys);
const RecordCommand kDelBiophoto =
    CommandOf(endpoint::kDelBioPhoto, member::kPinOnly, kPinOnlyKeys);

// Integers take atoi's reading of the text ("12abc" is 12, "" is 0); everything else stays text.
json_object* NewMemberValue(Kind kind, const std::string& text)
{
    return kind == Kind::Integer ? json_object_new_int(std::atoi(text.c_str()))
                                 : json_object_new_string(text.c_str());
}

// Reads every key first, as the map's subscript does (an absent key is inserted with an empty
// value), then creates all values, then adds them in table order. Only the map reads can throw,
// and no value exists yet then, so nothing can leak.
void FillRecord(json_object* document, const RecordCommand& command,
                std::map<std::string, std::string>& record)
{
    std::array<const std::string*, kMostMembers> texts{};
    // In key order, each key is looked for first just past the one before: two comparisons
    // instead of a walk from the root. A wrong guess only costs that walk.
    auto next = record.begin();
    for (std::size_t k = 0; k < command.memberCount; ++k) {
        const std::size_t i = command.inKeyOrder[k];
        const auto found = record.try_emplace(next, command.mapKeys[i]);
        texts[i] = &found->second;
        next = std::next(found);
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
