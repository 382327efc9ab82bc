// docs/reference.md against the protocol table: each checked table lists exactly the protocol's
// entries, in the protocol's order, and a member's "type as sent" is the kind the adapter sends.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "facepad_protocol.h"

namespace vvtest {
namespace {

using Rows = std::vector<std::string>;

std::string Trimmed(const std::string& text)
{
    const auto first = text.find_first_not_of(" `");
    return first == std::string::npos ? ""
                                      : text.substr(first, text.find_last_not_of(" `") - first + 1);
}

// The cells of a table line "| a | b | c |".
std::vector<std::string> Cells(const std::string& line)
{
    std::vector<std::string> cells;
    std::istringstream in(line.substr(1));
    for (std::string cell; std::getline(in, cell, '|');) {
        cells.push_back(Trimmed(cell));
    }
    return cells;
}

// The rows of the first table after the line `heading`: each row's first cell, with `typed` also
// the first word of its third cell ("type as sent"). The header and separator rows are skipped.
Rows TableAfter(const std::string& doc, const std::string& heading, bool typed)
{
    std::istringstream in(doc);
    std::string line;
    while (std::getline(in, line) && line != heading) {
    }
    Rows rows;
    int tableLines = 0;
    while (std::getline(in, line)) {
        if (line.rfind('|', 0) != 0) {
            if (tableLines > 0) {
                break;
            }
            continue;
        }
        if (++tableLines <= 2) {
            continue;
        }
        const auto cells = Cells(line);
        const std::string type = cells.size() > 2 ? cells[2].substr(0, cells[2].find(' ')) : "";
        rows.push_back(typed ? cells[0] + " " + type : cells[0]);
    }
    return rows;
}

// `names`, each followed by `suffix`.
template <std::size_t N>
Rows Names(const char* const (&names)[N], const std::string& suffix = "")
{
    Rows rows;
    for (const char* name : names) {
        rows.push_back(name + suffix);
    }
    return rows;
}

template <std::size_t N>
Rows Members(const facepad::member::Member (&members)[N])
{
    Rows rows;
    for (const auto& m : members) {
        rows.push_back(std::string(m.name) +
                       (m.kind == facepad::member::Kind::Integer ? " number" : " string"));
    }
    return rows;
}

TEST(ReferenceDoc, TablesMatchTheProtocolTable)
{
    namespace endpoint = facepad::endpoint;
    namespace code = facepad::result_code;
    // Every constant of the two namespaces: a new endpoint or result code is added here too.
    const char* const endpoints[] = {
        endpoint::kGetAvailable, endpoint::kSetPort,           endpoint::kSetInitParam,
        endpoint::kBinding,      endpoint::kUnbinding,         endpoint::kAddUser,
        endpoint::kDelUser,      endpoint::kSetBioPhoto,       endpoint::kDelBioPhoto,
        endpoint::kGetResult,    endpoint::kGetTerminalStatus, endpoint::kControlDevice};
    const char* const codes[] = {
        code::kDone,        code::kTerminalNotBound, code::kTerminalOffline,
        code::kUserUnknown, code::kPhotoUnknown,     code::kInvalidValue};
    struct Check {
        const char* heading;
        bool typed;
        Rows expected;
    };
    const Check checks[] = {
        {"## Endpoints", false, Names(endpoints)},
        {"### The user map", true, Members(facepad::member::kUser)},
        {"### The photo map", true, Members(facepad::member::kPhoto)},
        {"### The init keys", true, Names(facepad::kInitParamKeys, " string")},
        {"## Result codes", false, Names(codes)},
    };
    std::ifstream file(VV_REFERENCE_DOC);
    ASSERT_TRUE(file) << VV_REFERENCE_DOC;
    const std::string doc((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    for (const Check& check : checks) {
        EXPECT_EQ(TableAfter(doc, check.heading, check.typed), check.expected) << check.heading;
    }
}

}  // namespace
}  // namespace vvtest
