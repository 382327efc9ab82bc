// CSV as RFC 4180 has it, read with Debian's libcsv: commas separate fields, a quoted field may
// hold commas, doubled quotes and line breaks, and nothing is trimmed (a pin " 1 " keeps its
// spaces, so it can be refused rather than quietly changed). Records come with the lines they
// span, so every problem names its line. Shared by the users file and the sync report.
#pragma once

#include <cstddef>
#include <deque>
#include <istream>
#include <memory>
#include <string>
#include <vector>

struct csv_parser;

namespace facepad::cli {

struct CsvRecord {
    std::size_t line = 0;      // where it starts, counting from 1
    std::size_t lastLine = 0;  // where it ends: further down when a quoted field holds a line break
    std::vector<std::string> fields;
    std::string problem;  // why it is not CSV (no fields then)
};

class CsvReader {
public:
    // Reads `in` line by line from where it stands (past a byte order mark, say).
    explicit CsvReader(std::istream& in);
    ~CsvReader();
    CsvReader(const CsvReader&) = delete;
    CsvReader& operator=(const CsvReader&) = delete;

    // The next record, blank lines skipped; false at the end of the input.
    bool Next(CsvRecord& record);

private:
    void FeedLine();
    std::string ParseError(const std::string& text, std::size_t stop) const;
    void Fail(const std::string& problem);
    static void OnField(void* text, std::size_t size, void* self);
    static void OnRecordEnd(int terminator, void* self);

    std::istream& m_in;
    std::unique_ptr<csv_parser> m_parser;
    std::size_t m_line = 0;
    bool m_inQuotedField = false;  // a line ended inside a quoted field: the record goes on
    bool m_recordEnded = false;
    bool m_atEnd = false;
    CsvRecord m_current;
    std::deque<CsvRecord> m_ready;
};

}  // namespace facepad::cli
