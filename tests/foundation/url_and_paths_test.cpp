// URL splitting for the connection pool and the JSON library path rule.
#include <gtest/gtest.h>

#include "Terminal_Http_Tool.h"
#include "http_url.h"
#include "platform_paths.h"

namespace {

using Osmer_Framework::Terminal_Http_Error;
using Osmer_Framework::Terminal_Http_Tool;
using Osmer_Framework::Face::JsonLibraryPathFor;
using Osmer_Framework::http::ParseUrl;

TEST(ParseUrl, SplitsOriginAndPath)
{
    const auto url = ParseUrl("http://127.0.0.1:10001/facepad/getavailable");
    ASSERT_TRUE(url);
    EXPECT_EQ(url->host, "127.0.0.1");
    EXPECT_EQ(url->port, 10001);
    EXPECT_EQ(url->path, "/facepad/getavailable");
    EXPECT_EQ(url->OriginKey(), "http://127.0.0.1:10001");
}

TEST(ParseUrl, DefaultsAndOddButValidShapes)
{
    EXPECT_EQ(ParseUrl("http://gateway/x")->port, 80);
    EXPECT_EQ(ParseUrl("HTTP://gateway")->path, "/");
    // A base URL with a trailing slash puts the port into the path: still a valid URL.
    const auto trailing = ParseUrl("http://127.0.0.1/:10001/facepad/x");
    ASSERT_TRUE(trailing);
    EXPECT_EQ(trailing->port, 80);
    EXPECT_EQ(trailing->path, "/:10001/facepad/x");
    const auto v6 = ParseUrl("http://[::1]:8080/p");
    ASSERT_TRUE(v6);
    EXPECT_EQ(v6->host, "::1");
    EXPECT_EQ(v6->port, 8080);
}

// Refused by the parser, and so by the client before it connects anywhere.
TEST(ParseUrl, RefusesWhatCannotBeConnectedTo)
{
    Terminal_Http_Tool client;
    for (const char* text :
         {"", ":10001/facepad/x", "127.0.0.1:80/x", "ftp://h/x", "http://", "http://:1/x",
          "http://h:0/x", "http://h:65536/x", "http://h:12ab/x", "http://h:/x", "http://h:-1/x",
          "http://[::1/x", "http://a b/x",
          // no TLS; nothing that would end the request line early
          "https://h/x", "http://h/a b", "http://h/x\r\nX-Forged: 1", "http://h/x\ty"}) {
        EXPECT_FALSE(ParseUrl(text)) << text;
        std::string reply;
        EXPECT_FALSE(client.HttpPostRequest(text, "", reply, false)) << text;
        EXPECT_EQ(client.GetLastPostError(), Terminal_Http_Error::InvalidUrl) << text;
    }
}

// Only a backslash separates: json.dll lies in the directory of a Windows path, and a path
// without one has no directory part.
TEST(JsonLibraryPath, IsBesideTheProgramOnAWindowsPath)
{
    const std::pair<const char*, const char*> cases[] = {
        {"C:\\App\\bin\\host.exe", "C:\\App\\bin\\json.dll"},
        {"C:\\host.exe", "C:\\json.dll"},
        {"\\\\server\\share\\h.exe", "\\\\server\\share\\json.dll"},
        {"C:\\App/bin/host.exe", "C:\\json.dll"},
        {"", "json.dll"},
        {"/usr/local/bin/host", "json.dll"},
        {"C:/App/bin/host.exe", "json.dll"},
    };
    for (const auto& [program, library] : cases) {
        EXPECT_EQ(JsonLibraryPathFor(program), library) << program;
    }
}

}  // namespace
