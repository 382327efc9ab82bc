// The HTTP client's per-thread objects are destroyed whole, once, when their threads end: MinGW's
// own thread_local fails this.
#include "per_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace {

std::atomic<int> g_destroyed{0};
std::atomic<int> g_destroyedWhole{0};

struct Probe {
    static constexpr unsigned kAlive = 0xC0FFEEu;
    unsigned state = kAlive;
    std::vector<std::string> texts;  // owns heap memory, as the outcome list does

    ~Probe()
    {
        ++g_destroyed;
        const bool whole = texts.size() == 3 && texts[2] == std::string(100, 'z');
        g_destroyedWhole += state == kAlive && whole ? 1 : 0;
        state = 0;
    }
};

TEST(PerThread, ObjectsAreDestroyedWholeWhenTheirThreadsEnd)
{
    std::vector<std::thread> threads(16);
    for (std::thread& thread : threads) {
        thread = std::thread([] {
            Osmer_Framework::http::PerThread<Probe>().texts.assign(3, std::string(100, 'z'));
        });
    }
    for (std::thread& thread : threads) {
        thread.join();  // returns once the thread, its clean-up included, has ended
    }
    EXPECT_EQ(g_destroyed.load(), 16);
    EXPECT_EQ(g_destroyedWhole.load(), 16);
}

}  // namespace
