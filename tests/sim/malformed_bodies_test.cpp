// Bodies the gateway cannot read are refused with 400 and a reason naming what was wrong, change
// nothing and queue no result. Arbitrary bytes never crash the gateway.

#include <random>

#include "gateway_test.h"

namespace {

struct Malformed {
    const char* path;
    std::string body;
    const char* reason;  // part of the refusal text
};

const std::string kUser = UserJson("1001", "Ada");

std::vector<Malformed> MalformedCases()
{
    return {
        {endpoint::kAddUser, "SN=T1\tid=1", "expected 3 TAB-separated field(s)"},
        {endpoint::kAddUser, "sn=T1\tid=1\tdata=" + kUser, "field 1 must start with \"SN=\""},
        {endpoint::kAddUser, "SN=T1\tid=1\tData=" + kUser, "field 3 must start with \"data=\""},
        {endpoint::kAddUser, CommandBody("", "1", kUser), "SN is empty"},
        {endpoint::kAddUser, CommandBody("T1", "", kUser), "id is empty"},
        {endpoint::kAddUser, CommandBody("T1", "1", "{\"pin\":"), "user record is not JSON"},
        {endpoint::kAddUser, CommandBody("T1", "1", kUser + "x"),
         "characters after the JSON value"},
        {endpoint::kAddUser, CommandBody("T1", "1", "[]"), "user record must be a JSON object"},
        {endpoint::kAddUser, CommandBody("T1", "1", "{\"pin\":\"1\"}"), "lacks member \"name\""},
        {endpoint::kAddUser,
         CommandBody("T1", "1",
                     "{\"pin\":\"1\",\"name\":\"A\",\"pri\":\"0\",\"passwd\":\"\",\"verify\":0,"
                     "\"card\":\"\",\"vicecard\":\"\"}"),
         "member \"pri\" must be an integer"},
        {endpoint::kAddUser,
         CommandBody("T1", "1", kUser.substr(0, kUser.size() - 1) + ",\"x\":1}"),
         "unexpected member \"x\""},
        {endpoint::kAddUser,
         CommandBody("T1", "1",
                     "{\"pin\":\"1\",\"name\":\"A\",\"pri\":9999999999,\"passwd\":\"\","
                     "\"verify\":0,\"card\":\"\",\"vicecard\":\"\"}"),
         "member \"pri\" is out of range"},
        {endpoint::kDelUser, CommandBody("T1", "1", "{\"pin\":7}"),
         "member \"pin\" must be a string"},
        {endpoint::kSetBioPhoto, CommandBody("T1", "1", "{\"pin\":\"1\"}"),
         "photo record lacks member \"type\""},
        {endpoint::kDelBioPhoto, CommandBody("T1", "1", "{}"), "pin document lacks member \"pin\""},
        {endpoint::kSetInitParam, "data={}", "field 1 must start with \"Data=\""},
        {endpoint::kSetInitParam, "Data={\"type\":\"\"}", "init settings lacks member \"AttLog\""},
        {endpoint::kSetInitParam,
         simtest::InitBody("30").replace(simtest::InitBody("30").find("\"30\""), 4, "30"),
         "member \"TimeOut\" must be a string"},
        {endpoint::kBinding, "SN=T1\tch=abc", "ch must be a channel number"},
        {endpoint::kBinding, "SN=T1\tch=-1", "ch must be a channel number"},
        {endpoint::kBinding, "SN=T1", "expected 2 TAB-separated field(s) (SN=, ch=)"},
        {endpoint::kUnbinding, "SN=", "SN is empty"},
        {endpoint::kUnbinding, "SN=T1\tch=1", "expected 1 TAB-separated field(s) (SN=), got 2"},
        {endpoint::kSetPort, "port=abc\treset1", "port must be a number from 1 to 65535"},
        {endpoint::kSetPort, "port=70000\treset1", "port must be a number from 1 to 65535"},
        {endpoint::kSetPort, "port=10001\treset=1", "reset takes its value directly"},
        {endpoint::kControlDevice, "SN=T1\tid=1\tcmd=AC_LOCK\tdata=", "cmd must be AC_UNLOCK"},
        {endpoint::kControlDevice, "SN=T1\tid=1\tdata=", "expected 4 TAB-separated field(s)"},
        {endpoint::kGetTerminalStatus, "T1", "field 1 must start with \"SN=\""},
        {endpoint::kGetResult, "SN=T1", "takes an empty body"},
        {endpoint::kGetAvailable, "x", "takes an empty body"},
    };
}

class MalformedBodies : public ::testing::Test {
protected:
    facepad::sim::Gateway gateway{{{"T1", true}}};
};

TEST_F(MalformedBodies, AreRefusedWith400NamingTheFaultAndChangeNothing)
{
    ASSERT_EQ(gateway.Handle(endpoint::kBinding, "SN=T1\tch=1").status, 200);
    const facepad::sim::GatewayData before = gateway.State().Snapshot();
    for (const Malformed& m : MalformedCases()) {
        const auto reply = gateway.Handle(m.path, m.body);
        EXPECT_EQ(reply.status, 400) << m.path << " " << m.body;
        EXPECT_NE(reply.body.find(m.reason), std::string::npos)
            << m.path << ": reason \"" << reply.body << "\" lacks \"" << m.reason << "\"";
    }
    EXPECT_TRUE(gateway.State().Snapshot() == before);
    EXPECT_TRUE(simtest::DrainResults(gateway).empty());
}

// Every endpoint of the protocol table, so one the simulator has no handler for (404) fails too.
TEST_F(MalformedBodies, ArbitraryBytesNeverCrashTheGateway)
{
    std::mt19937 random(7);
    std::uniform_int_distribution<int> byte(0, 255);
    const std::string alphabet = "SN=id=data=ch=port=reset\t{}[]\":,0123456789-";
    std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
    for (const facepad::Endpoint& row : facepad::kEndpoints) {
        const char* path = row.path;
        for (int round = 0; round < 200; ++round) {
            std::string body;
            const int length = round % 64;
            for (int i = 0; i < length; ++i) {
                body += round % 2 ? alphabet[pick(random)] : static_cast<char>(byte(random));
            }
            const int status = gateway.Handle(path, body).status;
            EXPECT_TRUE(status == 200 || status == 400 || status == 409) << path << " " << status;
        }
    }
}

}  // namespace
