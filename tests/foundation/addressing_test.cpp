// Base URL, request port, URL and body builders.
#include <gtest/gtest.h>

#include "adapter_fixture.h"

namespace vvtest {
namespace {

class AddressingTest : public ::testing::Test {
protected:
    LogCapture log;
    VurodoroViri_Druvel adapter;
};

TEST_F(AddressingTest, Defaults)
{
    EXPECT_EQ(adapter.GetUrl(), "http://127.0.0.1");
    EXPECT_EQ(adapter.GetRequestPort(), 10001);
    EXPECT_EQ(adapter.GetFullPostUrl("facepad/getavailable"),
              "http://127.0.0.1:10001/facepad/getavailable");
}

TEST_F(AddressingTest, PortBounds)
{
    EXPECT_TRUE(adapter.SetRequestPort(0));
    EXPECT_EQ(adapter.GetFullPostUrl("facepad/x"), "http://127.0.0.1:0/facepad/x");
    EXPECT_TRUE(adapter.SetRequestPort(65535));
    EXPECT_EQ(adapter.GetRequestPort(), 65535);
    EXPECT_TRUE(log.Messages().empty());
    for (int bad : {65536, -1, 2147483647, -2147483647 - 1}) {
        EXPECT_FALSE(adapter.SetRequestPort(bad)) << bad;
        EXPECT_EQ(adapter.GetRequestPort(), 65535);
    }
    EXPECT_EQ(log.Count("VurodoroViri_Druvel::SetRequestPort _iPort<0 || _iPort>65535"), 4u);
    const auto line = log.Lines().front();
    EXPECT_EQ(line.level, 2);
    EXPECT_EQ(line.file, "CLS_VurodoroViri_Druvel");
    EXPECT_GT(line.line, 0);
}

TEST_F(AddressingTest, FullUrlIsAPlainConcatenation)
{
    adapter.SetUrl("http://192.168.10.20");
    adapter.SetRequestPort(8080);
    EXPECT_EQ(adapter.GetFullPostUrl("facepad/getresult"),
              "http://192.168.10.20:8080/facepad/getresult");
    adapter.SetUrl("http://127.0.0.1/");
    EXPECT_EQ(adapter.GetFullPostUrl("facepad/x"), "http://127.0.0.1/:8080/facepad/x");
    EXPECT_TRUE(adapter.SetUrl(""));
    EXPECT_EQ(adapter.GetFullPostUrl("facepad/x"), ":8080/facepad/x");
    adapter.SetUrl(adapter.GetUrl());
    EXPECT_EQ(adapter.GetUrl(), "");
}

TEST_F(AddressingTest, BodyPutsSerialFirstThenIdentifierThenData)
{
    EXPECT_EQ(adapter.GetFullPostParam("7", "ABC123", "{}"), "SN=ABC123\tid=7\tdata={}");
    EXPECT_EQ(adapter.GetFullPostParam("", "", ""), "SN=\tid=\tdata=");
    const std::string raw("a\0&=\t%", 6);
    EXPECT_EQ(adapter.GetFullPostParam(raw, raw, raw),
              "SN=" + raw + "\tid=" + raw + "\tdata=" + raw);
}

}  // namespace
}  // namespace vvtest
