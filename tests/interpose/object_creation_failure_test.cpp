// A command whose JSON document cannot be created refuses at once: its one log line, no request,
// and the host's map as it was.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "adapter_fixture.h"
#include "object_creation_switch.h"

namespace vvtest {
namespace {

struct DocumentCommand {
    std::string name;
    std::function<bool(VurodoroViri_Druvel&, ParamMap&)> call;
};

std::vector<DocumentCommand> DocumentCommands()
{
    return {
        {"AddUser", [](VurodoroViri_Druvel& a, ParamMap& m) { return a.AddUser("1", "T1", m); }},
        {"DelUser", [](VurodoroViri_Druvel& a, ParamMap& m) { return a.DelUser("1", "T1", m); }},
        {"SetBiophoto",
         [](VurodoroViri_Druvel& a, ParamMap& m) { return a.SetBiophoto("1", "T1", m); }},
        {"DelBiophoto",
         [](VurodoroViri_Druvel& a, ParamMap& m) { return a.DelBiophoto("1", "T1", m); }},
        {"SetInitParamFace",
         [](VurodoroViri_Druvel& a, ParamMap& m) { return a.SetInitParamFace(m); }},
    };
}

class ObjectCreationFailureTest : public AdapterTest {};

// Guards the rest: without it a broken interposition would make the failure cases below
// meaningless.
TEST_F(ObjectCreationFailureTest, TheAdapterCreatesItsDocumentsThroughTheInterposedFunction)
{
    for (const auto& command : DocumentCommands()) {
        ParamMap map;
        const std::size_t before = ObjectCreationCalls();
        EXPECT_TRUE(command.call(*adapter, map)) << command.name;
        EXPECT_EQ(ObjectCreationCalls() - before, 1u) << command.name;
    }
}

TEST_F(ObjectCreationFailureTest, NoDocumentMeansFalseItsLineNoRequestAndAnUntouchedMap)
{
    for (const auto& command : DocumentCommands()) {
        log->Clear();
        ParamMap map{{"other", "x"}};
        {
            FailingObjectCreation failing;
            EXPECT_FALSE(command.call(*adapter, map)) << command.name;
        }
        EXPECT_EQ(log->Messages(), std::vector<std::string>{"VurodoroViri_Druvel::" + command.name +
                                                            " jsonData == nullptr"});
        EXPECT_EQ(log->Lines().front().level, 2);
        EXPECT_EQ(map, (ParamMap{{"other", "x"}})) << command.name;
    }
    EXPECT_TRUE(gateway->Requests().empty());
}

}  // namespace
}  // namespace vvtest
