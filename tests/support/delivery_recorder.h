// The result callback is a plain function pointer, so what it sees is kept in one global recorder.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "adapter_fixture.h"

namespace vvtest {

struct Delivery {
    ResultMap map;  // the map as the callback received it
    std::thread::id thread;
};

class DeliveryRecorder {
public:
    static DeliveryRecorder& Instance()
    {
        static DeliveryRecorder recorder;
        return recorder;
    }

    // The callback to install; records, then runs the current action on the map.
    static int Callback(ResultMap& results)
    {
        DeliveryRecorder& self = Instance();
        std::unique_lock<std::mutex> lock(self.m_mutex);
        self.m_deliveries.push_back(Delivery{results, std::this_thread::get_id()});
        const auto action = self.m_action;
        lock.unlock();
        self.m_delivered.notify_all();
        if (action) {
            action(results);
        }
        return 12345;  // ignored by the adapter
    }

    void Reset(std::function<void(ResultMap&)> action = {})
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_deliveries.clear();
        m_action = std::move(action);
    }

    std::vector<Delivery> Deliveries()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_deliveries;
    }

    bool WaitFor(std::size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(10))
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_delivered.wait_for(lock, timeout, [&] { return m_deliveries.size() >= count; });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_delivered;
    std::vector<Delivery> m_deliveries;
    std::function<void(ResultMap&)> m_action;
};

// A "facepad/getresult" reply: "result", one separator, then the list.
inline std::string ResultReply(const std::string& list, const std::string& separator = "=")
{
    return "{\"code\":0,\"result" + separator + list + "}";
}

inline std::string OneEntryList(const std::string& sn, const std::string& id,
                                const std::string& ret)
{
    return R"([{"SN":")" + sn + R"(","data":"[{\"id\":\")" + id + R"(\",\"return\":\")" + ret +
           R"(\"}]"}])";
}

}  // namespace vvtest
