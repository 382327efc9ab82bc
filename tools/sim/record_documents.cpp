#include "record_documents.h"

#include <vector>

#include "facepad_protocol.h"
#include "json_value.h"

namespace facepad::sim {

namespace {

// The layouts the adapter sends, from the shared protocol table.
template <std::size_t N>
std::vector<MemberSpec> LayoutOf(const member::Member (&members)[N])
{
    std::vector<MemberSpec> layout;
    for (const member::Member& m : members) {
        layout.push_back(
            {m.name, m.kind == member::Kind::Integer ? MemberType::Int : MemberType::String});
    }
    return layout;
}

const std::vector<MemberSpec> kUserMembers = LayoutOf(member::kUser);
const std::vector<MemberSpec> kPhotoMembers = LayoutOf(member::kPhoto);
const std::vector<MemberSpec> kPinMembers = LayoutOf(member::kPinOnly);

std::vector<MemberSpec> InitMembers()
{
    std::vector<MemberSpec> members;
    for (const char* key : kInitParamKeys) {
        members.push_back({key, MemberType::String});
    }
    return members;
}

// Parses `json` and reads `layouts` out of it; the error names `documentName`.
MemberValues ReadDocument(const std::string& json, const std::vector<MemberSpec>& layouts,
                          const std::string& documentName)
{
    const JsonParse parse = ParseWholeJson(json);
    if (!parse.error.empty()) {
        MemberValues failed;
        failed.error = documentName + " is not JSON: " + parse.error;
        return failed;
    }
    return ReadMembers(parse.value.get(), layouts, documentName);
}

}  // namespace

Decoded<UserRecord> DecodeUserRecord(const std::string& json)
{
    Decoded<UserRecord> decoded;
    MemberValues v = ReadDocument(json, kUserMembers, "user record");
    if (!v.error.empty()) {
        decoded.error = v.error;
        return decoded;
    }
    decoded.value =
        UserRecord{v.strings[member::kPin],     v.strings[member::kName], v.ints[member::kPri],
                   v.strings[member::kPasswd],  v.ints[member::kVerify],  v.strings[member::kCard],
                   v.strings[member::kViceCard]};
    return decoded;
}

Decoded<PhotoRecord> DecodePhotoRecord(const std::string& json)
{
    Decoded<PhotoRecord> decoded;
    MemberValues v = ReadDocument(json, kPhotoMembers, "photo record");
    if (!v.error.empty()) {
        decoded.error = v.error;
        return decoded;
    }
    decoded.value =
        PhotoRecord{v.strings[member::kPin],     v.ints[member::kType],   v.ints[member::kSize],
                    v.strings[member::kContent], v.strings[member::kUrl], v.ints[member::kFormat]};
    return decoded;
}

Decoded<std::string> DecodePinDocument(const std::string& json)
{
    Decoded<std::string> decoded;
    MemberValues v = ReadDocument(json, kPinMembers, "pin document");
    decoded.error = v.error;
    decoded.value = v.strings[member::kPin];
    return decoded;
}

Decoded<std::map<std::string, std::string>> DecodeInitParams(const std::string& json)
{
    Decoded<std::map<std::string, std::string>> decoded;
    MemberValues v = ReadDocument(json, InitMembers(), "init settings");
    decoded.error = v.error;
    if (v.error.empty()) {
        decoded.value = std::move(v.strings);
    }
    return decoded;
}

}  // namespace facepad::sim
