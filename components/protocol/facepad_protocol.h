// The gateway protocol, owned by the adapter and shared with the simulator and the command-line
// tool: endpoint paths, body field names, the members of every JSON document, reply key words and
// the result codes the simulator reports. The adapter sends what this table says, so a renamed
// endpoint or member cannot drift between the three. (The tests keep their own literal strings as
// the independent check.)
#pragma once

#include <cstddef>
#include <string>

namespace facepad {

// Endpoint paths, without the leading "/" (the adapter posts to base URL ":" port "/" path).
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

// Appends `name`, "=" and `value` to `body`, after one separator unless it is the first field.
// Values go in byte for byte.
inline void AppendField(std::string& body, const char* name, const std::string& value)
{
    if (!body.empty()) {
        body += kSeparator;
    }
    body.append(name).append(1, '=').append(value);
}

// The "reset" field takes its value with no "=" between them: that is how the gateway reads it.
inline void AppendReset(std::string& body, const std::string& value)
{
    body.append(1, kSeparator).append(kReset).append(value);
}
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

// A short English description of a result code, for people reading results.
inline std::string DescribeResultCode(const std::string& code)
{
    if (code == result_code::kDone) {
        return "done";
    }
    if (code == result_code::kTerminalNotBound) {
        return "terminal not bound";
    }
    if (code == result_code::kTerminalOffline) {
        return "terminal not connected";
    }
    if (code == result_code::kUserUnknown) {
        return "no such user";
    }
    if (code == result_code::kPhotoUnknown) {
        return "no biometric photo";
    }
    if (code == result_code::kInvalidValue) {
        return "invalid value";
    }
    return "unknown code";
}

// Simulator defaults.
inline constexpr int kDefaultPort = 10001;
inline constexpr char kDefaultHost[] = "127.0.0.1";
inline constexpr std::size_t kDefaultPayloadCap = 32u * 1024u * 1024u;  // multi-megabyte photos

}  // namespace facepad
