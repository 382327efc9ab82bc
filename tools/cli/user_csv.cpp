#include "user_csv.h"

#include <algorithm>
#include <map>
#include <optional>

#include "csv_record.h"
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

bool HasControlCharacter(const std::string& text)
{
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
}

std::string Folder(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

class Reader {
public:
    Reader(const std::string& path, std::size_t maxPhotoBytes, UserColumns columns)
        : m_path(path), m_maxPhotoBytes(maxPhotoBytes), m_wanted(columns)
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
        std::string text;
        std::size_t number = 0;
        while (std::getline(in, text)) {
            ++number;
            if (!text.empty() && text.back() == '\r') {
                text.pop_back();
            }
            if (number == 1) {
                ReadHeader(text);
                if (!m_result.problems.empty()) {
                    break;
                }
            } else if (!text.empty()) {
                ReadRow(number, text);
            }
        }
        if (number == 0) {
            Problem(1, "the file is empty; expected a header row naming the columns");
        }
        return std::move(m_result);
    }

private:
    void Problem(std::size_t line, const std::string& message)
    {
        m_result.problems.push_back(InputProblem{m_path, line, message});
    }

    void ReadHeader(const std::string& text)
    {
        std::string problem;
        const auto names = SplitCsvRecord(text, problem);
        if (!names) {
            Problem(1, problem);
            return;
        }
        for (std::size_t i = 0; i < names->size(); ++i) {
            const std::string& name = (*names)[i];
            const bool known = std::find(kColumns.begin(), kColumns.end(), name) != kColumns.end();
            if (m_wanted == UserColumns::PinOnly) {
                m_columns.emplace(name,
                                  i);  // the pin is all it reads; other columns may be anything
            } else if (!known) {
                Problem(1, "unknown column \"" + name + "\"; known: " + ColumnList());
            } else if (!m_columns.emplace(name, i).second) {
                Problem(1, "column \"" + name + "\" appears twice");
            }
            ++m_fieldCount;
        }
        if (m_columns.count(member::kPin) == 0 && m_result.problems.empty()) {
            Problem(1, std::string("no \"") + member::kPin + "\" column in the header row");
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

    void ReadRow(std::size_t number, const std::string& text)
    {
        std::string problem;
        const auto fields = SplitCsvRecord(text, problem);
        if (!fields) {
            Problem(number, problem);
            return;
        }
        if (fields->size() != m_fieldCount) {
            Problem(number, "expected " + std::to_string(m_fieldCount) + " fields, got " +
                                std::to_string(fields->size()));
            return;
        }
        if (!IsValidUtf8(text)) {
            Problem(number, "not valid UTF-8");
            return;
        }
        UserRow row;
        row.line = number;
        for (std::size_t i = 0; i < row.record.size(); ++i) {
            row.record[i] = Field(*fields, member::kUser[i].name);
        }
        if (m_wanted == UserColumns::PinOnly ? CheckPin(row) : CheckRow(*fields, row)) {
            m_result.rows.push_back(std::move(row));
        }
    }

    // Empty is sent as 0, as the adapter reads it.
    bool CheckNumbers(const UserRow& row)
    {
        bool ok = true;
        for (std::size_t i = 0; i < row.record.size(); ++i) {
            const std::string& value = row.record[i];
            if (member::kUser[i].kind == member::Kind::Integer && !value.empty() &&
                !ParseInt(value)) {
                Problem(row.line, std::string(member::kUser[i].name) +
                                      " must be a whole number, got \"" + value + "\"");
                ok = false;
            }
        }
        return ok;
    }

    bool CheckPin(const UserRow& row)
    {
        const std::string& pin = row.Pin();
        if (pin.empty()) {
            Problem(row.line, "the pin is empty");
            return false;
        }
        if (HasControlCharacter(pin)) {
            Problem(row.line, "the pin holds a control character");
            return false;
        }
        const auto first = m_pins.emplace(pin, row.line);
        if (!first.second) {
            Problem(row.line, "duplicate pin " + pin + " (first on line " +
                                  std::to_string(first.first->second) + ")");
            return false;
        }
        return true;
    }

    bool CheckPhotoField(const std::vector<std::string>& fields, UserRow& row)
    {
        const std::string photo = Field(fields, kPhotoColumn);
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

    bool CheckRow(const std::vector<std::string>& fields, UserRow& row)
    {
        bool ok = CheckPin(row);
        ok = CheckNumbers(row) && ok;
        ok = CheckPhotoField(fields, row) && ok;
        return ok;
    }

    std::string m_path;
    std::size_t m_maxPhotoBytes;
    UserColumns m_wanted;
    std::size_t m_fieldCount = 0;
    std::map<std::string, std::size_t> m_columns;
    std::map<std::string, std::size_t> m_pins;
    UserFile m_result;
};

}  // namespace

std::string InputProblem::Text() const
{
    return file + (line > 0 ? ":" + std::to_string(line) : std::string()) + ": " + message;
}

UserFile ReadUserFile(const std::string& path, std::size_t maxPhotoBytes, UserColumns columns)
{
    return Reader(path, maxPhotoBytes, columns).Read();
}

}  // namespace facepad::cli
