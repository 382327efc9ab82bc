#include "sim_api.h"

#include <exception>
#include <limits>

#include "body_fields.h"
#include "photo_image.h"
#include "sim_api_documents.h"
#include "web_assets.h"

namespace facepad::sim {

namespace {

constexpr char kPrefix[] = "/_sim/";
// A state document stays well under 2 MB: at most this many users, results and unlocks.
constexpr std::size_t kMostUsersListed = 1000;
constexpr std::size_t kEventsListed = 100;

ApiReply Refused(int status, const std::string& reason)
{
    return ApiReply{status, "text/plain; charset=utf-8", reason, std::string()};
}

ApiReply Json(std::string document)
{
    return ApiReply{200, "application/json", std::move(document), std::string()};
}

// The one value of `name`, or empty; Routes() has already refused duplicates.
std::string Param(const ApiRequest& request, const char* name)
{
    const auto found = request.params.find(name);
    return found == request.params.end() ? std::string() : found->second;
}

// Empty when the query holds only parameters the route takes, each once; otherwise why not.
std::string CheckParams(const ApiRequest& request, const std::vector<std::string>& allowed)
{
    for (const auto& [name, value] : request.params) {
        bool known = false;
        for (const std::string& each : allowed) {
            known = known || each == name;
        }
        if (!known) {
            return "unknown parameter " + Quoted(name) + " for " + request.path;
        }
        if (request.params.count(name) > 1) {
            return "parameter " + Quoted(name) + " given more than once";
        }
    }
    return std::string();
}

// Empty when `text` is a result code the adapter could read, otherwise why not.
std::string CheckResultCode(const std::string& text)
{
    const auto number = ParseDecimal(text);
    if (!number || *number < std::numeric_limits<int>::min() ||
        *number > std::numeric_limits<int>::max()) {
        return "code must be a whole number such as 0 or -1003, got " + Quoted(text);
    }
    return std::string();
}

}  // namespace

SimApi::SimApi(GatewayState& state, RequestJournal& journal) : m_state(state), m_journal(journal) {}

bool SimApi::Serves(const std::string& path)
{
    return path == "/" || path.compare(0, sizeof kPrefix - 1, kPrefix) == 0;
}

const std::vector<SimApi::Route>& SimApi::Routes()
{
    static const std::vector<Route> routes = {
        {"GET", "/", &SimApi::Asset, {}},
        {"GET", "/_sim/page.js", &SimApi::Asset, {}},
        {"GET", "/_sim/page.css", &SimApi::Asset, {}},
        {"GET", "/_sim/state", &SimApi::State, {"terminal", "search", "offset", "limit", "pin"}},
        {"GET", "/_sim/journal", &SimApi::Journal, {"path", "terminal", "since"}},
        {"GET", "/_sim/photo", &SimApi::Photo, {"terminal", "pin", "type"}},
        {"POST", "/_sim/connect", &SimApi::Connect, {"terminal"}},
        {"POST", "/_sim/disconnect", &SimApi::Disconnect, {"terminal"}},
        {"POST", "/_sim/next-result", &SimApi::NextResult, {"terminal", "code"}},
        {"POST", "/_sim/reset", &SimApi::Reset, {}},
    };
    return routes;
}

ApiReply SimApi::Serve(const ApiRequest& request)
{
    try {
        return Dispatch(request);
    } catch (const StoreError& error) {
        return Refused(500, std::string("state not changed: ") + error.what());
    } catch (const std::exception& error) {
        return Refused(500, std::string("internal error: ") + error.what());
    }
}

ApiReply SimApi::Dispatch(const ApiRequest& request)
{
    std::string allowed;
    for (const Route& route : Routes()) {
        if (request.path != route.path) {
            continue;
        }
        if (request.method != route.method) {
            allowed = route.method;
            continue;
        }
        const std::string problem = CheckParams(request, route.params);
        if (!problem.empty()) {
            return Refused(400, "bad request: " + problem);
        }
        return (this->*route.handler)(request);
    }
    if (!allowed.empty()) {
        ApiReply reply = Refused(
            405, request.method + " is not served on " + request.path + ": it takes " + allowed);
        reply.allow = allowed;
        return reply;
    }
    return Refused(404, "no such simulator path " + request.path +
                            " (see docs/simulator.md for the /_sim/ paths)");
}

std::uint64_t SimApi::Version() const
{
    return m_journal.Last() + m_controls.load();
}

ApiReply SimApi::ControlDone()
{
    ++m_controls;
    return Refused(200, "ok");
}

ApiReply SimApi::Asset(const ApiRequest& request)
{
    const WebAsset* asset = FindWebAsset(request.path);
    if (asset == nullptr) {
        return Refused(404, "no page file " + request.path);
    }
    return ApiReply{200, asset->contentType,
                    std::string(reinterpret_cast<const char*>(asset->data), asset->size),
                    std::string()};
}

// The page of users a state request asks for; empty when it can be served, otherwise why not.
std::string SimApi::ReadUserFilter(const ApiRequest& request, UserFilter& filter)
{
    filter.terminal = Param(request, "terminal");
    filter.search = Param(request, "search");
    filter.pin = Param(request, "pin");
    if (!filter.terminal.empty() && !m_state.Status(filter.terminal)) {
        return "unknown terminal " + Quoted(filter.terminal);
    }
    const std::pair<const char*, std::size_t*> numbers[] = {{"offset", &filter.offset},
                                                            {"limit", &filter.limit}};
    for (const auto& [name, into] : numbers) {
        const std::string text = Param(request, name);
        const auto number = text.empty() ? std::optional<long long>(static_cast<long long>(*into))
                                         : ParseDecimal(text);
        if (!number || *number < 0) {
            return std::string(name) + " must be a whole number, 0 or more, got " + Quoted(text);
        }
        *into = static_cast<std::size_t>(*number);
    }
    if (filter.limit < 1 || filter.limit > kMostUsersListed) {
        return "limit must be from 1 to " + std::to_string(kMostUsersListed);
    }
    return std::string();
}

ApiReply SimApi::State(const ApiRequest& request)
{
    UserFilter filter;
    const std::string problem = ReadUserFilter(request, filter);
    if (!problem.empty()) {
        return Refused(400, "bad request: " + problem);
    }
    // The version first: a change landing in between shows as a newer version next time.
    const std::uint64_t version = Version();
    return Json(StateDocument(m_state.Overview(filter, kEventsListed), filter, version));
}

ApiReply SimApi::Journal(const ApiRequest& request)
{
    JournalFilter filter;
    filter.path = Param(request, "path");
    if (!filter.path.empty() && filter.path[0] != '/') {
        filter.path.insert(0, "/");  // "facepad/adduser" names the same path as the journal's
    }
    filter.terminal = Param(request, "terminal");
    const std::string since = Param(request, "since");
    if (!since.empty()) {
        const auto number = ParseDecimal(since);
        if (!number || *number < 0) {
            return Refused(400, "bad request: since must be a journal number (0 or more), got " +
                                    Quoted(since));
        }
        filter.since = static_cast<std::uint64_t>(*number);
    }
    const std::uint64_t version = Version();
    return Json(JournalDocument(m_journal.Read(filter), m_journal.Capacity(), version));
}

ApiReply SimApi::Photo(const ApiRequest& request)
{
    const std::string serial = Param(request, "terminal");
    const std::string pin = Param(request, "pin");
    const auto type = ParseDecimal(Param(request, "type"));
    if (serial.empty() || pin.empty() || !type || *type < std::numeric_limits<int>::min() ||
        *type > std::numeric_limits<int>::max()) {
        return Refused(400, "bad request: photo takes terminal, pin and a numeric type");
    }
    const auto photo = m_state.Photo(serial, pin, static_cast<int>(*type));
    if (!photo) {
        return Refused(404, "no photo of type " + std::to_string(*type) + " for user " + pin +
                                " on terminal " + serial);
    }
    if (photo->content.empty()) {
        return Refused(404, "the photo has no content, only the url " + Quoted(photo->url));
    }
    const auto bytes = DecodeBase64(photo->content);
    if (!bytes) {
        return Refused(422, "the photo's content is not base64, so it cannot be shown");
    }
    return ApiReply{200, ImageContentType(*bytes), *bytes, std::string()};
}

ApiReply SimApi::SetConnection(const ApiRequest& request, bool connected)
{
    const std::string serial = Param(request, "terminal");
    if (serial.empty()) {
        return Refused(400, "bad request: terminal is missing");
    }
    const std::string refusal = m_state.SetConnected(serial, connected);
    return refusal.empty() ? ControlDone() : Refused(400, "bad request: " + refusal);
}

ApiReply SimApi::Connect(const ApiRequest& request)
{
    return SetConnection(request, true);
}

ApiReply SimApi::Disconnect(const ApiRequest& request)
{
    return SetConnection(request, false);
}

ApiReply SimApi::NextResult(const ApiRequest& request)
{
    const std::string serial = Param(request, "terminal");
    const std::string code = Param(request, "code");
    if (serial.empty()) {
        return Refused(400, "bad request: terminal is missing");
    }
    const std::string badCode = CheckResultCode(code);
    if (!badCode.empty()) {
        return Refused(400, "bad request: " + badCode);
    }
    const std::string refusal = m_state.ForceNextResult(serial, code);
    return refusal.empty() ? ControlDone() : Refused(400, "bad request: " + refusal);
}

ApiReply SimApi::Reset(const ApiRequest& /*request*/)
{
    m_state.Reset();
    m_journal.Clear();
    return ControlDone();
}

}  // namespace facepad::sim
