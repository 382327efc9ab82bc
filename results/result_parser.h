// The result-list parser behind JsonDataToMapData, usable without an adapter: the polling thread
// parses after it has let go of the adapter, so that a destructor never waits for a long parse.
#pragma once

#include "CLS_VurodoroViri_Base.h"

namespace Osmer_Framework {
namespace Face {

enum class ParseOutcome {
    Parsed,   // merged into the map (the list may have held nothing usable)
    NotJson,  // the list is not JSON: nothing merged
    Stopped,  // `stop` said to give up; the map may hold part of the list
};

// Asked every few milliseconds of work: true gives the parse up. Null never stops.
using ParseStop = bool (*)();

// `list` is read up to its first NUL byte. Memory stays bounded by one element, not the list.
ParseOutcome ParseResultList(const char* list, ResultMap& results, ParseStop stop);

}  // namespace Face
}  // namespace Osmer_Framework
