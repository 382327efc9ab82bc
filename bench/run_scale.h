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
        RunScale scale{};
        scale.judged = true;
        scale.repetitions = 20;
        scale.roundTripMinSeconds = 0.1;
        scale.heavyMinSeconds = 0.3;
        scale.photoBytes = 5u * 1024u * 1024u;
        scale.photoMemoryCalls = 50;
        scale.smallList = 1000;
        scale.largeList = 100000;
        scale.entriesPerElement = 5;
        scale.idleWall = std::chrono::seconds(20);
        scale.destructorRounds = 7;
        scale.bulkCommands = 500000;
        scale.bulkThreads = 4;
        return scale;
    }
    static RunScale Smoke()
    {
        RunScale scale = Full();
        scale.judged = false;
        scale.repetitions = 1;
        scale.roundTripMinSeconds = 0.01;
        scale.heavyMinSeconds = 0.01;
        scale.photoBytes = 64u * 1024u;
        scale.photoMemoryCalls = 3;
        scale.smallList = 10;
        scale.largeList = 100;
        scale.idleWall = std::chrono::seconds(1);
        scale.destructorRounds = 1;
        scale.bulkCommands = 400;
        return scale;
    }
};

}  // namespace vvbench
