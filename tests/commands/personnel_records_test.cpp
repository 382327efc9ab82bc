// Users and biometric photos: the JSON documents they send and what they do to the host's map.
#include "adapter_fixture.h"
#include "json_members.h"

namespace vvtest {
namespace {

using Members = std::vector<std::string>;
struct RecordEndpoint {
    bool (VurodoroViri_Druvel::*operation)(const std::string&, const std::string&, ParamMap&);
    const char* path;
};

const RecordEndpoint kAddUser{&VurodoroViri_Druvel::AddUser, "facepad/adduser"};
const RecordEndpoint kDelUser{&VurodoroViri_Druvel::DelUser, "facepad/deluser"};
const RecordEndpoint kSetBiophoto{&VurodoroViri_Druvel::SetBiophoto, "facepad/setbiophoto"};
const RecordEndpoint kDelBiophoto{&VurodoroViri_Druvel::DelBiophoto, "facepad/delbiophoto"};

class PersonnelRecordsTest : public AdapterTest {
protected:
    // The members of the document in the last request to `path`, after the general fields.
    Members SentMembers(const std::string& path, const std::string& prefix = "SN=T1\tid=17\tdata=")
    {
        const auto requests = gateway->RequestsTo(path);
        return requests.empty() ? Members{} : MembersOf(AfterPrefix(requests.back().body, prefix));
    }
};

// Members go in the gateway's order whatever the map's; absent keys are inserted as "" and sent as
// "" or 0; other keys stay in the map unsent. Serial and identifier go raw, the identifier second.
TEST_F(PersonnelRecordsTest, EachRecordSendsItsMembersInOrder)
{
    struct Case {
        RecordEndpoint endpoint;
        ParamMap record;
        Members sent;
    };
    const ParamMap fullUser{{"pin", "007"},     {"name", "Ann \"A\" \\ B"}, {"pri", "14"},
                            {"passwd", "123"},  {"verify", "-2"},           {"card", "C9"},
                            {"vicecard", "V8"}, {"dept", "R&D=1"}};
    const ParamMap fullPhoto{
        {"format", "3"}, {"url", "http://h/p.jpg"}, {"content", "QUJD"}, {"size", "999"},
        {"type", "9"},   {"pin", "0042"},           {"note", "keep"}};
    const ParamMap pinAndMore{{"pin", "007"}, {"type", "9"}, {"name", "Ann"}};
    const Case cases[] = {
        {kAddUser,
         fullUser,
         {"pin=\"007\"", "name=\"Ann \"A\" \\ B\"", "pri=14", "passwd=\"123\"", "verify=-2",
          "card=\"C9\"", "vicecard=\"V8\""}},
        {kAddUser,
         {},
         {"pin=\"\"", "name=\"\"", "pri=0", "passwd=\"\"", "verify=0", "card=\"\"",
          "vicecard=\"\""}},
        // "size" goes out as given: the adapter never measures "content".
        {kSetBiophoto,
         fullPhoto,
         {"pin=\"0042\"", "type=9", "size=999", "content=\"QUJD\"", "url=\"http://h/p.jpg\"",
          "format=3"}},
        {kSetBiophoto,
         {},
         {"pin=\"\"", "type=0", "size=0", "content=\"\"", "url=\"\"", "format=0"}},
        {kDelUser, pinAndMore, {"pin=\"007\""}},
        {kDelBiophoto, pinAndMore, {"pin=\"007\""}},
        {kDelUser, {}, {"pin=\"\""}},
        {kDelBiophoto, {}, {"pin=\"\""}},
        {kDelUser, {{"pin", std::string("ab\0cd", 5)}}, {"pin=\"ab\""}},  // cut at the NUL
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.endpoint.path) + " of " + std::to_string(c.record.size()));
        ParamMap record = c.record;
        EXPECT_TRUE((adapter.get()->*c.endpoint.operation)("a&b", "S\tN=x", record));
        EXPECT_EQ(SentMembers(c.endpoint.path, "SN=S\tN=x\tid=a&b\tdata="), c.sent);
        ParamMap after = c.record;
        for (const std::string& member : c.sent) {
            after.emplace(member.substr(0, member.find('=')), "");
        }
        EXPECT_EQ(record, after);
    }
    EXPECT_TRUE(log->Messages().empty());
}

// One writer serves every integer member, of users and photos alike.
TEST_F(PersonnelRecordsTest, IntegerMembersTakeAtoisReadingOfTheText)
{
    const std::pair<std::string, int> cases[] = {{"12abc", 12},
                                                 {" -3", -3},
                                                 {"+5", 5},
                                                 {"abc", 0},
                                                 {"", 0},
                                                 {"0x1F", 0},
                                                 {"2147483647", 2147483647},
                                                 {std::string("4\0009", 3), 4}};  // a NUL, then 9
    for (const auto& [text, sent] : cases) {
        ParamMap user{{"pri", text}, {"verify", text}};
        ASSERT_TRUE(adapter->AddUser("17", "T1", user));
        const std::string n = std::to_string(sent);
        EXPECT_EQ(SentMembers("facepad/adduser"),
                  (Members{"pin=\"\"", "name=\"\"", "pri=" + n, "passwd=\"\"", "verify=" + n,
                           "card=\"\"", "vicecard=\"\""}))
            << text;
        EXPECT_EQ(user["pri"], text);  // the host's text is read, never rewritten
    }
}

// The document is written in one piece, byte for byte as json-c writes it: every escape, every
// other byte, short and long texts, a small document (written apart) and large ones (the largest
// measured first), the members after them.
TEST_F(PersonnelRecordsTest, TheDocumentGoesOutAsJsonCWritesIt)
{
    for (const int bytes : {40, 300, 70000}) {
        std::string content;
        for (int i = 0; i < bytes; ++i) {
            content += static_cast<char>(1 + i % 255);
        }
        ParamMap photo{
            {"pin", "1"}, {"content", content}, {"url", std::string(bytes > 40 ? 9000 : 9, '/')}};
        ASSERT_TRUE(adapter->SetBiophoto("17", "T1", photo));
        json_object* document = json_object_new_object();
        for (const char* name : {"pin", "type", "size", "content", "url", "format"}) {
            const bool integer = photo[name].empty();  // type, size, format
            json_object_object_add(
                document, name,
                integer ? json_object_new_int(0) : json_object_new_string(photo[name].c_str()));
        }
        EXPECT_TRUE(gateway->RequestsTo("facepad/setbiophoto").back().body ==
                    std::string("SN=T1\tid=17\tdata=") + json_object_to_json_string(document))
            << bytes;
        json_object_put(document);
    }
}

}  // namespace
}  // namespace vvtest
