// Users and biometric photos: the JSON documents they send, what they do to the host's map and how
// they report a refused or failed request (by the result alone).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "adapter_fixture.h"
#include "json_members.h"

namespace vvtest {
namespace {

using Members = std::vector<std::string>;
using RecordOperation = bool (VurodoroViri_Druvel::*)(const std::string&, const std::string&,
                                                      ParamMap&);

struct RecordEndpoint {
    const char* name;
    RecordOperation operation;
    const char* path;
};

const RecordEndpoint kAddUser{"AddUser", &VurodoroViri_Druvel::AddUser, "facepad/adduser"};
const RecordEndpoint kDelUser{"DelUser", &VurodoroViri_Druvel::DelUser, "facepad/deluser"};
const RecordEndpoint kSetBiophoto{"SetBiophoto", &VurodoroViri_Druvel::SetBiophoto,
                                  "facepad/setbiophoto"};
const RecordEndpoint kDelBiophoto{"DelBiophoto", &VurodoroViri_Druvel::DelBiophoto,
                                  "facepad/delbiophoto"};
const RecordEndpoint kRecordEndpoints[] = {kAddUser, kDelUser, kSetBiophoto, kDelBiophoto};
const RecordEndpoint kDeletions[] = {kDelUser, kDelBiophoto};

class PersonnelRecordsTest : public AdapterTest {
protected:
    // The members of the document in the only request to `path`, after the general fields.
    Members SentMembers(const std::string& path, const std::string& sn = "T1",
                        const std::string& id = "17")
    {
        return MembersOf(AfterPrefix(OnlyBodyTo(path), "SN=" + sn + "\tid=" + id + "\tdata="));
    }
};

TEST_F(PersonnelRecordsTest, AddUserSendsTheSevenMembersInOrderAndLeavesOtherKeysAlone)
{
    ParamMap user{{"pin", "007"},     {"name", "Ann \"A\" \\ B"}, {"pri", "14"},
                  {"passwd", "123"},  {"verify", "-2"},           {"card", "C9"},
                  {"vicecard", "V8"}, {"dept", "R&D=1"}};
    const ParamMap before = user;
    EXPECT_TRUE(adapter->AddUser("17", "T1", user));
    EXPECT_EQ(SentMembers("facepad/adduser"),
              (Members{"pin=\"007\"", "name=\"Ann \"A\" \\ B\"", "pri=14", "passwd=\"123\"",
                       "verify=-2", "card=\"C9\"", "vicecard=\"V8\""}));
    EXPECT_EQ(user, before);
    EXPECT_TRUE(log->Messages().empty());
}

TEST_F(PersonnelRecordsTest, EmptyMapsSendEmptyTextsAndZerosAndGainTheKeysRead)
{
    ParamMap user;
    EXPECT_TRUE(adapter->AddUser("17", "T1", user));
    EXPECT_EQ(SentMembers("facepad/adduser"),
              (Members{"pin=\"\"", "name=\"\"", "pri=0", "passwd=\"\"", "verify=0", "card=\"\"",
                       "vicecard=\"\""}));
    EXPECT_EQ(user, (ParamMap{{"pin", ""},
                              {"name", ""},
                              {"pri", ""},
                              {"passwd", ""},
                              {"verify", ""},
                              {"card", ""},
                              {"vicecard", ""}}));

    ParamMap photo;
    EXPECT_TRUE(adapter->SetBiophoto("17", "T1", photo));
    EXPECT_EQ(SentMembers("facepad/setbiophoto"),
              (Members{"pin=\"\"", "type=0", "size=0", "content=\"\"", "url=\"\"", "format=0"}));
    EXPECT_EQ(photo, (ParamMap{{"pin", ""},
                               {"type", ""},
                               {"size", ""},
                               {"content", ""},
                               {"url", ""},
                               {"format", ""}}));

    for (const auto& endpoint : kDeletions) {
        ParamMap record;
        EXPECT_TRUE((adapter.get()->*endpoint.operation)("17", "T1", record)) << endpoint.name;
        EXPECT_EQ(SentMembers(endpoint.path), Members{"pin=\"\""}) << endpoint.name;
        EXPECT_EQ(record, (ParamMap{{"pin", ""}})) << endpoint.name;
    }
}

TEST_F(PersonnelRecordsTest, IntegerMembersTakeAtoisReadingOfTheText)
{
    struct Case {
        const char* text;
        int sent;
    };
    for (const Case& c : {Case{"12abc", 12}, Case{" -3", -3}, Case{"+5", 5}, Case{"abc", 0},
                          Case{"", 0}, Case{"0x1F", 0}, Case{"2147483647", 2147483647}}) {
        ParamMap user{{"pri", c.text}, {"verify", c.text}};
        ParamMap photo{{"type", c.text}, {"size", c.text}, {"format", c.text}};
        ASSERT_TRUE(adapter->AddUser("1", "S", user));
        ASSERT_TRUE(adapter->SetBiophoto("1", "S", photo));
        const std::string n = std::to_string(c.sent);
        const auto users = gateway->RequestsTo("facepad/adduser");
        const auto photos = gateway->RequestsTo("facepad/setbiophoto");
        const Members userMembers = MembersOf(AfterPrefix(users.back().body, "SN=S\tid=1\tdata="));
        const Members photoMembers =
            MembersOf(AfterPrefix(photos.back().body, "SN=S\tid=1\tdata="));
        ASSERT_EQ(userMembers.size(), 7u);
        ASSERT_EQ(photoMembers.size(), 6u);
        EXPECT_EQ(userMembers[2], "pri=" + n) << c.text;
        EXPECT_EQ(userMembers[4], "verify=" + n) << c.text;
        EXPECT_EQ(photoMembers[1], "type=" + n) << c.text;
        EXPECT_EQ(photoMembers[2], "size=" + n) << c.text;
        EXPECT_EQ(photoMembers[5], "format=" + n) << c.text;
        EXPECT_EQ(user["pri"], c.text);  // the host's text is read, never rewritten
    }
}

TEST_F(PersonnelRecordsTest, PhotoRecordKeepsItsOrderWithFormatAfterUrl)
{
    ParamMap photo{{"format", "3"}, {"url", "http://h/p.jpg"}, {"content", "QUJD"}, {"size", "999"},
                   {"type", "9"},   {"pin", "0042"},           {"note", "keep"}};
    const ParamMap before = photo;
    EXPECT_TRUE(adapter->SetBiophoto("5", "T1", photo));
    // "size" goes out as given: the adapter never measures "content".
    EXPECT_EQ(SentMembers("facepad/setbiophoto", "T1", "5"),
              (Members{"pin=\"0042\"", "type=9", "size=999", "content=\"QUJD\"",
                       "url=\"http://h/p.jpg\"", "format=3"}));
    EXPECT_EQ(photo, before);
}

TEST_F(PersonnelRecordsTest, DeletionsSendOnlyThePin)
{
    for (const auto& endpoint : kDeletions) {
        ParamMap record{{"pin", "007"}, {"type", "9"}, {"name", "Ann"}};
        const ParamMap before = record;
        EXPECT_TRUE((adapter.get()->*endpoint.operation)("8", "T2", record)) << endpoint.name;
        EXPECT_EQ(SentMembers(endpoint.path, "T2", "8"), Members{"pin=\"007\""}) << endpoint.name;
        EXPECT_EQ(record, before) << endpoint.name;
    }
}

// The identifier is the first argument but goes second, after the serial; nothing follows the JSON.
TEST_F(PersonnelRecordsTest, SerialAndIdentifierGoRawIntoTheGeneralFields)
{
    for (const auto& endpoint : kRecordEndpoints) {
        ParamMap record{{"pin", "1"}};
        EXPECT_TRUE((adapter.get()->*endpoint.operation)("7", "X1", record)) << endpoint.name;
        EXPECT_EQ(SentMembers(endpoint.path, "X1", "7").front(), "pin=\"1\"") << endpoint.name;
    }
    struct Case {
        const char* id;
        const char* sn;
        const char* prefix;
    };
    for (const Case& c :
         {Case{"", "", "SN=\tid=\tdata="}, Case{"a&b", "S\tN=x", "SN=S\tN=x\tid=a&b\tdata="}}) {
        ParamMap record{{"pin", "2"}};
        EXPECT_TRUE(adapter->DelUser(c.id, c.sn, record));
        const auto requests = gateway->RequestsTo("facepad/deluser");
        EXPECT_EQ(MembersOf(AfterPrefix(requests.back().body, c.prefix)), Members{"pin=\"2\""});
    }
}

TEST_F(PersonnelRecordsTest, ValuesEndAtTheirFirstNulByte)
{
    ParamMap user{{"pin", std::string("ab\0cd", 5)},
                  {"pri", std::string("4\0"
                                      "9",
                                      3)}};
    EXPECT_TRUE(adapter->AddUser("1", "T1", user));
    const Members members = SentMembers("facepad/adduser", "T1", "1");
    ASSERT_EQ(members.size(), 7u);
    EXPECT_EQ(members[0], "pin=\"ab\"");
    EXPECT_EQ(members[2], "pri=4");
}

TEST_F(PersonnelRecordsTest, APhotoOfSeveralMegabytesArrivesWholeAndExact)
{
    std::string content(6 * 1024 * 1024 + 7, '\0');
    const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (std::size_t i = 0; i < content.size(); ++i) {
        content[i] = alphabet[(i * 7 + i / 64) % 64];
    }
    content.back() = '=';
    ParamMap photo{{"pin", "9"}, {"content", content}, {"size", std::to_string(content.size())}};
    EXPECT_TRUE(adapter->SetBiophoto("3", "T1", photo));
    const Members members = SentMembers("facepad/setbiophoto", "T1", "3");
    ASSERT_EQ(members.size(), 6u);
    EXPECT_TRUE(members[3] == "content=\"" + content + "\"")
        << "content differs; " << members[3].size() << " bytes";
    EXPECT_EQ(members[2], "size=" + std::to_string(content.size()));
}

TEST_F(PersonnelRecordsTest, RefusedOrFailedRequestsGiveFalseWithoutALogLine)
{
    for (const auto& endpoint : kRecordEndpoints) {
        for (int status : {201, 204, 404, 500}) {
            gateway->QueueReply(endpoint.path, ScriptedReply{status, status == 204 ? "" : "{}"});
            ParamMap record;
            EXPECT_FALSE((adapter.get()->*endpoint.operation)("1", "T1", record))
                << endpoint.name << " " << status;
        }
        gateway->QueueReply(endpoint.path, ScriptedReply{200, "", {}, false, true});
        ParamMap dropped;
        EXPECT_FALSE((adapter.get()->*endpoint.operation)("1", "T1", dropped)) << endpoint.name;
        gateway->QueueReply(endpoint.path, ScriptedReply{200, "{\"error\":1}"});
        ParamMap accepted;
        EXPECT_TRUE((adapter.get()->*endpoint.operation)("1", "T1", accepted)) << endpoint.name;
    }
    EXPECT_TRUE(log->Messages().empty());
}

TEST_F(PersonnelRecordsTest, NoGatewayGivesFalseSilentlyButTheKeysAreAlreadyInserted)
{
    adapter->SetRequestPort(UnusedLoopbackPort());
    for (const auto& endpoint : kRecordEndpoints) {
        ParamMap record{{"other", "x"}};
        EXPECT_FALSE((adapter.get()->*endpoint.operation)("1", "T1", record)) << endpoint.name;
        EXPECT_EQ(record.count("pin"), 1u) << endpoint.name;
        EXPECT_EQ(record.at("other"), "x") << endpoint.name;
    }
    EXPECT_TRUE(log->Messages().empty());
}

}  // namespace
}  // namespace vvtest
