// The texts the simulator answers with. The adapter finds a key word and reads the JSON list that
// starts one character after it, so each list reply is the key word, "=", then the list.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "gateway_records.h"
#include "gateway_state.h"

namespace facepad::sim {

// "result=" and a list with one element per terminal, in the order the terminals first appear:
// {"SN": serial, "data": the JSON text of [{"id": ..., "return": ...}, ...]}. No entries give
// "result=[]".
std::string FormatResultReply(const std::vector<ResultEntry>& entries);

// "Data=" and [{"sn": serial, "connstatus": 1 or 0}]; an unknown terminal gives "Data=[]".
std::string FormatStatusReply(const std::optional<TerminalStatus>& status);

// "Data=" and one element per terminal: "sn", "connstatus", "bound" and, while bound, "ch".
std::string FormatAvailableReply(const std::vector<TerminalStatus>& terminals);

}  // namespace facepad::sim
