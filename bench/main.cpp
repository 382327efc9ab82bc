// The benchmark program behind scripts/bench. Every figure is measured beside a baseline from the
// same run against the same in-process gateway (the tests' own), and the run ends in one table.
//
//   vv_bench            the figures of docs/benchmarks.md (a few minutes)
//   vv_bench --bulk     the long bulk run alone
//   vv_bench --replies  the hostile-reply figures alone
//   vv_bench --smoke    every figure at a tiny size, nothing judged: proves the program works
//   vv_bench --filter=REGEX   only the timed figures whose name matches (for profiling)

#include "bench.h"

namespace vvbench {

namespace {

// The figures are ratios, but a reader still wants to know how busy the machine was.
std::string LoadAverage()
{
    std::string oneMinute;
    std::ifstream("/proc/loadavg") >> oneMinute;
    return oneMinute;
}

// A ratio means something only if both sides did the same work: same request bytes, same map.
bool SameWorkOnBothSides(Subjects& subjects)
{
    subjects.gateway.SetRecording(true);
    ParamMap user = subjects.user;
    const bool sameUser =
        subjects.adapter.AddUser(kCommandId, kSerial, user) &&
        subjects.gateway.RequestsTo("facepad/adduser").back().body == subjects.userBody;
    const bool samePhoto = subjects.adapter.SetBiophoto(kCommandId, kSerial, subjects.photo) &&
                           subjects.gateway.RequestsTo("facepad/setbiophoto").back().body ==
                               BodyWithJsonC(subjects.photo);
    subjects.gateway.SetRecording(false);
    ResultMap parsed;
    ResultMap walked;
    const bool sameMap = subjects.adapter.JsonDataToMapData(subjects.smallList, parsed) &&
                         WalkResultListWithJsonC(subjects.smallList, walked) && parsed == walked;
    std::fprintf(stderr, "AddUser, SetBiophoto, parse: same work %d %d %d\n", sameUser, samePhoto,
                 sameMap);
    return sameUser && samePhoto && sameMap;
}

RunScale FullScale()
{
    return RunScale{true, 20, 0.1, 0.3,    5u * 1024u * 1024u, 50, 1000, 100000,
                    5,    20, 7,   500000, 16u << 20};
}

RunScale SmokeScale()
{
    return RunScale{false, 1, 0.01, 0.01, 64u * 1024u, 3, 10, 100, 5, 1, 1, 400, 64u << 10};
}

int RunFigures(const RunScale& scale, bool bulkOnly, bool withBulk, const std::string& filter,
               bool repliesOnly)
{
    const std::string loadBefore = LoadAverage();
    TestGateway gateway;
    gateway.SetRecording(false);
    gateway.SetReply("facepad/getresult", {200, "result=[]"});
    FigureTable table;
    if (repliesOnly) {
        AddHostileReplyRows(gateway, scale, table);
        return PrintTable(table) ? 0 : 1;
    }
    if (!bulkOnly) {
        auto adapter = AdapterAt(gateway.Port());
        Subjects subjects{gateway,
                          *adapter,
                          RealisticUser(),
                          BodyWithJsonC(RealisticUser()),
                          PhotoRecord(scale.photoBytes),
                          ResultList(scale.smallList, scale.entriesPerElement),
                          ResultList(scale.largeList, scale.entriesPerElement)};
        if (!SameWorkOnBothSides(subjects)) {
            return 2;
        }
        AddTimedRows(subjects, scale, filter, table);
        adapter.reset();  // the figures below construct their own
        if (filter.empty()) {
            AddDestructorRow(gateway, scale, table);
            AddPhotoMemoryRows(gateway.Port(), scale, table);
            AddReplyMemoryRows(gateway, scale, table);
            AddPinnedRoundTripRow(scale, table);
            AddIdleCpuRow(gateway, scale, table);
            AddHostileReplyRows(gateway, scale, table);
        }
    }
    if (withBulk) {
        AddBulkRows(scale, table);
    }
    std::printf("load average %s at start, %s at end\n\n", loadBefore.c_str(),
                LoadAverage().c_str());
    return PrintTable(table) ? 0 : 1;
}

}  // namespace

}  // namespace vvbench

int main(int argc, char** argv)
{
    if (argc > 1 && std::string(argv[1]) == "--child") {
        return vvbench::RunChild(std::vector<std::string>(argv + 2, argv + argc));
    }
    bool smoke = false;
    bool bulk = false;
    bool replies = false;
    std::string filter;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        smoke = smoke || argument == "--smoke";
        bulk = bulk || argument == "--bulk";
        replies = replies || argument == "--replies";
        filter = argument.rfind("--filter=", 0) == 0 ? argument.substr(9) : filter;
    }
    return vvbench::RunFigures(smoke ? vvbench::SmokeScale() : vvbench::FullScale(), bulk && !smoke,
                               bulk || smoke, filter, replies && !smoke);
}
