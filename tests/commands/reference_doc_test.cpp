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

// The rows of the first table after the line `heading`, header and separator skipped: each row's
// first cell, with `typed` also the first word of its third cell ("type as sent").
Rows TableAfter(const std::string& doc, const std::string& heading, bool typed)
{
    std::istringstream in(doc);
    std::string line;
    while (std::getline(in, line) && line != heading) {
    }
    Rows rows;
    int tableLines = 0;
    while (std::getline(in, line) && (line.rfind('|', 0) == 0 || tableLines == 0)) {
        if (line.rfind('|', 0) != 0 || ++tableLines <= 2) {
            continue;
        }
        std::vector<std::string> cells;
        std::istringstream row(line.substr(1));
        for (std::string cell; std::getline(row, cell, '|');) {
            cells.push_back(Trimmed(cell));
        }
        const std::string type = cells.size() > 2 ? cells[2].substr(0, cells[2].find(' ')) : "";
        rows.push_back(typed ? cells[0] + " " + type : cells[0]);
    }
    return rows;
}

TEST(ReferenceDoc, TablesMatchTheProtocolTable)
{
    namespace endpoint = facepad::endpoint;
    namespace code = facepad::result_code;
    // Every constant of the two namespaces: a new endpoint or result code is added here too.
    const Rows endpoints = {
        endpoint::kGetAvailable, endpoint::kSetPort,           endpoint::kSetInitParam,
        endpoint::kBinding,      endpoint::kUnbinding,         endpoint::kAddUser,
        endpoint::kDelUser,      endpoint::kSetBioPhoto,       endpoint::kDelBioPhoto,
        endpoint::kGetResult,    endpoint::kGetTerminalStatus, endpoint::kControlDevice};
    const Rows codes = {code::kDone,        code::kTerminalNotBound, code::kTerminalOffline,
                        code::kUserUnknown, code::kPhotoUnknown,     code::kInvalidValue};
    const auto typed = [](const auto& members) {
        Rows rows;
        for (const facepad::member::Member& m : members) {
            rows.push_back(std::string(m.name) +
                           (m.kind == facepad::member::Kind::Integer ? " number" : " string"));
        }
        return rows;
    };
    Rows initKeys;
    for (const char* key : facepad::kInitParamKeys) {
        initKeys.push_back(std::string(key) + " string");
    }
    std::ifstream file(VV_REFERENCE_DOC);
    ASSERT_TRUE(file) << VV_REFERENCE_DOC;
    const std::string doc((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    EXPECT_EQ(TableAfter(doc, "## Endpoints", false), endpoints);
    EXPECT_EQ(TableAfter(doc, "### The user map", true), typed(facepad::member::kUser));
    EXPECT_EQ(TableAfter(doc, "### The photo map", true), typed(facepad::member::kPhoto));
    EXPECT_EQ(TableAfter(doc, "### The init keys", true), initKeys);
    EXPECT_EQ(TableAfter(doc, "## Result codes", false), codes);
}

}  // namespace
}  // namespace vvtest
