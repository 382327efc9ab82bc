// What the simulator's tests share: the gateway, the protocol's names and the test helpers.
#pragma once

#include <gtest/gtest.h>

#include <chrono>

#include "facepad_protocol.h"
#include "gateway.h"
#include "sim_test_helpers.h"

namespace endpoint = facepad::endpoint;
namespace code = facepad::result_code;
using facepad::sim::Gateway;
using facepad::sim::GatewayData;
using namespace std::chrono_literals;
using simtest::CommandBody;
using simtest::DrainResults;
using simtest::PhotoJson;
using simtest::PinJson;
using simtest::Result;
using simtest::Scratch;
using simtest::UserJson;
