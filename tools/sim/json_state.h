// The JSON state file that earlier simulators rewrote after every change. It is read once, to
// import it into a state database (--import-json); the simulator no longer writes it.
#pragma once

#include <string>

#include "gateway_records.h"
#include "record_documents.h"

namespace facepad::sim {

// The document as earlier simulators wrote it; the tests write old files with it.
std::string StateToJson(const GatewayData& data);
// Refuses (with the reason) a document that is not a state such a simulator wrote.
Decoded<GatewayData> StateFromJson(const std::string& json);
// Reads and decodes the file at `path`; a missing or unreadable file is an error too.
Decoded<GatewayData> LoadJsonState(const std::string& path);

}  // namespace facepad::sim
