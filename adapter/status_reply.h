// What a "facepad/getterminalstatus" reply says: the status list after the first "Data" and one
// separator character, read element by element.
#pragma once

#include <string>

namespace Osmer_Framework {
namespace Face {

// Kept apart from the answer so that the log line is chosen from it.
enum class StatusReading { Connected, NotConnected, BareEmptyList, NoList };

StatusReading ReadStatusReply(const std::string& reply);

}  // namespace Face
}  // namespace Osmer_Framework
