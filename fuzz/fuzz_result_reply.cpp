// Any "facepad/getresult" reply through the same steps as the polling thread: find the list, then
// merge it into an accumulating map.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "CLS_VurodoroViri_Druvel.h"
#include "result_reply.h"

using Osmer_Framework::Face::CutResultList;
using Osmer_Framework::Face::ResultListShape;
using Osmer_Framework::Face::VurodoroViri_Druvel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static auto* adapter = new VurodoroViri_Druvel();
    static std::map<std::string, std::map<std::string, std::string>> results;
    std::string reply(reinterpret_cast<const char*>(data), size);
    const std::size_t before = reply.size();
    if (CutResultList(reply) == ResultListShape::Present) {
        if (reply.empty() || reply[0] != '[' || reply.size() > before) {
            std::abort();
        }
        adapter->JsonDataToMapData(reply, results);
        if (results.size() > 10000) {
            results.clear();
        }
    }
    return 0;
}
