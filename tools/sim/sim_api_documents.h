// The JSON documents of the /_sim/ API: the state and a page of the request journal.
#pragma once

#include <cstdint>
#include <string>

#include "gateway_records.h"
#include "request_journal.h"

namespace facepad::sim {

// `version` grows with every gateway request and every control: a reader that saw it unchanged
// need not ask for the state again. `filter` is the page of users `state` holds.
std::string StateDocument(const StateOverview& state, const UserFilter& filter,
                          std::uint64_t version);
std::string JournalDocument(const JournalPage& page, std::size_t capacity, std::uint64_t version);

// The URL under which the page shows a photo's image.
std::string PhotoImageUrl(const PhotoSummary& photo);

}  // namespace facepad::sim
