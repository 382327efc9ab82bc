# Writes web_assets.cpp: each page file as a byte array, with its request path and content type
# (every file is UTF-8 text).
# Run as: cmake -DSOURCE_DIR=... -DOUTPUT=... -P embed_assets.cmake
set(assets
  "index.html|/|text/html"
  "page.js|/_sim/page.js|text/javascript"
  "page.css|/_sim/page.css|text/css")

set(arrays "")
set(table "")
set(index 0)
foreach(asset IN LISTS assets)
  string(REPLACE "|" ";" parts "${asset}")
  list(GET parts 0 file)
  list(GET parts 1 path)
  list(GET parts 2 type)
  file(READ "${SOURCE_DIR}/${file}" hex HEX)
  string(LENGTH "${hex}" hex_length)
  math(EXPR size "${hex_length} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)" "\\1\n" bytes "${bytes}")
  string(APPEND arrays "const unsigned char kAsset${index}[] = {\n${bytes}\n};\n")
  string(APPEND table "    {\"${path}\", \"${type}; charset=utf-8\", kAsset${index}, ${size}},\n")
  math(EXPR index "${index} + 1")
endforeach()

file(WRITE "${OUTPUT}.tmp" "// Generated from tools/sim/web/ by embed_assets.cmake; do not edit.
#include \"web_assets.h\"

namespace facepad::sim {

namespace {
${arrays}
const WebAsset kAssets[] = {
${table}};
}  // namespace

const WebAsset* FindWebAsset(const std::string& path)
{
    for (const WebAsset& asset : kAssets) {
        if (path == asset.path) {
            return &asset;
        }
    }
    return nullptr;
}

}  // namespace facepad::sim
")
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
