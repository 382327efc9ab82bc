// Receives results through the adapter's callback and prints them as they arrive.
#pragma once

#include <chrono>
#include <cstddef>

namespace Osmer_Framework::Face {
class VurodoroViri_Druvel;
}

namespace facepad::cli {

// Installs the printing callback on `adapter` and waits until `expected` results have arrived
// (0: none expected) or `limit` has passed. Returns the number of results printed.
std::size_t WatchResults(Osmer_Framework::Face::VurodoroViri_Druvel& adapter,
                         std::chrono::seconds limit, std::size_t expected);

}  // namespace facepad::cli
