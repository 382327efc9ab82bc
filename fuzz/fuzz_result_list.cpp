// Any text handed to the result-list parser: no crash, no leak, and a false result never touches
// the map.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "CLS_VurodoroViri_Druvel.h"

using Osmer_Framework::Face::VurodoroViri_Druvel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static auto* adapter = new VurodoroViri_Druvel();  // lives for the whole run
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::map<std::string, std::map<std::string, std::string>> results{{"KEEP", {{"1", "x"}}}};
    const bool parsed = adapter->JsonDataToMapData(text, results);
    if (!parsed && results.size() != 1) {
        std::abort();  // an unreadable list must leave the map as it was
    }
    return 0;
}
