#include "sync_report.h"

#include <fstream>

namespace facepad::cli {

namespace {

constexpr char kHeader[] = "pin,terminal,state,detail,user_command,photo_command";

std::string CsvField(const std::string& text)
{
    if (text.find_first_of(",\"\r\n") == std::string::npos) {
        return text;
    }
    std::string quoted = "\"";
    for (char c : text) {
        quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    }
    return quoted + "\"";
}

// Reads the first three fields of a report row (pin, terminal, state), honouring quotes.
std::vector<std::string> LeadingFields(const std::string& line)
{
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (std::size_t i = 0; i < line.size() && fields.size() <= 3; ++i) {
        const char c = line[i];
        if (quoted && c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
            fields.back() += '"';
            ++i;
        } else if (c == '"') {
            quoted = !quoted;
        } else if (c == ',' && !quoted) {
            fields.emplace_back();
        } else {
            fields.back() += c;
        }
    }
    return fields;
}

}  // namespace

std::string WriteReport(const std::string& path, const std::vector<UserOutcome>& outcomes)
{
    std::ofstream out(path, std::ios::trunc);
    out << kHeader << "\n";
    for (const UserOutcome& o : outcomes) {
        out << CsvField(o.pin) << ',' << CsvField(o.serial) << ',' << o.state << ','
            << CsvField(o.detail) << ',' << CsvField(o.userCommand) << ','
            << CsvField(o.photoCommand) << "\n";
    }
    out.flush();
    return out ? std::string() : "cannot write the report " + path;
}

FailedPairs ReadFailedPairs(const std::string& path)
{
    FailedPairs failed;
    std::ifstream in(path);
    std::string line;
    if (!std::getline(in, line) || line.rfind(kHeader, 0) != 0) {
        failed.problem = path + ":1: not a sync report of facepad-cli (expected \"" +
                         std::string(kHeader) + "\")";
        return failed;
    }
    for (std::size_t number = 2; std::getline(in, line); ++number) {
        const auto fields = LeadingFields(line);
        if (fields.size() < 3) {
            failed.problem = path + ":" + std::to_string(number) + ": expected pin,terminal,state";
            return failed;
        }
        if (fields[2] != final_state::kDone) {
            failed.pairs.emplace(fields[1], fields[0]);
        }
    }
    return failed;
}

}  // namespace facepad::cli
