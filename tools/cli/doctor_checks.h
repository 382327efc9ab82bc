// What `doctor` concludes from what it measured: one finding per check, each with a verdict, what
// was found and the next step, judged against what the adapter itself allows.
#pragma once

#include <json-c/json.h>

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "doctor_probe.h"

namespace facepad::cli::doctor {

enum class Health { Ok, Warning, Unreachable, Skipped };
const char* HealthName(Health health);

struct JsonRelease {
    void operator()(json_object* object) const { json_object_put(object); }
};
using JsonObject = std::unique_ptr<json_object, JsonRelease>;

struct Finding {
    std::string
        check;  // "resolve", "connect", "answer", "front", "keep-alive", "time-outs", "body"
    Health health = Health::Ok;
    std::string text;    // what was found
    std::string advice;  // the next step
    JsonObject facts;    // the measured values, for --json
};

// The adapter's own limits, which every measure is held against.
struct AdapterLimits {
    std::chrono::milliseconds connect{};
    std::chrono::milliseconds read{};
    std::chrono::milliseconds total{};
    std::chrono::milliseconds idle{};  // how long it keeps an idle connection, Keep-Alive aside
};
// How long the adapter reuses an idle connection after an answer that says `advertised`
// ("Keep-Alive: timeout=", -1 without one): a second less, or half of it when that is shorter.
Millis AdapterIdleLimit(const AdapterLimits& limits, long advertised);

// Who answered: a proxy or web server in front of the gateway, as far as the answer tells.
struct Front {
    bool proxy = false;
    std::string seen;  // "Server: nginx/1.22.1", "Via: 1.1 haproxy", "an HTML page"
};
Front FrontOf(const Answer& answer);

struct KeepAliveSeen {
    bool closesAfterEachAnswer = false;
    long advertised = -1;
    bool watched = false;  // false when no time was left for it
    IdleEnd idle;
    std::optional<Answer> after;  // the request sent on the connection once the watch ended
};

struct BodyProbe {
    std::size_t target = 0;           // the largest body a photo of the tool's limit makes
    std::size_t largestAccepted = 0;  // of the sizes tried
    std::size_t smallestRefused = 0;  // 0 when none was refused
    Answer refusal;                   // the answer to that smallest refused body
};

Finding JudgeResolution(const std::string& host, const Resolved& resolved);
Finding JudgeConnections(const std::vector<Connected>& connections, int port);
Finding JudgeAnswers(const std::vector<Answer>& answers);
Finding JudgeFront(const Front& front);
Finding JudgeKeepAlive(const KeepAliveSeen& seen, const AdapterLimits& limits);
Finding JudgeTimeOuts(const std::vector<Connected>& connections, const std::vector<Answer>& answers,
                      const AdapterLimits& limits, bool proxySeen);
Finding JudgeBody(const BodyProbe& probe, std::size_t maxPhotoBytes);
// The body a photo of `maxPhotoBytes` makes: its base64 text and the record around it.
std::size_t BodyTarget(std::size_t maxPhotoBytes);

}  // namespace facepad::cli::doctor
