// Decodes the JSON documents of the command bodies into records. Each decoder checks the exact
// member set the adapter sends, so a document with a missing, mistyped or unknown member is
// refused with its name.
#pragma once

#include <map>
#include <string>

#include "gateway_records.h"

namespace facepad::sim {

template <typename T>
struct Decoded {
    T value{};
    std::string error;  // empty on success

    bool ok() const { return error.empty(); }
};

// "pin", "name", "pri" (int), "passwd", "verify" (int), "card", "vicecard".
Decoded<UserRecord> DecodeUserRecord(const std::string& json);
// "pin", "type" (int), "size" (int), "content", "url", "format" (int).
Decoded<PhotoRecord> DecodePhotoRecord(const std::string& json);
// {"pin": ...} alone: the document of "facepad/deluser" and "facepad/delbiophoto".
Decoded<std::string> DecodePinDocument(const std::string& json);
// The fourteen initialisation settings, every one a string.
Decoded<std::map<std::string, std::string>> DecodeInitParams(const std::string& json);

}  // namespace facepad::sim
