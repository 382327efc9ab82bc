// Writing CSV: a report row is one line, its fields quoted where they must be (csv_reader.h reads
// them back).
#pragma once

#include <string>

namespace facepad::cli {

// `text` as one CSV field, quoted when it holds a comma, a quote or a line break.
std::string CsvField(const std::string& text);
// Details and answers come from gateways and proxies; journal lines and report rows keep each on
// one line, line breaks and TABs turned into spaces.
std::string OneLine(std::string text);

}  // namespace facepad::cli
