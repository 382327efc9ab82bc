// The HTTP client's per-thread objects (each thread's last outcomes and parsed URL): one per
// thread, destroyed whole when the thread ends. MinGW's own thread_local fails the second test.
#include "per_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace {

using Osmer_Framework::http::PerThread;

std::atomic<int> g_destroyed{0};
std::atomic<int> g_destroyedWhole{0};

struct Probe {
    static constexpr unsigned kAlive = 0xC0FFEEu;
    unsigned state = kAlive;
    std::vector<std::string> texts;  // owns heap memory, as the outcome list does

    ~Probe()
    {
        ++g_destroyed;
        if (state == kAlive && texts.size() == 3 && texts.back() == std::string(100, 'z')) {
            ++g_destroyedWhole;
        }
        state = 0;
    }
};

TEST(PerThread, EachThreadHasItsOwnObject)
{
    Probe* mine = &PerThread<Probe>();
    EXPECT_EQ(mine, &PerThread<Probe>());
    Probe* other = nullptr;
    std::thread([&] { other = &PerThread<Probe>(); }).join();
    EXPECT_NE(other, nullptr);
    EXPECT_NE(other, mine);
}

TEST(PerThread, ObjectsAreDestroyedWholeWhenTheirThreadsEnd)
{
    constexpr int kThreads = 16;
    const int destroyedBefore = g_destroyed.load();
    const int wholeBefore = g_destroyedWhole.load();
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) {
        threads.emplace_back([] { PerThread<Probe>().texts.assign(3, std::string(100, 'z')); });
    }
    for (std::thread& thread : threads) {
        thread.join();  // returns once the thread, its clean-up included, has ended
    }
    EXPECT_EQ(g_destroyed.load() - destroyedBefore, kThreads);
    EXPECT_EQ(g_destroyedWhole.load() - wholeBefore, kThreads);
}

}  // namespace
