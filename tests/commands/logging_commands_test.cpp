// The commands that log a failed exchange: one line naming the operation and the failed step, and
// nothing when the gateway accepts, whatever its reply text.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "adapter_fixture.h"

namespace vvtest {
namespace {

struct LoggingCommand {
    std::string name;
    std::string path;
    std::function<bool(VurodoroViri_Druvel&)> call;
};

std::vector<LoggingCommand> LoggingCommands()
{
    return {
        {"SetListenPortFace", "facepad/setport",
         [](VurodoroViri_Druvel& a) {
             std::string port = "10001";
             std::string reset = "1";
             return a.SetListenPortFace(port, reset);
         }},
        {"SetInitParamFace", "facepad/setinitparam",
         [](VurodoroViri_Druvel& a) {
             ParamMap params;
             return a.SetInitParamFace(params);
         }},
        {"BindVurodoroViri", "facepad/binding",
         [](VurodoroViri_Druvel& a) { return a.BindVurodoroViri("T1", 1, "", "", "", ""); }},
        {"UnBindVurodoroViri", "facepad/unbinding",
         [](VurodoroViri_Druvel& a) { return a.UnBindVurodoroViri("T1"); }},
        {"GetTerminalStatusFace", "facepad/getterminalstatus",
         [](VurodoroViri_Druvel& a) { return a.GetTerminalStatusFace("T1"); }},
        {"ControlDeviceFace", "facepad/controldevice",
         [](VurodoroViri_Druvel& a) { return a.ControlDeviceFace("1", "T1", "", "", ""); }},
    };
}

std::vector<std::string> Line(const std::string& operation, const std::string& step)
{
    return {"VurodoroViri_Druvel::" + operation + " Call " + step + " ret false"};
}

class LoggingCommandsTest : public AdapterTest {};

TEST_F(LoggingCommandsTest, AnyStatusButExactly200IsLoggedAsAStatusFailure)
{
    for (const auto& command : LoggingCommands()) {
        for (int status : {201, 204, 404, 500}) {
            log->Clear();
            // A connected status list, so that only the status can make the query fail; a 204
            // carries no body.
            gateway->QueueReply(
                command.path,
                ScriptedReply{status, status == 204 ? "" : "Data=[{\"connstatus\":1}]"});
            EXPECT_FALSE(command.call(*adapter)) << command.name << " " << status;
            EXPECT_EQ(log->Messages(), Line(command.name, "GetLastPostStatus"))
                << command.name << " " << status;
        }
        EXPECT_EQ(log->Lines().front().level, 2);
        EXPECT_EQ(log->Lines().front().file, "CLS_VurodoroViri_Druvel");
    }
}

TEST_F(LoggingCommandsTest, ARequestThatBringsNoAnswerIsLoggedAsARequestFailure)
{
    for (const auto& command : LoggingCommands()) {
        log->Clear();
        gateway->QueueReply(command.path, ScriptedReply{200, "", {}, false, true});
        EXPECT_FALSE(command.call(*adapter)) << command.name;
        EXPECT_EQ(log->Messages(), Line(command.name, "HttpPostRequest")) << command.name;
    }
    adapter->SetRequestPort(UnusedLoopbackPort());
    for (const auto& command : LoggingCommands()) {
        log->Clear();
        EXPECT_FALSE(command.call(*adapter)) << command.name;
        EXPECT_EQ(log->Messages(), Line(command.name, "HttpPostRequest")) << command.name;
    }
}

TEST_F(LoggingCommandsTest, AcceptedRequestsLogNothingWhateverTheReplyText)
{
    for (const auto& command : LoggingCommands()) {
        gateway->SetReply(command.path,
                          ScriptedReply{200, "Data=[{\"connstatus\":1}] {\"error\":\"x\"}"});
        EXPECT_TRUE(command.call(*adapter)) << command.name;
        EXPECT_EQ(gateway->CountTo(command.path), 1u) << command.name;
    }
    EXPECT_TRUE(log->Messages().empty());
}

}  // namespace
}  // namespace vvtest
