// What the hostile tests share: the client, the diagnostics, the gateways and a few answers.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "Terminal_Http_Tool.h"
#include "VurodoroViri_Diagnostics.h"
#include "delivery_recorder.h"
#include "name_server.h"
#include "raw_gateway.h"

namespace vvtest {

using Osmer_Framework::Terminal_Http_Error;
using Osmer_Framework::Terminal_Http_Options;
using Osmer_Framework::Terminal_Http_Result;
using Osmer_Framework::Terminal_Http_Tool;
using Osmer_Framework::Face::VurodoroViri_GetLastExchange;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

inline std::string AnswerWith(const std::string& body)
{
    return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

// One command to `gateway`, its reply dropped.
inline Terminal_Http_Result PostTo(Terminal_Http_Tool& client, const RawGateway& gateway,
                                   const std::string& body)
{
    std::string reply;
    return client.HttpPost(gateway.UrlFor("facepad/adduser"), body, reply);
}

inline long long MillisecondsSince(Clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

}  // namespace vvtest
