// docs/reference.md against the protocol table: each checked table lists exactly the protocol's
// entries, in the protocol's order; an endpoint's row names its operation, its body's fields and
// the list read from its reply, and a member's "type as sent" is the kind the adapter sends.
#include <gtest/gtest.h>

#include <algorithm>
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

// The table cells of the first table after the line `heading`, header and separator skipped.
std::vector<std::vector<std::string>> CellsAfter(const std::string& doc, const std::string& heading)
{
    std::istringstream in(doc);
    std::string line;
    while (std::getline(in, line) && line != heading) {
    }
    std::vector<std::vector<std::string>> rows;
    int tableLines = 0;
    while (std::getline(in, line) && (line.rfind('|', 0) == 0 || tableLines == 0)) {
        if (line.rfind('|', 0) != 0 || ++tableLines <= 2) {
            continue;
        }
        rows.emplace_back();
        std::istringstream row(line.substr(1));
        for (std::string cell; std::getline(row, cell, '|');) {
            rows.back().push_back(cell);
        }
    }
    return rows;
}

// Each row's first cell, with `typed` also the first word of its third cell ("type as sent").
Rows TableAfter(const std::string& doc, const std::string& heading, bool typed)
{
    Rows rows;
    for (const auto& cells : CellsAfter(doc, heading)) {
        const std::string third = cells.size() > 2 ? Trimmed(cells[2]) : "";
        rows.push_back(Trimmed(cells[0]) + (typed ? " " + third.substr(0, third.find(' ')) : ""));
    }
    return rows;
}

// The fields a body cell shows: its code spans (`SN=`*serial*`\tch=`*channel*) joined, split at
// each "\t", each field named up to its "=" ("reset" has none).
std::string FieldsShown(const std::string& cell)
{
    std::string code;
    bool inside = false;
    for (const char c : cell) {
        inside = c == '`' ? !inside : inside;
        code += inside && c != '`' ? std::string(1, c) : std::string();
    }
    std::string fields;
    for (std::size_t start = 0; !code.empty();) {
        const std::size_t tab = code.find("\\t", start);
        const std::string field = code.substr(start, tab - start);
        const std::size_t equals = field.find('=');
        fields += field.substr(0, equals == std::string::npos ? equals : equals + 1) + " ";
        if (tab == std::string::npos) {
            break;
        }
        start = tab + 2;
    }
    return fields;
}

// An endpoint row as the test compares it: path, sent by, fields, the list the reply is read for.
std::string EndpointRow(const std::string& path, const std::string& sentBy,
                        const std::string& fields, const std::string& reply)
{
    return path + " | " + sentBy + " | " + fields + "| " + reply;
}

TEST(ReferenceDoc, TablesMatchTheProtocolTable)
{
    Rows endpoints;
    for (const facepad::Endpoint& e : facepad::kEndpoints) {
        std::string fields;
        for (const facepad::Field& f : e.body) {
            fields += std::string(f.name) + (f.withEquals ? "= " : " ");
        }
        endpoints.push_back(
            EndpointRow(e.path, e.sentBy, fields,
                        e.replyList ? "the list after " + std::string(e.replyList) : "none"));
    }
    Rows codes;
    for (const facepad::ResultCode& code : facepad::kResultCodes) {
        codes.push_back(code.code);
    }
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
    Rows documented;
    for (const auto& cells : CellsAfter(doc, "## Endpoints")) {
        std::string reply = cells.size() > 3 ? Trimmed(cells[3]) : "";
        reply.erase(std::remove(reply.begin(), reply.end(), '`'), reply.end());
        documented.push_back(EndpointRow(Trimmed(cells.at(0)), Trimmed(cells.at(1)),
                                         FieldsShown(cells.size() > 2 ? cells[2] : ""), reply));
    }
    EXPECT_EQ(documented, endpoints);
    EXPECT_EQ(TableAfter(doc, "### The user map", true), typed(facepad::member::kUser));
    EXPECT_EQ(TableAfter(doc, "### The photo map", true), typed(facepad::member::kPhoto));
    EXPECT_EQ(TableAfter(doc, "### The init keys", true), initKeys);
    EXPECT_EQ(TableAfter(doc, "## Result codes", false), codes);
}

}  // namespace
}  // namespace vvtest
