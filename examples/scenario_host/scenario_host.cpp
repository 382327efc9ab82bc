// A host session from start to end, for the demo: set the gateway up, bind two terminals, add
// three users, send a photo, unlock a door, ask for terminal status, then wait for the terminals'
// results to arrive through the callback and shut down.
//   scenario_host PORT [BASE_URL]
// The terminals FACE-0001 and FACE-0002 must be known to the gateway and connected; FACE-0003 known
// and not connected (scripts/demo starts the simulator so).
#include <CLS_VurodoroViri_Druvel.h>
#include <ox_toolkit.h>

#include <chrono>
#include <condition_variable>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <string>

using Osmer_Framework::Face::CLS_VurodoroViri_Base;
using Osmer_Framework::Face::VurodoroViri_Druvel;
using ParamMap = std::map<std::string, std::string>;
using ResultMap = std::map<std::string, std::map<std::string, std::string>>;

namespace {

const std::string kFirst = "FACE-0001";
const std::string kSecond = "FACE-0002";
const std::string kOffline = "FACE-0003";
constexpr auto kResultWait = std::chrono::seconds(30);

// A tiny stand-in photo (a 16x16 JPEG gradient), base64 as photo records carry it.
const char kPhotoBase64[] =
    "/9j/4AAQSkZJRgABAQAAAQABAAD/2wBDAAoHBwgHBgoICAgLCgoLDhgQDg0NDh0VFhEYIx"
    "8lJCIfIiEmKzcvJik0KSEiMEExNDk7Pj4+JS5ESUM8SDc9Pjv/2wBDAQoLCw4NDhwQEBw7"
    "KCIoOzs7Ozs7Ozs7Ozs7Ozs7Ozs7Ozs7Ozs7Ozs7Ozs7Ozs7Ozs7Ozs7Ozs7Ozs7Ozs7Oz"
    "v/wAARCAAQABADASIAAhEBAxEB/8QAFgABAQEAAAAAAAAAAAAAAAAAAAMG/8QAFhAAAwAA"
    "AAAAAAAAAAAAAAAAABRh/8QAFAEBAAAAAAAAAAAAAAAAAAAABf/EABcRAQADAAAAAAAAAA"
    "AAAAAAAAATFGH/2gAMAwEAAhEDEQA/AKJQJQ0CUCUEr+ho3//Z";

const auto g_start = std::chrono::steady_clock::now();

// Every line carries the seconds since start, so the wait for the first poll is visible.
void Say(const char* format, ...)
{
    static std::mutex mutex;
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - g_start).count();
    std::lock_guard<std::mutex> lock(mutex);
    std::printf("[%5.2fs] ", seconds);
    va_list args;
    va_start(args, format);
    std::vprintf(format, args);
    va_end(args);
    std::printf("\n");
    std::fflush(stdout);
}

void PrintAdapterLog(int level, const char* /*file*/, int /*line*/, const char* message)
{
    Say("  adapter log (level %d): %s", level, message);
}

// What each command is for and which result the simulator should report for it. The callback has
// no context pointer, so this is shared through globals.
struct Expectation {
    std::string what;
    std::string expected;  // "0": done; the simulator reports -1003 for an unknown user
    bool arrived = false;
};
std::mutex g_mutex;
std::condition_variable g_arrived;
std::map<std::pair<std::string, std::string>, Expectation> g_expected;  // (serial, id)
int g_mismatches = 0;

void Expect(const std::string& serial, const std::string& id, const std::string& what,
            const std::string& expected)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_expected[{serial, id}] = Expectation{what, expected, false};
}

bool AllArrived()
{
    for (const auto& entry : g_expected) {
        if (!entry.second.arrived) {
            return false;
        }
    }
    return true;
}

void Record(const std::string& serial, const std::string& id, const std::string& value)
{
    const auto found = g_expected.find({serial, id});
    if (found == g_expected.end()) {
        Say("result: %s command %s -> %s (not one of ours)", serial.c_str(), id.c_str(),
            value.c_str());
        return;
    }
    Expectation& expectation = found->second;
    expectation.arrived = true;
    const bool asExpected = value == expectation.expected;
    g_mismatches += asExpected ? 0 : 1;
    Say("result: %s command %s (%s) -> %s%s", serial.c_str(), id.c_str(), expectation.what.c_str(),
        value.c_str(), asExpected ? (value == "0" ? " done" : " as expected") : " UNEXPECTED");
}

// Runs on the adapter's polling thread. Clears what it handled, so nothing is delivered twice.
int OnResults(ResultMap& results)
{
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        for (const auto& terminal : results) {
            for (const auto& entry : terminal.second) {
                Record(terminal.first, entry.first, entry.second);
            }
        }
    }
    results.clear();
    g_arrived.notify_all();
    return 0;
}

bool Step(const std::string& what, bool accepted)
{
    Say("%-56s %s", what.c_str(), accepted ? "accepted" : "REFUSED");
    return accepted;
}

