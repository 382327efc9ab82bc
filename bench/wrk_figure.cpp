#include "wrk_figure.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace vvbench {

namespace {

// The request wrk sends: the same path, content type and body as the adapter's AddUser.
std::string WriteScript(const std::string& body)
{
    const std::string path = "/tmp/vv_bench_wrk_" + std::to_string(getpid()) + ".lua";
    std::ofstream script(path);
    script << "wrk.method = \"POST\"\n"
           << "wrk.headers[\"Content-Type\"] = \"text/plain\"\n"
           << "wrk.body = [==[" << body << "]==]\n";
    return path;
}

// Requests per second of one wrk run, 0 when wrk did not run.
double RunWrk(const std::string& script, int port, int seconds)
{
    const std::string command = "wrk -t1 -c1 -d" + std::to_string(seconds) + "s -s " + script +
                                " http://127.0.0.1:" + std::to_string(port) +
                                "/facepad/adduser 2>/dev/null";
    FILE* output = popen(command.c_str(), "r");
    if (output == nullptr) {
        return 0;
    }
    double rate = 0;
    char line[512];
    while (std::fgets(line, sizeof line, output) != nullptr) {
        std::sscanf(line, "Requests/sec: %lf", &rate);
    }
    pclose(output);
    return rate;
}

}  // namespace

void AddWrkRow(const RunCollector& runs, const BenchSubjects& subjects, const RunScale& scale,
               FigureTable& table)
{
    const std::string adapterName = "adduser/adapter";
    if (!runs.HasAll({adapterName}) || std::system("command -v wrk >/dev/null 2>&1") != 0) {
        return;
    }
    const std::string script = WriteScript(subjects.userBody);
    // Like the adapter's figure, the best of several runs: other processes only ever add time.
    double best = 0;
    const int rounds = scale.judged ? 5 : 1;
    for (int i = 0; i < rounds; ++i) {
        best = std::max(best, RunWrk(script, subjects.gateway.Port(), scale.judged ? 2 : 1));
    }
    std::remove(script.c_str());
    if (best <= 0) {
        return;
    }
    const double adapter = runs.SecondsPerOp(adapterName);
    const double wrk = 1.0 / best;
    table.Add({"AddUser round trip vs wrk -t1 -c1", Fixed(adapter * 1e6, 1) + " us",
               Fixed(wrk * 1e6, 1) + " us wrk", Ratio(adapter / wrk), "<= 1.10x",
               Judge(scale.judged, adapter / wrk <= 1.10)});
}

}  // namespace vvbench
