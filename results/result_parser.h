// The result-list parser behind JsonDataToMapData, usable without an adapter: the polling thread
// parses after it has let go of the adapter, so that a destructor never waits for a long parse.
#pragma once

#include <string>

#include "CLS_VurodoroViri_Base.h"

namespace Osmer_Framework {
namespace Face {

enum class ParseOutcome {
    Parsed,   // merged into the map (the list may have held nothing usable)
    NotJson,  // the list is not JSON: nothing merged
    Stopped,  // `stop` said to give up; the map may hold part of the list
};

// Asked between slices of the parse: true gives it up. Null never stops.
using ParseStop = bool (*)();

ParseOutcome ParseResultList(const std::string& list, ResultMap& results, ParseStop stop);

}  // namespace Face
}  // namespace Osmer_Framework