bool SetUpGateway(CLS_VurodoroViri_Base& gateway)
{
    ParamMap unused;
    std::string listenPort = "10001";
    std::string reset = "1";
    ParamMap init{{"type", "1"},       {"AttLog", "1"},  {"OpLog", "1"}, {"AttPhoto", "1"},
                  {"EnrollUser", "1"}, {"ChgUser", "1"}, {"FACE", "1"},  {"UserPic", "1"},
                  {"BioPhoto", "1"},   {"TimeOut", "30"}};
    bool ok = Step("ask for available terminals", gateway.GetAvailableFace(unused));
    ok &= Step("set the gateway's listen port to 10001",
               gateway.SetListenPortFace(listenPort, reset));
    ok &= Step("send the 14 init settings", gateway.SetInitParamFace(init));
    ok &= Step("bind " + kFirst + " to channel 1",
               gateway.BindVurodoroViri(kFirst, 1, "", "", "", ""));
    ok &= Step("bind " + kSecond + " to channel 2",
               gateway.BindVurodoroViri(kSecond, 2, "", "", "", ""));
    return ok;
}

bool AddUser(CLS_VurodoroViri_Base& gateway, const std::string& id, const std::string& serial,
             const std::string& pin, const std::string& name, const std::string& card)
{
    const std::string what = "add user " + pin + " (" + name + ") to " + serial;
    Expect(serial, id, what, "0");
    ParamMap user{{"pin", pin}, {"name", name}, {"pri", "0"}, {"verify", "0"}, {"card", card}};
    return Step(what + " as command " + id, gateway.AddUser(id, serial, user));
}

bool ManagePeople(CLS_VurodoroViri_Base& gateway)
{
    bool ok = AddUser(gateway, "101", kFirst, "1001", "Ada Lovelace", "0012345");
    ok &= AddUser(gateway, "102", kFirst, "1002", "Alan Turing", "0012346");
    ok &= AddUser(gateway, "103", kSecond, "1003", "Grace Hopper", "0012347");

    Expect(kFirst, "104", "photo of user 1001", "0");
    ParamMap photo{{"pin", "1001"},
                   {"type", "9"},
                   {"size", std::to_string(sizeof kPhotoBase64 - 1)},
                   {"content", kPhotoBase64},
                   {"format", "0"}};
    ok &=
        Step("send a photo of user 1001 as command 104", gateway.SetBiophoto("104", kFirst, photo));

    Expect(kFirst, "105", "delete user 9999, who does not exist", "-1003");
    ParamMap nobody{{"pin", "9999"}};
    ok &= Step("delete user 9999 (unknown) as command 105", gateway.DelUser("105", kFirst, nobody));
    return ok;
}

bool OpenDoorAndAskStatus(CLS_VurodoroViri_Base& gateway)
{
    Expect(kFirst, "106", "unlock the door", "0");
    bool ok = Step("unlock the door of " + kFirst + " as command 106",
                   gateway.ControlDeviceFace("106", kFirst, "", "", ""));
    const bool firstConnected = gateway.GetTerminalStatusFace(kFirst);
    Say("%-56s %s", ("status of " + kFirst).c_str(),
        firstConnected ? "connected" : "NOT connected");
    const bool offlineConnected = gateway.GetTerminalStatusFace(kOffline);
    Say("%-56s %s", ("status of " + kOffline).c_str(),
        offlineConnected ? "CONNECTED" : "not connected");
    return ok && firstConnected && !offlineConnected;
}

bool WaitForResults()
{
    Say("waiting for the results (the adapter polls first 8 s after it started)...");
    std::unique_lock<std::mutex> lock(g_mutex);
    const bool all = g_arrived.wait_for(lock, kResultWait, [] { return AllArrived(); });
    if (!all) {
        for (const auto& entry : g_expected) {
            if (!entry.second.arrived) {
                Say("no result for %s command %s (%s)", entry.first.first.c_str(),
                    entry.first.second.c_str(), entry.second.what.c_str());
            }
        }
    }
    return all && g_mismatches == 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: scenario_host PORT [BASE_URL]\n");
        return 2;
    }
    ox_libos_log_debug_ex = &PrintAdapterLog;
    auto* druvel = new VurodoroViri_Druvel();
    druvel->SetRequestPort(std::atoi(argv[1]));
    if (argc > 2) {
        druvel->SetUrl(argv[2]);
    }
    CLS_VurodoroViri_Base* gateway = druvel;
    gateway->SetResultCallbackFace(&OnResults);
    Say("adapter constructed; gateway at %s", druvel->GetFullPostUrl("facepad/").c_str());

    bool ok = SetUpGateway(*gateway);
    ok &= ManagePeople(*gateway);
    ok &= OpenDoorAndAskStatus(*gateway);
    ok &= WaitForResults();

    delete gateway;  // stops the polling thread
    Say(ok ? "scenario finished: every expected result arrived"
           : "scenario FAILED: see the lines above");
    return ok ? 0 : 1;
}
