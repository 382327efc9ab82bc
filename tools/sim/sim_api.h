// The simulator's own paths beside the gateway's: the page at "/", and under "/_sim/" the state,
// the request journal, the photos as images and the controls (connect, disconnect, the next
// result's code, reset). Nothing here changes what a gateway path answers, except through the
// controls' effect on the state.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <string>

#include "gateway_state.h"
#include "request_journal.h"

namespace facepad::sim {

struct ApiRequest {
    std::string method;
    std::string path;
    std::multimap<std::string, std::string> params;  // the query string, decoded
};

struct ApiReply {
    int status = 200;
    std::string contentType = "application/json";
    std::string body;
    std::string allow;  // for 405: the methods the path takes
};

class SimApi {
public:
    SimApi(GatewayState& state, RequestJournal& journal);

    // True for "/" and everything under "/_sim/": paths the gateway itself never had.
    static bool Serves(const std::string& path);
    // Never throws; every refusal carries its reason as text.
    ApiReply Serve(const ApiRequest& request);

private:
    using Handler = ApiReply (SimApi::*)(const ApiRequest& request);
    struct Route {
        const char* method;
        const char* path;
        Handler handler;
        std::vector<std::string> params;  // the query parameters it takes; others are refused
    };
    static const std::vector<Route>& Routes();

    ApiReply Asset(const ApiRequest& request);
    ApiReply State(const ApiRequest& request);
    std::string ReadUserFilter(const ApiRequest& request, UserFilter& filter);
    ApiReply Journal(const ApiRequest& request);
    ApiReply Photo(const ApiRequest& request);
    ApiReply Connect(const ApiRequest& request);
    ApiReply Disconnect(const ApiRequest& request);
    ApiReply NextResult(const ApiRequest& request);
    ApiReply Reset(const ApiRequest& request);
    ApiReply SetConnection(const ApiRequest& request, bool connected);
    ApiReply Dispatch(const ApiRequest& request);
    std::uint64_t Version() const;
    ApiReply ControlDone();

    GatewayState& m_state;
    RequestJournal& m_journal;
    std::atomic<std::uint64_t> m_controls{0};
};

}  // namespace facepad::sim
