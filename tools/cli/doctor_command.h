// `facepad-cli doctor`: what stands between this host and the gateway, checked in order (the
// name, the connections, a harmless request's answer and round trip, who answers, keep-alive, the
// adapter's time-outs, optionally the largest body), each with a verdict and the next step. It
// asks nothing but "facepad/getavailable": no result is taken, nothing changes on the gateway.
#pragma once

#include <CLI/CLI.hpp>

#include "command_line.h"

namespace facepad::cli {

void AddDoctorCommand(CLI::App& app, CommandLine& line);

}  // namespace facepad::cli
