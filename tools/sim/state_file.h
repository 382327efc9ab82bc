// Keeps the gateway's users, photos, bindings and settings across restarts in one JSON file.
// Pending results and connection flags are not kept: they belong to the running process.
#pragma once

#include <string>

#include "gateway_records.h"
#include "record_documents.h"

namespace facepad::sim {

std::string StateToJson(const GatewayData& data);
// Refuses (with the reason) a document that is not a state this simulator wrote.
Decoded<GatewayData> StateFromJson(const std::string& json);

struct LoadedState {
    bool found = false;  // false: no file yet, start empty
    GatewayData data;
    std::string error;  // the file exists but cannot be used
};
LoadedState LoadStateFile(const std::string& path);

// Writes a temporary file and renames it over `path`, so a crash never leaves half a state.
// Empty on success, otherwise why it failed.
std::string SaveStateFile(const std::string& path, const GatewayData& data);

}  // namespace facepad::sim
