// The request journal on its own: how a body becomes fields, what a filter selects, and that it
// stays within its size. Also the photo decoding the page's images rely on.
#include "request_journal.h"

#include <gtest/gtest.h>

#include "journal_fields.h"
#include "photo_image.h"
#include "sim_test_helpers.h"

namespace {

namespace sim = facepad::sim;

std::string Describe(const std::vector<sim::JournalField>& fields)
{
    std::string text;
    for (const sim::JournalField& field : fields) {
        text += "[" + field.name + (field.json ? " json" : "") + "] " + field.value + "\n";
    }
    return text;
}

TEST(JournalFields, BodiesBecomeNamedFieldsWithDocumentsParsedAndLongValuesCut)
{
    const std::string photo(5000, 'Q');
    struct Case {
        const char* what;
        std::string body;
        std::string expected;  // Describe() of the fields
    };
    const Case cases[] = {
        {"a command with its document", simtest::CommandBody("T1", "7", "{ \"pin\": \"1001\" }"),
         "[SN] T1\n[id] 7\n[data json] {\"pin\":\"1001\"}\n"},
        {"reset takes its value without \"=\"", "port=10001\treset1", "[port] 10001\n[reset] 1\n"},
        {"a photo keeps its pin, loses most of its content",
         simtest::CommandBody("T1", "8", simtest::PhotoJson("1001", 9, photo)),
         "[SN] T1\n[id] 8\n[data json] {\"pin\":\"1001\",\"type\":9,\"size\":5000,\"content\":\"" +
             std::string(sim::kJournalValueChars, 'Q') +
             "... (5000 bytes)\",\"url\":\"\",\"format\":0}\n"},
        {"a cut keeps an escape whole",
         "SN=T1\tid=8\tdata={\"name\":\"" + std::string(119, 'a') + "\\\"" + std::string(10, 'b') +
             "\"}",
         "[SN] T1\n[id] 8\n[data json] {\"name\":\"" + std::string(119, 'a') +
             "\\\"... (131 bytes)\"}\n"},
        {"a cut keeps a UTF-8 character whole",
         "SN=T1\tid=8\tdata={\"name\":\"" + std::string(119, 'a') + "\xC3\xA9" +
             std::string(10, 'b') + "\"}",
         "[SN] T1\n[id] 8\n[data json] {\"name\":\"" + std::string(119, 'a') +
             "\xC3\xA9... (131 bytes)\"}\n"},
        {"a data field that is not JSON stays text", "SN=T1\tid=9\tdata={broken",
         "[SN] T1\n[id] 9\n[data] {broken\n"},
        {"a long plain value is cut", "SN=" + std::string(300, 'S'),
         "[SN] " + std::string(sim::kJournalValueChars, 'S') + "... (300 bytes)\n"},
        {"not fields at all", "&&&", "[] &&&\n"},
        {"an empty body has no fields", "", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Describe(sim::ParseJournalFields(c.body)), c.expected) << c.what;
    }
}

class Journal : public ::testing::Test {
protected:
    void Record(const std::string& path, const std::string& serial, int status = 200)
    {
        journal.Record({"POST", path, "SN=" + serial + "\tid=1", status, "ok", ""});
    }
    std::vector<std::uint64_t> Seqs(const sim::JournalFilter& filter)
    {
        std::vector<std::uint64_t> seqs;
        for (const auto& entry : journal.Read(filter).entries) {
            seqs.push_back(entry.seq);
        }
        return seqs;
    }
    sim::RequestJournal journal{4};
};

// The journal keeps its newest entries (here 4) and counts the dropped ones, across a clear too.
TEST_F(Journal, FiltersSelectByPathTerminalAndSequenceAmongTheNewestEntries)
{
    Record("/facepad/getresult", "T1");     // 1, dropped
    Record("/facepad/getresult", "T1");     // 2, dropped
    Record("/facepad/adduser", "T1");       // 3
    Record("/facepad/adduser", "T2");       // 4
    Record("/facepad/deluser", "T1");       // 5
    Record("/facepad/adduser", "T1", 400);  // 6
    using Seq = std::vector<std::uint64_t>;
    struct Case {
        sim::JournalFilter filter;
        Seq expected;
    };
    const Case cases[] = {
        {{"", "", 0}, Seq{3, 4, 5, 6}},
        {{"/facepad/adduser", "", 0}, Seq{3, 4, 6}},
        {{"", "T1", 0}, Seq{3, 5, 6}},
        {{"/facepad/adduser", "T1", 0}, Seq{3, 6}},
        {{"", "", 4}, Seq{5, 6}},
        {{"/facepad/adduser", "T1", 3}, Seq{6}},
        {{"facepad/adduser", "", 0}, Seq{}},  // the journal's paths keep their "/"
        {{"", "T9", 0}, Seq{}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Seqs(c.filter), c.expected) << "path " << c.filter.path << ", terminal "
                                              << c.filter.terminal << ", since " << c.filter.since;
    }
    auto page = journal.Read({"", "", 5});
    EXPECT_EQ(page.entries.at(0).terminal, "T1");
    EXPECT_EQ(page.entries.at(0).status, 400);
    EXPECT_GT(page.entries.at(0).unixMillis, 1600000000000);
    EXPECT_EQ(page.last, 6u);
    EXPECT_EQ(page.dropped, 2u);

    journal.Clear();
    Record("/facepad/getresult", "T1");
    page = journal.Read({});
    EXPECT_EQ(Seqs({}), (std::vector<std::uint64_t>{7})) << "numbers are never reused";
    EXPECT_EQ(page.dropped, 0u);
}

// The page's images: the photo's base64 decoded, its leading bytes naming the content type.
TEST(PhotoImage, Base64DecodesStrictlyExceptForSurplusPaddingAndTheBytesNameTheType)
{
    struct Case {
        const char* text;
        std::optional<std::string> expected;  // none: refused
        const char* type = "application/octet-stream";
    };
    const Case cases[] = {
        {"TWFu", std::string("Man")},
        {"TWE=", std::string("Ma")},
        {"TQ==", std::string("M")},
        {"TWE", std::string("Ma")},        // unpadded
        {"TW\r\nFu", std::string("Man")},  // line breaks
        {"TWFu=", std::string("Man")},     // padding after whole groups, as hosts send it
        {"TWE==", std::nullopt},           // too much padding inside a group
        {"TQ=x", std::nullopt},            // data after padding
        {"TWF*", std::nullopt},            // a foreign character
        {"TWFuT", std::nullopt},           // a lone sextet cannot make a byte
        {"", std::string()},
        {"/9j/4A==", std::string("\xFF\xD8\xFF\xE0", 4), "image/jpeg"},
        {"iVBORw0KGgo=", std::string("\x89PNG\r\n\x1A\n", 8), "image/png"},
        {"R0lGODlh", std::string("GIF89a"), "image/gif"},
        {"Qk0uLi4u", std::string("BM...."), "image/bmp"},
        {"UklGRi4uLi5XRUJQVlA4", std::string("RIFF....WEBPVP8"), "image/webp"},
        {"/9g=", std::string("\xFF\xD8")},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(sim::DecodeBase64(c.text), c.expected) << c.text;
        if (c.expected) {
            EXPECT_EQ(sim::ImageContentType(*c.expected), c.type) << c.text;
        }
    }
}

}  // namespace
