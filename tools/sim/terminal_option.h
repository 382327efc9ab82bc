// Terminals as the command line names them.
#pragma once

#include <string>

#include "gateway_records.h"
#include "record_documents.h"

namespace facepad::sim {

// "SN" is a connected terminal, "SN:offline" one that is known but not connected.
Decoded<TerminalSpec> ParseTerminalSpec(const std::string& text);

}  // namespace facepad::sim
