// How much work each figure does: the full run that the table in the README comes from, and a
// smoke run that only proves every figure still works.
#pragma once

#include <chrono>
#include <cstddef>

namespace vvbench {

struct RunScale {
    bool judged;      // false: figures are printed but not held to their targets
    int repetitions;  // interleaved at random, so that a drifting machine hits both sides alike
    double roundTripMinSeconds;
    double heavyMinSeconds;  // the 5 MB photo and the parser
    std::size_t photoBytes;
    int photoMemoryCalls;
    std::size_t smallList;
    std::size_t largeList;
    std::size_t entriesPerElement;
    std::chrono::seconds idleWall;
    int destructorRounds;
    std::size_t bulkCommands;
    int bulkThreads;

    static RunScale Full()
    {
        return RunScale{true, 10,     0.25,   0.5, 5u * 1024u * 1024u,
                        50,   1000,   100000, 5,   std::chrono::seconds(20),
                        7,    500000, 4};
    }
    static RunScale Smoke()
    {
        return RunScale{false, 1,   0.01, 0.01, 64u * 1024u, 3, 10, 100, 5, std::chrono::seconds(1),
                        1,     400, 4};
    }
};

}  // namespace vvbench
