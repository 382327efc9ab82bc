#include "terminal_option.h"

#include "body_fields.h"

namespace facepad::sim {

namespace {
constexpr char kOfflineSuffix[] = ":offline";
constexpr std::size_t kOfflineSuffixLength = sizeof kOfflineSuffix - 1;
}  // namespace

Decoded<TerminalSpec> ParseTerminalSpec(const std::string& text)
{
    Decoded<TerminalSpec> layout;
    std::string serial = text;
    if (serial.size() >= kOfflineSuffixLength &&
        serial.compare(serial.size() - kOfflineSuffixLength, kOfflineSuffixLength,
                       kOfflineSuffix) == 0) {
        serial.resize(serial.size() - kOfflineSuffixLength);
        layout.value.connected = false;
    }
    // A serial travels in TAB-separated bodies and, in the state file, as a JSON string.
    if (serial.empty() || serial.find_first_of("\t=:") != std::string::npos) {
        layout.error =
            "terminal must be SN or SN:offline, with no TAB, \"=\" or \":\" in SN; got " +
            Quoted(text);
        return layout;
    }
    layout.value.serial = serial;
    return layout;
}

}  // namespace facepad::sim
