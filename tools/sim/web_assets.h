// The page's files, compiled into the simulator (the build generates web_assets.cpp from
// tools/sim/web/), so that the page needs nothing but the simulator's own port.
#pragma once

#include <cstddef>
#include <string>

namespace facepad::sim {

struct WebAsset {
    const char* path;  // as requested: "/", "/_sim/page.js", ...
    const char* contentType;
    const unsigned char* data;
    std::size_t size;
};

// Null when no asset has that path.
const WebAsset* FindWebAsset(const std::string& path);

}  // namespace facepad::sim
