// Reads the terminal lists the gateway answers to status and availability queries ("Data=" and a
// JSON array of {"sn", "connstatus", "bound", "ch"}) with the protocol layer's readers.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace facepad::cli {

struct TerminalEntry {
    std::string serial;
    bool connected = false;
    std::optional<bool> bound;  // absent from status replies
    std::optional<int> channel;
};

// Nothing when the reply holds no readable list.
std::optional<std::vector<TerminalEntry>> ReadTerminalList(const std::string& reply);

}  // namespace facepad::cli
