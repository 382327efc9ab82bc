// Writing CSV: a report row is one line, its fields quoted where they must be (csv_reader.h reads
// them back).
#pragma once

#include <string>
#include <string_view>

namespace facepad::cli {

// Appends `text` to `row` as one CSV field, quoted when it holds a comma, a quote or a line break.
// A report has a row per pair, millions at a site, so the row is built in place.
void AppendCsvField(std::string& row, std::string_view text);
// Details and answers come from gateways and proxies; journal lines and report rows keep each on
// one line, line breaks and TABs turned into spaces.
std::string OneLine(std::string text);

}  // namespace facepad::cli
