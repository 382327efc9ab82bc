#include "user_csv.h"

#include <algorithm>
#include <fstream>
#include <map>
#include <optional>

#include "facepad_protocol.h"
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

// One CSV record of one line: commas separate fields, double quotes enclose a field that holds
// commas or quotes ("" for one quote). A record spanning lines is refused.
std::optional<std::vector<std::string>> SplitRecord(const std::string& text, std::string& problem)
{
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                fields.back() += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                fields.back() += c;
            }
        } else if (c == '"' && fields.back().empty()) {
            quoted = true;
        } else if (c == ',') {
            fields.emplace_back();
        } else {
            fields.back() += c;
        }
    }
    if (quoted) {
        problem = "a quoted field is not closed on its line";
        return std::nullopt;
    }
    return fields;
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
    Reader(const std::string& path, std::size_t maxPhotoBytes)
        : m_path(path), m_maxPhotoBytes(maxPhotoBytes)
    {
    }

    UserFile Read()
    {
        std::ifstream in(m_path, std::ios::binary);
        if (!in) {
            Problem(0, "cannot read the file");
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
        const auto names = SplitRecord(text, problem);
        if (!names) {
            Problem(1, problem);
            return;
        }
        for (std::size_t i = 0; i < names->size(); ++i) {
            const std::string& name = (*names)[i];
            if (std::find(kColumns.begin(), kColumns.end(), name) == kColumns.end()) {
                Problem(1, "unknown column \"" + name + "\"; known: " + ColumnList());
            } else if (!m_columns.emplace(name, i).second) {
                Problem(1, "column \"" + name + "\" appears twice");
            }
        }
        if (m_columns.count(member::kPin) == 0 && m_result.problems.empty()) {
            Problem(1, std::string("no \"") + member::kPin + "\" column in the header row");
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
        const auto fields = SplitRecord(text, problem);
        if (!fields) {
            Problem(number, problem);
            return;
        }
        if (fields->size() != m_columns.size()) {
            Problem(number, "expected " + std::to_string(m_columns.size()) + " fields, got " +
                                std::to_string(fields->size()));
            return;
        }
        if (!IsValidUtf8(text)) {
            Problem(number, "not valid UTF-8");
            return;
        }
        UserRow row;
        row.line = number;
        row.pin = Field(*fields, member::kPin);
        row.name = Field(*fields, member::kName);
        row.passwd = Field(*fields, member::kPasswd);
        row.card = Field(*fields, member::kCard);
        row.vicecard = Field(*fields, member::kViceCard);
        if (CheckRow(*fields, row)) {
            m_result.rows.push_back(std::move(row));
        }
    }

    bool CheckNumber(std::size_t number, const std::vector<std::string>& fields, const char* column,
                     std::string& into)
    {
        const std::string value = Field(fields, column);
        if (value.empty()) {
            return true;
        }
        if (!ParseInt(value)) {
            Problem(number, std::string(column) + " must be a whole number, got \"" + value + "\"");
            return false;
        }
        into = value;
        return true;
    }

    bool CheckPin(const UserRow& row)
    {
        if (row.pin.empty()) {
            Problem(row.line, "the pin is empty");
            return false;
        }
        if (HasControlCharacter(row.pin)) {
            Problem(row.line, "the pin holds a control character");
            return false;
        }
        const auto first = m_pins.emplace(row.pin, row.line);
        if (!first.second) {
            Problem(row.line, "duplicate pin " + row.pin + " (first on line " +
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
        ok = CheckNumber(row.line, fields, member::kPri, row.pri) && ok;
        ok = CheckNumber(row.line, fields, member::kVerify, row.verify) && ok;
        ok = CheckPhotoField(fields, row) && ok;
        return ok;
    }

    std::string m_path;
    std::size_t m_maxPhotoBytes;
    std::map<std::string, std::size_t> m_columns;
    std::map<std::string, std::size_t> m_pins;
    UserFile m_result;
};

}  // namespace

std::string InputProblem::Text() const
{
    return file + ":" + std::to_string(line) + ": " + message;
}

UserFile ReadUserFile(const std::string& path, std::size_t maxPhotoBytes)
{
    return Reader(path, maxPhotoBytes).Read();
}

}  // namespace facepad::cli
