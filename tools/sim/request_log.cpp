#include "request_log.h"

#include <chrono>
#include <cstdio>
#include <ctime>

namespace facepad::sim {

namespace {

constexpr std::size_t kLoggedAnswerChars = 160;

std::string Timestamp()
{
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() %
        1000;
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &seconds);
#else
    localtime_r(&seconds, &local);
#endif
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", local.tm_hour, local.tm_min,
                  local.tm_sec, static_cast<int>(millis));
    return text;
}

// Photos and result lists can be long; a log line stays one short line.
std::string OneLine(const std::string& text)
{
    std::string line = text.substr(0, kLoggedAnswerChars);
    for (char& c : line) {
        c = (c == '\n' || c == '\r' || c == '\t') ? ' ' : c;
    }
    return text.size() > kLoggedAnswerChars ? line + "..." : line;
}

}  // namespace

std::string FormatRequestLine(const LoggedRequest& request)
{
    return Timestamp() + " " + request.method + " " + request.path + " " +
           std::to_string(request.status) + " in=" + std::to_string(request.bodyBytes) + "B " +
           (request.fault.empty() ? OneLine(request.answer) : "[fault: " + request.fault + "]");
}

}  // namespace facepad::sim
