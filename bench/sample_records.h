// What the figures send and parse: a realistic user record, a photo record, the request bodies a
// bare client would build for them with json-c, and result lists of a given size.
#pragma once

#include <cstddef>
#include <map>
#include <string>

namespace vvbench {

using ParamMap = std::map<std::string, std::string>;
using ResultMap = std::map<std::string, std::map<std::string, std::string>>;

constexpr const char* kCommandId = "4711";
constexpr const char* kSerial = "VVT-2024-000173";

ParamMap RealisticUser();
// A photo whose "content" is `contentBytes` of base64 text, as terminals take JPEGs.
ParamMap PhotoRecord(std::size_t contentBytes);

// The exact request bodies the adapter sends for these records, built the direct way: one json-c
// document, serialised, appended to the "SN=\tid=\tdata=" fields.
std::string UserBodyWithJsonC(const ParamMap& user);
std::string PhotoBodyWithJsonC(const ParamMap& photo);

// `elements` terminals, each with `entries` results, in the gateway's format: every element's
// "data" is a text that holds the JSON of its entry list.
std::string ResultList(std::size_t elements, std::size_t entries);

}  // namespace vvbench
