// What the timed figures work on, set up once by main before the benchmarks run.
#pragma once

#include <string>

#include "CLS_VurodoroViri_Druvel.h"
#include "loopback_gateway.h"
#include "sample_records.h"

namespace vvbench {

struct BenchSubjects {
    LoopbackGateway& gateway;
    Osmer_Framework::Face::VurodoroViri_Druvel& adapter;
    ParamMap user;
    std::string userBody;  // the bytes AddUser sends for `user`
    ParamMap photo;
    std::string smallList;
    std::string largeList;
};

}  // namespace vvbench
