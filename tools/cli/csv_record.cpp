#include "csv_record.h"

namespace facepad::cli {

void AppendCsvField(std::string& row, std::string_view text)
{
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
        row.append(text);
        return;
    }
    row += '"';
    for (const char c : text) {
        if (c == '"') {
            row += '"';
        }
        row += c;
    }
    row += '"';
}

std::string OneLine(std::string text)
{
    for (char& c : text) {
        if (c == '\n' || c == '\r' || c == '\t') {
            c = ' ';
        }
    }
    return text;
}

}  // namespace facepad::cli
