#include "doctor_checks.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "facepad_protocol.h"
#include "front_end_answer.h"
#include "gateway_call.h"
#include "output.h"
#include "status_lists.h"

namespace facepad::cli::doctor {

namespace {

constexpr char kNothingToDo[] = "nothing to do";
constexpr char kProxyDoc[] = "docs/transport.md, \"Behind a reverse proxy\"";
constexpr char kAdvertiseIdleTimeOut[] =
    "have the gateway or proxy advertise its idle time-out (nginx: keepalive_timeout 75s 75s; "
    "HAProxy: http-response set-header Keep-Alive timeout=75)";
// A lookup or a harmless request this slow leaves little of the adapter's limits to heavier
// exchanges (a photo upload, a poll of many results) and to a busier day.
constexpr double kSlowLookupMs = 1000;
constexpr double kConnectShareWarned = 1.0 / 3;
constexpr double kReadShareWarned = 1.0 / 5;
// Around a photo's base64 text: the other fields and the record's members.
constexpr std::size_t kRecordAroundPhoto = 1024;

// Server header words of the proxies and web servers sites put in front of a gateway.
constexpr const char* kFrontServers[] = {"nginx",   "apache",    "haproxy",  "microsoft-iis",
                                         "envoy",   "caddy",     "traefik",  "squid",
                                         "varnish", "openresty", "lighttpd", "cloudflare"};

Finding Make(const char* check, Health health, std::string text, std::string advice)
{
    return Finding{check, health, std::move(text), std::move(advice),
                   JsonObject(json_object_new_object())};
}

void Fact(Finding& finding, const char* key, json_object* value)
{
    json_object_object_add(finding.facts.get(), key, value);
}

// Two decimals, as measured; json-c would print a double's every digit.
json_object* JsonMillis(Millis took)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", took.count());
    return json_object_new_double_s(took.count(), text);
}

std::string Lower(std::string text)
{
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

std::string WithPort(const std::string& address, int port)
{
    const bool ipv6 = address.find(':') != std::string::npos;
    return (ipv6 ? "[" + address + "]" : address) + ":" + std::to_string(port);
}

std::string Bytes(std::size_t bytes)
{
    std::string digits = std::to_string(bytes);
    for (std::size_t at = digits.size(); at > 3; at -= 3) {
        digits.insert(at - 3, ",");
    }
    return digits + " bytes";
}

std::string Mib(std::size_t bytes)
{
    const std::size_t tenths = bytes * 10 / (1024 * 1024);
    return std::to_string(tenths / 10) + (tenths % 10 ? "." + std::to_string(tenths % 10) : "") +
           " MiB";
}

Millis Slowest(const std::vector<Millis>& times)
{
    return times.empty() ? Millis{} : *std::max_element(times.begin(), times.end());
}

std::string StatusText(const Answer& answer)
{
    const std::string title = Osmer_Framework::Face::PageTitle(answer.body);
    return "HTTP " + std::to_string(answer.status) + (title.empty() ? "" : " (" + title + ")");
}

}  // namespace

const char* HealthName(Health health)
{
    switch (health) {
    case Health::Ok:
        return "ok";
    case Health::Warning:
        return "warning";
    case Health::Unreachable:
        return "unreachable";
    case Health::Skipped:
        break;
    }
    return "skipped";
}

// The HTTP client's own rule (Terminal_Http_Tool.cpp, IdleLimit), which it keeps private.
Millis AdapterIdleLimit(const AdapterLimits& limits, long advertised)
{
    const Millis idle = limits.idle;
    if (advertised < 0) {
        return idle;
    }
    const Millis said = std::chrono::seconds(advertised);
    return std::min(idle, said - std::min(said / 2, Millis(1000)));
}

Front FrontOf(const Answer& answer)
{
    const std::string via = HeaderValue(answer.head, "Via");
    const std::string server = HeaderValue(answer.head, "Server");
    if (!via.empty()) {
        return Front{true, "Via: " + via};
    }
    for (const char* name : kFrontServers) {
        if (Lower(server).find(name) != std::string::npos) {
            return Front{true, "Server: " + server};
        }
    }
    if (Osmer_Framework::Face::LooksLikeHtml(answer.body)) {
        return Front{true, "an HTML page"};
    }
    return Front{false, server.empty() ? "no Server or Via header" : "Server: " + server};
}

Finding JudgeResolution(const std::string& host, const Resolved& resolved)
{
    if (!resolved.problem.empty()) {
        return Make("resolve", Health::Unreachable, resolved.problem,
                    "check the name for a typo and the site's name servers; --url "
                    "http://ADDRESS avoids the lookup");
    }
    Finding finding =
        Make("resolve", Health::Ok, host + " is an address: nothing to resolve", kNothingToDo);
    json_object* addresses = json_object_new_array();
    std::string list;
    for (const std::string& address : resolved.addresses) {
        json_object_array_add(addresses, JsonText(address));
        list += (list.empty() ? "" : ", ") + address;
    }
    Fact(finding, "addresses", addresses);
    Fact(finding, "milliseconds", JsonMillis(resolved.took));
    if (resolved.numeric) {
        return finding;
    }
    finding.text = host + " -> " + list + " in " + Duration(resolved.took);
    if (resolved.took.count() > kSlowLookupMs) {
        finding.health = Health::Warning;
        finding.advice =
            "every new connection the adapter opens waits for this lookup: check the "
            "name servers, or give the address with --url";
    }
    return finding;
}

Finding JudgeConnections(const std::vector<Connected>& connections, int port)
{
    Finding finding = Make("connect", Health::Ok, "", kNothingToDo);
    json_object* list = json_object_new_array();
    bool anyConnected = false;
    bool anyTimedOut = false;
    for (const Connected& c : connections) {
        json_object* entry = json_object_new_object();
        json_object_object_add(entry, "address", JsonText(c.address));
        json_object_object_add(entry, "milliseconds", JsonMillis(c.took));
        json_object_object_add(entry, "problem", c.problem.empty() ? nullptr : JsonText(c.problem));
        json_object_array_add(list, entry);
        finding.text += (finding.text.empty() ? "" : "; ") + WithPort(c.address, port) +
                        (c.problem.empty() ? " in " + Duration(c.took) : ": " + c.problem);
        anyConnected = anyConnected || c.problem.empty();
        anyTimedOut = anyTimedOut || c.problem.rfind("did not accept", 0) == 0;
    }
    Fact(finding, "connections", list);
    if (!anyConnected) {
        finding.health = Health::Unreachable;
        finding.advice = "check that the gateway service runs and listens on port " +
                         std::to_string(port) +
                         " (--port names another) and that no firewall drops connections";
    } else if (anyTimedOut) {
        finding.health = Health::Warning;
        finding.advice =
            "the adapter tries the addresses in this order, and one that never "
            "accepts costs each new connection a share of the adapter's connect "
            "time: remove it from the name, or give a working address with --url";
    }
    return finding;
}

namespace {

// What five requests brought: the round trips of the whole answers, the last one, and why a
// request got none.
struct Tally {
    std::vector<Millis> times;  // sorted
    const Answer* last = nullptr;
    std::string problem;
};

Tally TallyOf(const std::vector<Answer>& answers)
{
    Tally tally;
    for (const Answer& answer : answers) {
        if (answer.complete) {
            tally.times.push_back(answer.took);
            tally.last = &answer;
        } else if (tally.problem.empty()) {
            tally.problem = answer.problem;
        }
    }
    std::sort(tally.times.begin(), tally.times.end());
    return tally;
}

// The verdict on the last answer's status and body; `asked` says what was asked.
void JudgeLastAnswer(Finding& finding, const Answer& last, const std::string& asked)
{
    if (Osmer_Framework::Face::IsFrontEndStatus(last.status)) {
        finding.health = Health::Unreachable;
        finding.text = asked + ": " + StatusText(last) +
                       " from a proxy or the gateway's front end: the gateway behind it does not "
                       "answer";
        finding.advice =
            "check that the gateway runs and that the proxy's upstream (nginx "
            "proxy_pass, HAProxy server) names it";
    } else if (last.status != 200) {
        finding.health = Health::Warning;
        finding.text = asked + ": HTTP " + std::to_string(last.status) + ": " +
                       ReplyText(last.body) +
                       ": not the gateway, or a proxy that does not pass facepad/... to it";
        finding.advice =
            "check --port, and that a proxy passes facepad/... unchanged at the "
            "root (" +
            std::string(kProxyDoc) + ")";
    } else if (const auto terminals = ReadTerminalList(last.body)) {
        Fact(finding, "terminals", json_object_new_int(static_cast<int>(terminals->size())));
        finding.text =
            asked + ": HTTP 200 with " + std::to_string(terminals->size()) + " terminal(s)";
    } else {
        finding.health = Health::Warning;
        finding.text = asked + ": HTTP 200, but no terminal list in the reply: " +
                       ReplyText(last.body.substr(0, 120));
        finding.advice = "check that this port is the gateway's (--port)";
    }
}

}  // namespace

Finding JudgeAnswers(const std::vector<Answer>& answers)
{
    const Tally tally = TallyOf(answers);
    const std::string asked = std::to_string(answers.size()) + " request(s) for " +
                              endpoint::kGetAvailable + " (read-only)";
    if (tally.last == nullptr) {
        return Make("answer", Health::Unreachable, asked + ": no answer: " + tally.problem,
                    "something accepts connections on this port but does not answer HTTP as the "
                    "gateway does: check --port");
    }
    const Millis fastest = tally.times.front();
    const Millis median = tally.times[tally.times.size() / 2];
    const Millis slowest = tally.times.back();
    Finding finding = Make("answer", Health::Ok, "", kNothingToDo);
    json_object* trip = json_object_new_object();
    json_object_object_add(trip, "min", JsonMillis(fastest));
    json_object_object_add(trip, "median", JsonMillis(median));
    json_object_object_add(trip, "max", JsonMillis(slowest));
    Fact(finding, "round_trip_ms", trip);
    Fact(finding, "http_status", json_object_new_int(tally.last->status));
    Fact(finding, "answered", json_object_new_int(static_cast<int>(tally.times.size())));
    JudgeLastAnswer(finding, *tally.last, asked);
    finding.text += "; " + std::to_string(tally.times.size()) + " answered, round trip min " +
                    Duration(fastest) + ", median " + Duration(median) + ", max " +
                    Duration(slowest);
    if (tally.times.size() < answers.size() && finding.health == Health::Ok) {
        finding.health = Health::Warning;
        finding.text += "; the others got no answer: " + tally.problem;
        finding.advice =
            "a gateway or network that drops requests makes commands fail as "
            "\"may have been carried out\": find out which before a sync";
    }
    return finding;
}

Finding JudgeFront(const Front& front)
{
    Finding finding = Make("front", Health::Ok, "", kNothingToDo);
    Fact(finding, "proxy", json_object_new_boolean(front.proxy));
    Fact(finding, "seen", JsonText(front.seen));
    if (front.proxy) {
        finding.text = "a proxy or web server answers in front of the gateway (" + front.seen + ")";
        finding.advice =
            "its read time-out must exceed the gateway's slowest answer, and it must "
            "never retry a POST: " +
            std::string(kProxyDoc);
    } else {
        finding.text = "the gateway itself, as far as the answer tells (" + front.seen + ")";
        finding.advice =
            "nothing to do; a proxy that adds no header of its own (HAProxy, unless "
            "told to) cannot be seen";
    }
    return finding;
}

namespace {

// The other side ended the idle connection: too soon when the adapter might still reuse it.
void JudgeIdleEnd(Finding& finding, const KeepAliveSeen& seen, Millis limit,
                  const AdapterLimits& limits)
{
    if (seen.idle.after < limit) {
        finding.health = Health::Warning;
        finding.text += ": a request sent as it closes fails, \"may have been carried out\"";
        finding.advice = std::string(kAdvertiseIdleTimeOut) +
                         ", or keep idle connections open at least " + Duration(limits.idle);
    }
}

// The connection outlived the watch: it still answered, or something between dropped it.
void JudgeHeldConnection(Finding& finding, const KeepAliveSeen& seen, Millis limit)
{
    if (seen.after && !seen.after->complete) {
        finding.health = Health::Warning;
        finding.text += ": then it gave no answer (" + seen.after->problem +
                        "): something between drops idle connections without a word (a NAT or "
                        "firewall)";
        finding.advice = "have the firewall keep idle connections longer than " + Duration(limit) +
                         ", or the gateway advertise a shorter time-out";
    } else if (seen.idle.after < limit) {
        finding.text += ": a close between " + Duration(seen.idle.after) + " and " +
                        Duration(limit) + " is not checked";
        finding.advice =
            "--idle-seconds " + std::to_string(static_cast<long long>(limit.count() / 1000) + 1) +
            " checks it" +
            (seen.advertised < 0 ? "; " + std::string(kAdvertiseIdleTimeOut) : std::string());
    }
}

}  // namespace

Finding JudgeKeepAlive(const KeepAliveSeen& seen, const AdapterLimits& limits)
{
    if (seen.closesAfterEachAnswer) {
        return Make("keep-alive", Health::Ok,
                    "the connection is closed after every answer: the adapter opens one per "
                    "request, and no idle connection can go stale",
                    kNothingToDo);
    }
    if (!seen.watched) {
        return Make("keep-alive", Health::Skipped, "not watched: doctor's time ran out before it",
                    "run doctor again");
    }
    const Millis limit = AdapterIdleLimit(limits, seen.advertised);
    Finding finding = Make("keep-alive", Health::Ok, "", kNothingToDo);
    Fact(finding, "advertised_timeout_s",
         seen.advertised < 0 ? nullptr : json_object_new_int64(seen.advertised));
    Fact(finding, "adapter_idle_limit_ms", JsonMillis(limit));
    Fact(finding, "ended_by_peer", seen.idle.how.empty() ? nullptr : JsonText(seen.idle.how));
    Fact(finding, "idle_ms", JsonMillis(seen.idle.after));
    const std::string seenIdle =
        seen.idle.how.empty()
            ? "held idle for " + Duration(seen.idle.after) +
                  (seen.after && seen.after->complete ? " and still answering" : "")
            : "an idle connection was " + seen.idle.how + " after " + Duration(seen.idle.after);
    const std::string said = seen.advertised < 0
                                 ? "without saying when (no Keep-Alive: timeout)"
                                 : "saying Keep-Alive: timeout=" + std::to_string(seen.advertised);
    finding.text = seenIdle + ", " + said + "; the adapter reuses an idle connection for up to " +
                   Duration(limit);
    if (seen.idle.how.empty()) {
        JudgeHeldConnection(finding, seen, limit);
    } else {
        JudgeIdleEnd(finding, seen, limit, limits);
    }
    return finding;
}

Finding JudgeTimeOuts(const std::vector<Connected>& connections, const std::vector<Answer>& answers,
                      const AdapterLimits& limits, bool proxySeen)
{
    std::vector<Millis> connectTimes;
    std::vector<Millis> answerTimes;
    for (const Connected& c : connections) {
        if (c.problem.empty()) {
            connectTimes.push_back(c.took);
        }
    }
    for (const Answer& a : answers) {
        if (a.complete) {
            answerTimes.push_back(a.took);
        }
    }
    const Millis connect = Slowest(connectTimes);
    const Millis answer = Slowest(answerTimes);
    Finding finding =
        Make("time-outs", Health::Ok,
             "slowest connect " + Duration(connect) + " of the adapter's " +
                 Duration(limits.connect) + ", slowest answer " + Duration(answer) + " of its " +
                 Duration(limits.read) + " per read (" + Duration(limits.total) + " per exchange)",
             "");
    Fact(finding, "slowest_connect_ms", JsonMillis(connect));
    Fact(finding, "slowest_answer_ms", JsonMillis(answer));
    Fact(finding, "adapter_connect_ms", JsonMillis(limits.connect));
    Fact(finding, "adapter_read_ms", JsonMillis(limits.read));
    Fact(finding, "adapter_exchange_ms", JsonMillis(limits.total));
    const std::string proxyAdvice =
        "set the proxy's read time-out (nginx proxy_read_timeout, "
        "HAProxy timeout server) above the gateway's slowest answer: "
        "a poll it cuts short loses results for good";
    if (connect > limits.connect * kConnectShareWarned || answer > limits.read * kReadShareWarned) {
        finding.health = Health::Warning;
        finding.text +=
            ": a harmless request this slow leaves little room for a photo upload or "
            "a poll of many results";
        finding.advice = "find what slows the gateway or the network before a large sync" +
                         (proxySeen ? "; " + proxyAdvice : std::string());
    } else {
        finding.advice = proxySeen ? proxyAdvice
                                   : "nothing to do; a proxy in front, seen or not, needs a read "
                                     "time-out above the gateway's slowest answer, or a poll it "
                                     "cuts short loses results for good";
    }
    return finding;
}

Finding JudgeBody(const BodyProbe& probe, std::size_t maxPhotoBytes)
{
    Finding finding = Make("body", Health::Ok, "", kNothingToDo);
    Fact(finding, "target_bytes", json_object_new_int64(static_cast<long long>(probe.target)));
    Fact(finding, "largest_accepted_bytes",
         json_object_new_int64(static_cast<long long>(probe.largestAccepted)));
    const std::string photo = "a photo of " + Mib(maxPhotoBytes) + " (--max-photo-bytes) needs " +
                              Bytes(probe.target) + " (its base64 text and the record around it)";
    if (probe.smallestRefused == 0) {
        finding.text = "a body of " + Bytes(probe.largestAccepted) + " went through: " + photo;
        return finding;
    }
    Fact(finding, "smallest_refused_bytes",
         json_object_new_int64(static_cast<long long>(probe.smallestRefused)));
    finding.health = Health::Warning;
    const std::string how = probe.refusal.complete ? "refused with " + StatusText(probe.refusal)
                                                   : "not answered (" + probe.refusal.problem + ")";
    finding.text = "a body of " + Bytes(probe.smallestRefused) + " was " + how +
                   "; the largest accepted was " + Bytes(probe.largestAccepted) + ", and " + photo;
    const std::size_t fits = probe.largestAccepted > kRecordAroundPhoto
                                 ? (probe.largestAccepted - kRecordAroundPhoto) / 4 * 3
                                 : 0;
    finding.advice = "raise the limit to at least " + Bytes(probe.target) +
                     " (nginx: client_max_body_size 12m; the gateway's own setting), or keep "
                     "photos under " +
                     Mib(fits) + " (--max-photo-bytes)";
    return finding;
}

std::size_t BodyTarget(std::size_t maxPhotoBytes)
{
    return (maxPhotoBytes + 2) / 3 * 4 + kRecordAroundPhoto;
}

}  // namespace facepad::cli::doctor
