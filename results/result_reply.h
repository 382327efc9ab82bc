// Where the result list stands in a "facepad/getresult" reply: after the first "result" and exactly
// one separator character. The reply is not parsed as a whole.
#pragma once

#include <string>

namespace Osmer_Framework {
namespace Face {

enum class ResultListShape {
    None,     // no "result", or no "[" at the expected place: nothing to read
    Empty,    // "[]": nothing to report
    Present,  // `reply` now holds the list, from its "[" to the end (or to a NUL byte)
};

ResultListShape CutResultList(std::string& reply);

}  // namespace Face
}  // namespace Osmer_Framework
