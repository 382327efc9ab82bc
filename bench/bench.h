// What the figures of vv_bench share: the scale of the run, the one table they fill, the records
// they send and parse, and the baselines they are set beside.
#pragma once

#include <httplib.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "CLS_VurodoroViri_Druvel.h"
#include "test_gateway.h"

namespace vvbench {

using Osmer_Framework::Face::VurodoroViri_Druvel;
using vvtest::TestGateway;
using ParamMap = std::map<std::string, std::string>;
using ResultMap = std::map<std::string, std::map<std::string, std::string>>;

constexpr const char* kCommandId = "4711";
constexpr const char* kSerial = "VVT-2024-000173";

// The full run docs/benchmarks.md comes from, or a smoke run that only proves every figure works.
struct RunScale {
    bool judged;      // false: figures are printed, not held to their targets
    int repetitions;  // interleaved at random, so that a drifting machine hits both sides alike
    double roundTripMinSeconds;
    double heavyMinSeconds;  // the parser
    std::size_t photoBytes;
    int photoMemoryCalls;
    std::size_t smallList;
    std::size_t largeList;
    std::size_t entriesPerElement;
    int idleSeconds;
    int destructorRounds;
    std::size_t bulkCommands;
    std::size_t hostileReplyBytes;
};

// One row per figure: figure, adapter, baseline (same run), ratio, target, verdict.
using FigureRow = std::array<std::string, 6>;
using FigureTable = std::vector<FigureRow>;
// Prints the table; false when a figure failed.
bool PrintTable(const FigureTable& table);
// "PASS", "FAIL" or "-" (reported, not judged). A figure that lost requests fails whatever its
// speed; a smoke run judges nothing else.
std::string Judge(bool judged, bool withinTarget, double failures = 0);
std::string Fixed(double value, int decimals);
std::string Ratio(double ratio);  // "1.04x"

// The records, and the bytes a bare client builds for them with json-c (the adapter's own bytes).
ParamMap RealisticUser();
ParamMap PhotoRecord(std::size_t contentBytes);     // base64 text, as terminals take JPEGs
std::string BodyWithJsonC(const ParamMap& record);  // a user, or a photo with "content"
// The json-c calls each AddUser makes for a user's document, without writing its text.
void BuildAndReleaseDocument(const ParamMap& user);
// `elements` terminals of `entries` results each, in the gateway's format.
std::string ResultList(std::size_t elements, std::size_t entries);
// `open`, then `item` repeated with `separator` between, then `close`: at most `bytes` long.
std::string FilledList(const std::string& open, const std::string& item,
                       const std::string& separator, const std::string& close, std::size_t bytes);
// The parser's baseline: the least a caller can do with json-c to fill the result map.
bool WalkResultListWithJsonC(const std::string& list, ResultMap& results);

std::unique_ptr<VurodoroViri_Druvel> AdapterAt(int port);
// cpp-httplib used the way a careful caller would: keep-alive and TCP_NODELAY on.
class BarePoster {
public:
    explicit BarePoster(int port) : m_client("127.0.0.1", port)
    {
        m_client.set_keep_alive(true);
        m_client.set_tcp_nodelay(true);
    }
    bool Post(const char* path, const std::string& body)  // true on 200
    {
        const auto result = m_client.Post(path, body, "text/plain");
        return result && result->status == 200;
    }

private:
    httplib::Client m_client;
};

struct Subjects {
    TestGateway& gateway;
    VurodoroViri_Druvel& adapter;
    ParamMap user;
    std::string userBody;
    ParamMap photo;
    std::string smallList;
    std::string largeList;
};

// Runs the timed figures under Google Benchmark; with a filter, only the matching ones, printed by
// Google Benchmark itself (for profiling) instead of as rows.
void AddTimedRows(Subjects& subjects, const RunScale& scale, const std::string& filter,
                  FigureTable& table);
// Needs the process to have no other adapter alive.
void AddDestructorRow(TestGateway& gateway, const RunScale& scale, FigureTable& table);
void AddBulkRows(const RunScale& scale, FigureTable& table);
// Memory and idle CPU are measured in a fresh copy of this program, with the gateway outside it.
void AddPhotoMemoryRows(int port, const RunScale& scale, FigureTable& table);
void AddIdleCpuRow(TestGateway& gateway, const RunScale& scale, FigureTable& table);
void AddHostileReplyRows(TestGateway& gateway, const RunScale& scale, FigureTable& table);
// 16 MiB replies read by 8 threads and dropped, and one kept: peak and lasting resident memory.
void AddReplyMemoryRows(TestGateway& gateway, const RunScale& scale, FigureTable& table);
// AddUser beside a raw blocking socket posting the same bytes, gateway and both clients on one
// core.
void AddPinnedRoundTripRow(const RunScale& scale, FigureTable& table);
// The child side, started as "vv_bench --child FIGURE ARGUMENTS...".
int RunChild(const std::vector<std::string>& arguments);
int RunReplyMemoryChild(int port, bool kept, int threads, int calls);
int RunPinnedRoundTripChild(std::size_t requests, int repetitions);

// Helpers of the child processes.
using Measurements = std::map<std::string, double>;
Measurements RunFreshProcess(const std::vector<std::string>& arguments);
void Report(const char* name, double value);
double ResidentKiB(const char* field);  // "VmRSS:" or "VmHWM:"
void ResetPeakResidentMemory();

}  // namespace vvbench
