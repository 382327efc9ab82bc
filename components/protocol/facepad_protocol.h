// The gateway protocol, owned by the adapter and shared with the simulator and the command-line
// tool: the endpoints (path, body fields, the reply list read), the members of every JSON
// document, reply key words and the result codes the simulator reports. The adapter sends what
// this table says and the simulator serves what it lists, so an endpoint, a field or a member
// cannot drift between them; docs/reference.md is checked against it. (The tests keep their own
// literal strings as the independent check.)
#pragma once

#include <algorithm>
#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>

namespace facepad {

// Endpoint paths, without the leading "/" (the adapter posts to base URL ":" port "/" path). Each
// has its row in kEndpoints below.
namespace endpoint {
inline constexpr char kGetAvailable[] = "facepad/getavailable";
inline constexpr char kSetPort[] = "facepad/setport";
inline constexpr char kSetInitParam[] = "facepad/setinitparam";
inline constexpr char kBinding[] = "facepad/binding";
inline constexpr char kUnbinding[] = "facepad/unbinding";
inline constexpr char kAddUser[] = "facepad/adduser";
inline constexpr char kDelUser[] = "facepad/deluser";
inline constexpr char kSetBioPhoto[] = "facepad/setbiophoto";
inline constexpr char kDelBioPhoto[] = "facepad/delbiophoto";
inline constexpr char kGetResult[] = "facepad/getresult";
inline constexpr char kGetTerminalStatus[] = "facepad/getterminalstatus";
inline constexpr char kControlDevice[] = "facepad/controldevice";
}  // namespace endpoint

// Request bodies: name=value fields separated by one TAB, never URL-encoded.
namespace field {
inline constexpr char kSeparator = '\t';
inline constexpr char kSerial[] = "SN";
inline constexpr char kCommandId[] = "id";
inline constexpr char kData[] = "data";
inline constexpr char kInitData[] = "Data";  // capital D: the one body of "facepad/setinitparam"
inline constexpr char kChannel[] = "ch";
inline constexpr char kPort[] = "port";
inline constexpr char kReset[] = "reset";  // followed by its value directly, without "="
inline constexpr char kCommand[] = "cmd";
inline constexpr char kUnlockCommand[] = "AC_UNLOCK";

}  // namespace field

// The fourteen initialisation settings, in the order the adapter sends them.
inline constexpr const char* kInitParamKeys[] = {
    "type",  "AttLog", "OpLog", "AttPhoto", "EnrollUser", "ChgUser",  "EnrollFP",
    "ChgFP", "FPImag", "FACE",  "UserPic",  "WORKCODE",   "BioPhoto", "TimeOut"};
inline constexpr std::size_t kInitParamCount = sizeof kInitParamKeys / sizeof kInitParamKeys[0];

// Members of the JSON documents of the four record commands, in the order the gateway expects
// them. Integer members are sent as JSON numbers (the host's text read with atoi), the others as
// JSON strings.
namespace member {
enum class Kind { Text, Integer };
struct Member {
    const char* name;  // both the host's map key and the JSON member
    Kind kind;
};
// The names, for code that fills or reads one member by what it means.
inline constexpr char kPin[] = "pin";
inline constexpr char kName[] = "name";
inline constexpr char kPri[] = "pri";
inline constexpr char kPasswd[] = "passwd";
inline constexpr char kVerify[] = "verify";
inline constexpr char kCard[] = "card";
inline constexpr char kViceCard[] = "vicecard";
inline constexpr char kType[] = "type";
inline constexpr char kSize[] = "size";
inline constexpr char kContent[] = "content";
inline constexpr char kUrl[] = "url";
inline constexpr char kFormat[] = "format";
inline constexpr Member kUser[] = {
    {kPin, Kind::Text},       {kName, Kind::Text}, {kPri, Kind::Integer},   {kPasswd, Kind::Text},
    {kVerify, Kind::Integer}, {kCard, Kind::Text}, {kViceCard, Kind::Text},
};
inline constexpr Member kPhoto[] = {
    {kPin, Kind::Text},     {kType, Kind::Integer}, {kSize, Kind::Integer},
    {kContent, Kind::Text}, {kUrl, Kind::Text},     {kFormat, Kind::Integer},
};
// DelUser and DelBiophoto.
inline constexpr Member kPinOnly[] = {{kPin, Kind::Text}};
}  // namespace member

// Replies. The adapter does not parse a reply as a whole: it finds the first key word and reads
// the JSON list from the second character after it. The simulator therefore answers
// "result=[...]" and "Data=[...]", the same name=value shape as the request bodies.
namespace reply {
inline constexpr char kResultKeyWord[] = "result";
inline constexpr char kStatusKeyWord[] = "Data";
inline constexpr char kKeySeparator = '=';
// Members of a result-list element, of an entry in its "data" text and of a status element.
inline constexpr char kSerial[] = "SN";
inline constexpr char kEntries[] = "data";
inline constexpr char kCommandId[] = "id";
inline constexpr char kReturn[] = "return";
inline constexpr char kStatusSerial[] = "sn";
inline constexpr char kConnStatus[] = "connstatus";
// Availability elements only: whether the terminal is bound and, while it is, to which channel.
inline constexpr char kBound[] = "bound";
inline constexpr char kChannel[] = "ch";
}  // namespace reply

// For constant expressions: pointers to different objects compare in none under sanitizers, so
// names are compared by text.
constexpr bool SameText(const char* a, const char* b)
{
    while (*a != '\0' && *a == *b) {
        ++a;
        ++b;
    }
    return *a == *b;
}

// One field of a request body.
struct Field {
    const char* name;
    bool withEquals = true;  // "reset" is followed by its value directly
};

// The fields of one body, in the order the gateway reads them; none: the body is empty.
class FieldList {
public:
    constexpr FieldList() = default;
    // Not explicit: a table row names its field array as it is.
    template <std::size_t N>
    constexpr FieldList(const Field (&fields)[N]) : m_first(fields), m_count(N)
    {
    }
    constexpr const Field* begin() const { return m_first; }
    constexpr const Field* end() const { return m_first + m_count; }
    constexpr std::size_t size() const { return m_count; }

private:
    const Field* m_first = nullptr;
    std::size_t m_count = 0;
};

namespace body {
inline constexpr Field kRecord[] = {{field::kSerial}, {field::kCommandId}, {field::kData}};
inline constexpr Field kSerialOnly[] = {{field::kSerial}};
inline constexpr Field kBinding[] = {{field::kSerial}, {field::kChannel}};
inline constexpr Field kListenPort[] = {{field::kPort}, {field::kReset, false}};
inline constexpr Field kInitParams[] = {{field::kInitData}};
inline constexpr Field kDeviceCommand[] = {
    {field::kSerial}, {field::kCommandId}, {field::kCommand}, {field::kData}};
}  // namespace body

// One endpoint of the gateway. The simulator serves exactly these, and docs/reference.md lists
// them in this order.
struct Endpoint {
    const char* path;
    const char* sentBy;     // the adapter's operation that posts it
    FieldList body;         // what its body holds
    const char* replyList;  // the key word of the list the adapter reads; null: none
};

inline constexpr Endpoint kEndpoints[] = {
    {endpoint::kGetAvailable, "GetAvailableFace", {}, nullptr},
    {endpoint::kSetPort, "SetListenPortFace", body::kListenPort, nullptr},
    {endpoint::kSetInitParam, "SetInitParamFace", body::kInitParams, nullptr},
    {endpoint::kBinding, "BindVurodoroViri", body::kBinding, nullptr},
    {endpoint::kUnbinding, "UnBindVurodoroViri", body::kSerialOnly, nullptr},
    {endpoint::kAddUser, "AddUser", body::kRecord, nullptr},
    {endpoint::kDelUser, "DelUser", body::kRecord, nullptr},
    {endpoint::kSetBioPhoto, "SetBiophoto", body::kRecord, nullptr},
    {endpoint::kDelBioPhoto, "DelBiophoto", body::kRecord, nullptr},
    {endpoint::kGetResult, "the polling thread", {}, reply::kResultKeyWord},
    {endpoint::kGetTerminalStatus, "GetTerminalStatusFace", body::kSerialOnly,
     reply::kStatusKeyWord},
    {endpoint::kControlDevice, "ControlDeviceFace", body::kDeviceCommand, nullptr},
};

// A body of `fields` holding `values` in the same order, each value byte for byte; a value left
// out leaves its field empty.
inline std::string BuildBody(const FieldList& fields,
                             std::initializer_list<std::string_view> values)
{
    // Sized first and written in place: a body is built per request.
    std::size_t size = fields.size() > 0 ? fields.size() - 1 : 0;  // the separators
    const std::string_view* value = values.begin();
    for (const Field& each : fields) {
        size += std::char_traits<char>::length(each.name) + (each.withEquals ? 1 : 0) +
                (value != values.end() ? (value++)->size() : 0);
    }
    std::string body(size, field::kSeparator);
    char* out = body.data();
    value = values.begin();
    for (const Field& each : fields) {
        if (&each != fields.begin()) {
            ++out;  // the separator is there already
        }
        const std::size_t nameLength = std::char_traits<char>::length(each.name);
        out = std::copy(each.name, each.name + nameLength, out);
        if (each.withEquals) {
            *out++ = '=';
        }
        if (value != values.end()) {
            out = std::copy(value->begin(), value->end(), out);
            ++value;
        }
    }
    return body;
}

// The row of `path`; at compile time an unknown path does not compile.
constexpr const Endpoint& EndpointOf(const char* path)
{
    for (const Endpoint& row : kEndpoints) {
        if (SameText(row.path, path)) {
            return row;
        }
    }
    throw "no such endpoint";
}

// The "return" text of a result entry: "0" when the terminal carried the command out, a negative
// code when it could not. Requests the gateway cannot read at all get an HTTP error instead and
// produce no result entry.
namespace result_code {
inline constexpr char kDone[] = "0";
inline constexpr char kTerminalNotBound[] = "-1001";  // unknown serial, or not bound
inline constexpr char kTerminalOffline[] = "-1002";   // bound, but not connected to the gateway
inline constexpr char kUserUnknown[] = "-1003";       // no user with that pin on the terminal
inline constexpr char kPhotoUnknown[] = "-1004";      // the user has no biometric photo
inline constexpr char kInvalidValue[] = "-1005";      // e.g. an empty pin, a photo without content
}  // namespace result_code

struct ResultCode {
    const char* code;
    const char* meaning;  // a short English description, for people reading results
};
// Every code the simulator reports, in the order docs/reference.md lists them.
inline constexpr ResultCode kResultCodes[] = {
    {result_code::kDone, "done"},
    {result_code::kTerminalNotBound, "terminal not bound"},
    {result_code::kTerminalOffline, "terminal not connected"},
    {result_code::kUserUnknown, "no such user"},
    {result_code::kPhotoUnknown, "no biometric photo"},
    {result_code::kInvalidValue, "invalid value"},
};

inline std::string DescribeResultCode(const std::string& code)
{
    for (const ResultCode& known : kResultCodes) {
        if (code == known.code) {
            return known.meaning;
        }
    }
    return "unknown code";
}

// Simulator defaults.
inline constexpr int kDefaultPort = 10001;
inline constexpr char kDefaultHost[] = "127.0.0.1";
inline constexpr std::size_t kDefaultPayloadCap = 32u * 1024u * 1024u;  // multi-megabyte photos

}  // namespace facepad
