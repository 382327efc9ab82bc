// Base URL and request port, URL splitting for the connection pool, the JSON library path rule.
#include <climits>

#include "Terminal_Http_Tool.h"
#include "adapter_fixture.h"
#include "http_url.h"
#include "platform_paths.h"

namespace vvtest {
namespace {

using Osmer_Framework::Terminal_Http_Error;
using Osmer_Framework::Terminal_Http_Tool;
using Osmer_Framework::Face::JsonLibraryPathFor;
using Osmer_Framework::http::ParseUrl;

// Base URL, ":", port, "/", path, whatever the base URL holds; a port outside 0..65535 is refused,
// logged and leaves the earlier one.
TEST(Addressing, TheFullUrlJoinsBaseUrlAndPortAsSet)
{
    struct Case {
        const char* url;  // null: left as it is
        int port;
        bool accepted;
        const char* full;
    };
    const Case cases[] = {
        {nullptr, 10001, true, "http://127.0.0.1:10001/facepad/x"},  // the defaults
        {"http://192.168.10.20", 8080, true, "http://192.168.10.20:8080/facepad/x"},
        {"http://127.0.0.1/", 0, true, "http://127.0.0.1/:0/facepad/x"},
        {"", 65535, true, ":65535/facepad/x"},
        {nullptr, 65536, false, ":65535/facepad/x"},
        {nullptr, -1, false, ":65535/facepad/x"},
        {nullptr, INT_MAX, false, ":65535/facepad/x"},
        {nullptr, INT_MIN, false, ":65535/facepad/x"},
    };
    LogCapture log;
    VurodoroViri_Druvel adapter;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.port);
        if (c.url != nullptr) {
            EXPECT_TRUE(adapter.SetUrl(c.url));
        }
        EXPECT_EQ(adapter.SetRequestPort(c.port), c.accepted);
        EXPECT_EQ(adapter.GetFullPostUrl("facepad/x"), c.full);
        EXPECT_EQ(adapter.GetUrl() + ":" + std::to_string(adapter.GetRequestPort()) + "/facepad/x",
                  c.full);
    }
    EXPECT_EQ(log.Messages(),
              std::vector<std::string>(
                  4, "VurodoroViri_Druvel::SetRequestPort _iPort<0 || _iPort>65535"));
    EXPECT_EQ(log.Lines().front().level, 2);
    EXPECT_EQ(log.Lines().front().file, "CLS_VurodoroViri_Druvel");
    EXPECT_GT(log.Lines().front().line, 0);
}

// A trailing slash on the base URL puts the port into the path: still a valid URL. What the
// parser refuses, the client refuses before it connects anywhere.
TEST(ParseUrl, SplitsHostPortAndPathOrRefuses)
{
    const std::pair<const char*, const char*> accepted[] = {
        {"http://127.0.0.1:10001/facepad/getavailable", "127.0.0.1 10001 /facepad/getavailable"},
        {"http://gateway/x", "gateway 80 /x"},
        {"HTTP://gateway", "gateway 80 /"},
        {"http://127.0.0.1/:10001/facepad/x", "127.0.0.1 80 /:10001/facepad/x"},
        {"http://[::1]:8080/p", "::1 8080 /p"},
    };
    for (const auto& [text, parts] : accepted) {
        const auto url = ParseUrl(text);
        ASSERT_TRUE(url) << text;
        EXPECT_EQ(url->host + " " + std::to_string(url->port) + " " + url->path, parts);
    }
    EXPECT_EQ(ParseUrl(accepted[0].first)->OriginKey(), "http://127.0.0.1:10001");
    Terminal_Http_Tool client;
    for (const char* text :
         {"", ":10001/facepad/x", "127.0.0.1:80/x", "ftp://h/x", "http://", "http://:1/x",
          "http://h:0/x", "http://h:65536/x", "http://h:12ab/x", "http://h:/x", "http://h:-1/x",
          "http://[::1/x", "http://a b/x",
          // no TLS; nothing that would end the request line early
          "https://h/x", "http://h/a b", "http://h/x\r\nX-Forged: 1", "http://h/x\ty"}) {
        EXPECT_FALSE(ParseUrl(text)) << text;
        std::string reply;
        EXPECT_EQ(client.HttpPost(text, "", reply).error, Terminal_Http_Error::InvalidUrl) << text;
    }
}

// Only a backslash separates: a path without one has no directory part.
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
}  // namespace vvtest
