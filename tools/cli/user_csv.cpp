#include "user_csv.h"

#include <algorithm>
#include <map>
#include <optional>

#include "csv_reader.h"
#include "facepad_protocol.h"
#include "file_checks.h"
#include "photo_file.h"
#include "text_checks.h"

namespace facepad::cli {

namespace {

constexpr char kPhotoColumn[] = "photo";

// The members of a user record, named as the gateway names them, then the photo's file.
std::vector<std::string> KnownColumns()
{
    std::vector<std::string> columns;
    for (const member::Member& m : member::kUser) {
        columns.emplace_back(m.name);
    }
    columns.emplace_back(kPhotoColumn);
    return columns;
}

const std::vector<std::string> kColumns = KnownColumns();

std::string ColumnList()
{
    std::string list;
    for (const std::string& column : kColumns) {
        list += (list.empty() ? "" : ", ") + column;
    }
    return list;
}

// A header name as spreadsheets write it ("PIN", " Name") as the column it names.
std::string ColumnName(const std::string& text)
{
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) {
        return std::string();
    }
    std::string name = text.substr(first, text.find_last_not_of(' ') - first + 1);
    std::transform(name.begin(), name.end(), name.begin(), [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    });
    return name;
}

// One message for every unknown column of the header, each with the column it most likely means.
std::string UnknownColumns(const std::vector<std::string>& names)
{
    std::string text = names.size() == 1 ? "unknown column " : "unknown columns ";
    for (std::size_t i = 0; i < names.size(); ++i) {
        text += (i == 0 ? "\"" : ", \"") + names[i] + "\"";
        if (const auto close = ClosestMatch(ColumnName(names[i]), kColumns)) {
            text += " (did you mean \"" + *close + "\"?)";
        }
    }
    return text + "; the columns are " + ColumnList() + ", in any order and any case";
}

std::string Folder(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// A quoted field that runs over line breaks is often a stray quote: say where the row ends.
std::string Spanning(const CsvRecord& row)
{
    return row.lastLine > row.line ? " (this row runs on to line " + std::to_string(row.lastLine) +
                                         ": a quote opened in it is closed only there)"
                                   : std::string();
}

class Reader {
public:
    Reader(const std::string& path, std::size_t maxPhotoBytes, UserColumns columns, PinKind pins)
        : m_path(path), m_maxPhotoBytes(maxPhotoBytes), m_wanted(columns), m_pinKind(pins)
    {
    }

    UserFile Read()
    {
        std::ifstream in;
        const std::string problem = OpenTextInput(m_path, in);
        if (!problem.empty()) {
            Problem(0, problem);
            return std::move(m_result);
        }
        CsvReader reader(in);
        CsvRecord record;
        if (!reader.Next(record)) {
            Problem(1, "the file is empty; expected a header row naming the columns");
            return std::move(m_result);
        }
        ReadHeader(record);
        if (!m_result.problems.empty()) {
            return std::move(m_result);  // rows cannot be read without their columns
        }
        while (reader.Next(record)) {
            ReadRow(record);
        }
        return std::move(m_result);
    }

private:
    void Problem(std::size_t line, const std::string& message)
    {
        m_result.problems.push_back(InputProblem{m_path, line, message});
    }

    // Columns without a name (trailing ones, as spreadsheets save them) must stay empty.
    void ReadHeader(const CsvRecord& header)
    {
        if (!header.problem.empty()) {
            Problem(header.line, header.problem);
            return;
        }
        m_fieldCount = header.fields.size();
        std::vector<std::string> unknown;
        for (std::size_t i = 0; i < header.fields.size(); ++i) {
            const std::string name = ColumnName(header.fields[i]);
            if (name.empty()) {
                continue;
            }
            m_namedCount = i + 1;
            m_named.resize(m_namedCount, false);
            m_named[i] = true;
            const bool known = std::find(kColumns.begin(), kColumns.end(), name) != kColumns.end();
            if (m_wanted == UserColumns::PinOnly) {
                m_columns.emplace(name,
                                  i);  // the pin is all it reads; other columns may be anything
            } else if (!known) {
                unknown.push_back(header.fields[i]);
            } else if (!m_columns.emplace(name, i).second) {
                Problem(header.line, "column \"" + name + "\" appears twice");
            }
        }
        if (!unknown.empty()) {
            Problem(header.line, UnknownColumns(unknown));
        }
        if (m_columns.count(member::kPin) == 0 && m_result.problems.empty()) {
            Problem(header.line,
                    std::string("no \"") + member::kPin + "\" column in the header row");
        }
        for (const member::Member& m : member::kUser) {
            if (m_wanted == UserColumns::Record && m_columns.count(m.name) == 0) {
                m_result.missingColumns.emplace_back(m.name);
            }
        }
    }

    std::string Field(const std::vector<std::string>& fields, const char* column) const
    {
        const auto found = m_columns.find(column);
        return found == m_columns.end() ? std::string() : fields[found->second];
    }

    // Rows may leave out, or leave empty, the columns after the last named one.
    std::string FieldCountProblem(const CsvRecord& row) const
    {
        const std::string count = "expected " + std::to_string(m_namedCount) + " fields, got " +
                                  std::to_string(row.fields.size()) + Spanning(row);
        if (row.fields.size() < m_namedCount) {
            return count;
        }
        for (std::size_t i = 0; i < row.fields.size(); ++i) {
            const bool read = i < m_namedCount && (m_named[i] || m_wanted == UserColumns::PinOnly);
            if (!read && !row.fields[i].empty()) {
                return i < m_fieldCount ? "column " + std::to_string(i + 1) +
                                              " has no name in the header row, yet holds a value"
                                        : count;
            }
        }
        return std::string();
    }

    void ReadRow(const CsvRecord& row)
    {
        if (!row.problem.empty()) {
            Problem(row.line, row.problem);
            return;
        }
        const std::string countProblem = FieldCountProblem(row);
        if (!countProblem.empty()) {
            Problem(row.line, countProblem);
            return;
        }
        UserRow user;
        user.line = row.line;
        for (std::size_t i = 0; i < user.record.size(); ++i) {
            if (m_wanted == UserColumns::Record || i == kPinMember) {
                user.record[i] = Field(row.fields, member::kUser[i].name);
            }
        }
        const std::string photo = Field(row.fields, kPhotoColumn);
        const bool utf8 = IsValidUtf8(photo) &&
                          std::all_of(user.record.begin(), user.record.end(),
                                      [](const std::string& value) { return IsValidUtf8(value); });
        if (!utf8) {
            Problem(row.line, "not valid UTF-8");
            return;
        }
        bool ok = CheckPin(user);
        if (m_wanted == UserColumns::Record) {
            ok = CheckMembers(user) && ok;
            ok = CheckPhotoField(photo, user) && ok;
        }
        if (ok) {
            m_result.rows.push_back(std::move(user));
        }
    }

    // Every member but the pin, each problem its own message.
    bool CheckMembers(const UserRow& row)
    {
        bool ok = true;
        for (std::size_t i = 0; i < row.record.size(); ++i) {
            const std::string problem =
                i == kPinMember ? std::string() : MemberProblem(i, row.record[i], m_pinKind);
            if (!problem.empty()) {
                Problem(row.line, problem);
                ok = false;
            }
        }
        return ok;
    }

    // Pins are the users' keys on a terminal: two rows that a terminal takes for one user would
    // overwrite each other there.
    bool CheckPin(const UserRow& row)
    {
        const std::string& pin = row.Pin();
        const std::string problem = MemberProblem(kPinMember, pin, m_pinKind);
        if (!problem.empty()) {
            Problem(row.line, problem);
            return false;
        }
        const auto first = m_pins.emplace(PinKey(pin, m_pinKind), std::make_pair(row.line, pin));
        if (first.second) {
            return true;
        }
        const auto& [line, earlier] = first.first->second;
        Problem(row.line, earlier == pin ? "duplicate pin " + pin + " (first on line " +
                                               std::to_string(line) + ")"
                                         : "duplicate pin " + pin + ": the same number as pin " +
                                               earlier + " on line " + std::to_string(line) +
                                               " (--text-pins if the terminals keep pins as text)");
        return false;
    }

    bool CheckPhotoField(const std::string& photo, UserRow& row)
    {
        if (photo.empty()) {
            return true;
        }
        row.photoPath = photo[0] == '/' ? photo : Folder(m_path) + photo;
        const PhotoCheck check = CheckPhoto(row.photoPath, m_maxPhotoBytes);
        if (!check.problem.empty()) {
            Problem(row.line, check.problem);
            return false;
        }
        row.photoSize = check.size;
        return true;
    }

    std::string m_path;
    std::size_t m_maxPhotoBytes;
    UserColumns m_wanted;
    PinKind m_pinKind;
    std::size_t m_fieldCount = 0;  // of the header row
    std::size_t m_namedCount = 0;  // up to its last named column
    std::vector<bool> m_named;
    std::map<std::string, std::size_t> m_columns;
    // The key a terminal knows a user by, and the line and pin that first had it.
    std::map<std::string, std::pair<std::size_t, std::string>> m_pins;
    UserFile m_result;
};

}  // namespace

std::string InputProblem::Text() const
{
    return file + (line > 0 ? ":" + std::to_string(line) : std::string()) + ": " + message;
}

UserFile ReadUserFile(const std::string& path, std::size_t maxPhotoBytes, UserColumns columns,
                      PinKind pins)
{
    return Reader(path, maxPhotoBytes, columns, pins).Read();
}

}  // namespace facepad::cli
