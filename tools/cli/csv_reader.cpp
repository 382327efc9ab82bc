#include "csv_reader.h"

#include <csv.h>

#include <algorithm>

namespace facepad::cli {

namespace {

// Strict: a stray quote is an error, not a guess; an unclosed quote at the end of the file too.
constexpr unsigned char kOptions = CSV_STRICT | CSV_STRICT_FINI;

constexpr std::size_t kSmallestBlock = 128;

// RFC 4180: spaces belong to the field (libcsv trims them by default).
int NoSpaces(unsigned char)
{
    return 0;
}

// Lines are read one by one and fed with "\n" (a CRLF's CR taken off first), so "\n" alone ends a
// record: a CR inside a line is data, which the field checks then refuse.
int EndsRecord(unsigned char c)
{
    return c == '\n' ? 1 : 0;
}

}  // namespace

CsvReader::CsvReader(std::istream& in) : m_in(in), m_parser(std::make_unique<csv_parser>())
{
    csv_init(m_parser.get(), kOptions);
    csv_set_space_func(m_parser.get(), &NoSpaces);
    csv_set_term_func(m_parser.get(), &EndsRecord);
}

CsvReader::~CsvReader()
{
    csv_free(m_parser.get());
}

bool CsvReader::Next(CsvRecord& record)
{
    while (m_ready.empty() && !m_atEnd) {
        FeedLine();
    }
    if (m_ready.empty()) {
        return false;
    }
    record = std::move(m_ready.front());
    m_ready.pop_front();
    return true;
}

void CsvReader::FeedLine()
{
    std::string text;
    if (!std::getline(m_in, text)) {
        m_atEnd = true;
        // Only an open quoted field can be left: it ran to the end of the file.
        if (csv_fini(m_parser.get(), nullptr, nullptr, nullptr) != 0 || m_inQuotedField) {
            Fail("a quoted field starts in this row and is not closed by the end of the file");
        }
        return;
    }
    ++m_line;
    if (!text.empty() && text.back() == '\r') {
        text.pop_back();
    }
    text += '\n';
    if (!m_inQuotedField) {
        m_current.line = m_line;
    }
    // libcsv grows its field buffer by a fixed block (128 bytes unless told): growing it by the
    // line's length instead makes a 10 MB field one reallocation, not 80,000 copies.
    csv_set_blk_size(m_parser.get(), std::max(kSmallestBlock, text.size()));
    m_recordEnded = false;
    const std::size_t used =
        csv_parse(m_parser.get(), text.data(), text.size(), &OnField, &OnRecordEnd, this);
    if (used < text.size()) {
        Fail(ParseError(text, used));
        return;
    }
    // The "\n" fed last ends the record, unless it fell inside a quoted field.
    m_inQuotedField = !m_recordEnded && (m_inQuotedField || text.size() > 1);
}

// libcsv stops at a quote inside an unquoted field, or at what follows a closing quote.
std::string CsvReader::ParseError(const std::string& text, std::size_t stop) const
{
    const int error = csv_error(m_parser.get());
    if (error != CSV_EPARSE) {
        return csv_strerror(error);
    }
    const std::size_t quote = text[stop] == '"' ? stop + 1 : stop;  // counting from 1
    std::string where = "at byte " + std::to_string(quote);
    if (m_line != m_current.line) {
        where += " of line " + std::to_string(m_line) +
                 " (a quoted field that opens in this row runs on to there)";
    }
    return "a quote out of place " + where +
           ": a field that holds quotes is quoted whole, its quotes doubled (\"say \"\"hi\"\"\")";
}

// The record so far is dropped and the parser starts afresh on the next line.
void CsvReader::Fail(const std::string& problem)
{
    csv_fini(m_parser.get(), nullptr, nullptr, nullptr);
    m_current.fields.clear();
    m_current.problem = problem;
    m_current.lastLine = m_line;
    m_ready.push_back(std::move(m_current));
    m_current = CsvRecord{};
    m_inQuotedField = false;
}

void CsvReader::OnField(void* text, std::size_t size, void* self)
{
    auto& fields = static_cast<CsvReader*>(self)->m_current.fields;
    // An empty field may come before libcsv has a buffer at all: no pointer to copy from.
    fields.emplace_back(size == 0 ? std::string() : std::string(static_cast<char*>(text), size));
}

void CsvReader::OnRecordEnd(int, void* self)
{
    auto* reader = static_cast<CsvReader*>(self);
    reader->m_current.lastLine = reader->m_line;
    reader->m_ready.push_back(std::move(reader->m_current));
    reader->m_current = CsvRecord{};
    reader->m_recordEnded = true;
}

}  // namespace facepad::cli
