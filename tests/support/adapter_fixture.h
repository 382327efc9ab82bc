// The usual test set-up: a test gateway, a log capture and an adapter pointed at the gateway.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

#include "CLS_VurodoroViri_Druvel.h"
#include "VurodoroViri_TestAccess.h"
#include "log_capture.h"
#include "test_gateway.h"

namespace vvtest {

using Osmer_Framework::Face::VurodoroViri_Druvel;
using Osmer_Framework::Face::VurodoroViri_TestAccess;
using ParamMap = std::map<std::string, std::string>;
using ResultMap = std::map<std::string, std::map<std::string, std::string>>;

class AdapterTest : public ::testing::Test {
protected:
    // Polling runs at real speed unless a test shortens the nap; then the first poll still comes
    // 80 naps after construction.
    void SetUp() override
    {
        gateway = std::make_unique<TestGateway>();
        log = std::make_unique<LogCapture>();
        NewAdapter();
        log->Clear();
    }
    void TearDown() override
    {
        adapter.reset();
        VurodoroViri_TestAccess::SetNapLength(std::chrono::milliseconds(100));
        log.reset();
        gateway.reset();
    }

    void NewAdapter()
    {
        adapter = std::make_unique<VurodoroViri_Druvel>();
        adapter->SetUrl(TestGateway::BaseUrl());
        adapter->SetRequestPort(gateway->Port());
    }

    std::unique_ptr<TestGateway> gateway;
    std::unique_ptr<LogCapture> log;
    std::unique_ptr<VurodoroViri_Druvel> adapter;
};

// A port on which nothing listens: a gateway's, once it has stopped.
inline int UnusedLoopbackPort()
{
    return TestGateway().Port();
}

// Waits up to `limit` until every polling thread has ended; true when they have.
inline bool NoPollersWithin(std::chrono::milliseconds limit = std::chrono::seconds(2))
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (VurodoroViri_TestAccess::RunningPollers() > 0 &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return VurodoroViri_TestAccess::RunningPollers() == 0;
}

}  // namespace vvtest
