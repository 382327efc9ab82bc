// One CSV record on one line: commas separate fields, double quotes enclose a field that holds
// commas or quotes ("" for one quote). Shared by the users file and the sync report.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace facepad::cli {

// The fields of `text`; nothing (and `problem` set) when a quoted field is not closed.
std::optional<std::vector<std::string>> SplitCsvRecord(const std::string& text,
                                                       std::string& problem);
// `text` as one CSV field, quoted when it holds a comma, a quote or a line break.
std::string CsvField(const std::string& text);
// Details and answers come from gateways and proxies; journal lines and report rows keep each on
// one line, line breaks and TABs turned into spaces.
std::string OneLine(std::string text);

}  // namespace facepad::cli
