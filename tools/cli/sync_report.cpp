#include "sync_report.h"

#include <algorithm>
#include <fstream>

#include "csv_reader.h"
#include "csv_record.h"

namespace facepad::cli {

namespace {

// Reports of earlier versions end after photo_command; they are read alike.
constexpr char kHeader[] = "pin,terminal,state,detail,user_command,photo_command";
constexpr char kReplyColumn[] = ",reply";
constexpr std::size_t kUserCommandField = 4;

// "s1a2b3c.1001.user" -> "s1a2b3c".
std::string SyncIdOf(const std::string& command)
{
    return command.substr(0, command.find('.'));
}

}  // namespace

ReportWriter::~ReportWriter()
{
    Close();
}

std::string ReportWriter::Open(const std::string& path)
{
    m_path = path;
    m_file = std::fopen(path.c_str(), "w");
    if (m_file == nullptr) {
        return "cannot write the report " + path;
    }
    std::fprintf(m_file, "%s%s\n", kHeader, kReplyColumn);
    return std::string();
}

void ReportWriter::Write(const UserOutcome& o)
{
    if (m_file == nullptr) {
        return;
    }
    m_row.clear();
    for (const std::string_view field :
         {std::string_view(o.pin), std::string_view(o.serial), std::string_view(o.state),
          std::string_view(o.detail), std::string_view(o.userCommand),
          std::string_view(o.photoCommand)}) {
        AppendCsvField(m_row, field);
        m_row += ',';
    }
    AppendCsvField(m_row, OneLine(o.reply));
    m_row += '\n';
    std::fwrite(m_row.data(), 1, m_row.size(), m_file);
}

std::string ReportWriter::Close()
{
    if (m_file == nullptr) {
        return std::string();
    }
    const bool failed = std::ferror(m_file) != 0;
    const bool closed = std::fclose(m_file) == 0;
    m_file = nullptr;
    return failed || !closed ? "cannot write the report " + m_path : std::string();
}

RetryReport ReadRetryReport(const std::string& path,
                            const std::function<void(const FailedRow&)>& failed)
{
    RetryReport report;
    std::ifstream in(path, std::ios::binary);
    std::string header;
    if (!std::getline(in, header) || header.rfind(kHeader, 0) != 0) {
        report.problem = path + ":1: not a sync report of facepad-cli (expected \"" +
                         std::string(kHeader) + "\")";
        return report;
    }
    CsvReader reader(in);
    for (CsvRecord row; reader.Next(row);) {
        if (!row.problem.empty() || row.fields.size() <= kUserCommandField) {
            report.problem = path + ":" + std::to_string(row.line + 1) + ": expected " + kHeader;
            return report;
        }
        const auto& f = row.fields;
        report.syncIds.insert(SyncIdOf(f[kUserCommandField]));
        if (f[2] == final_state::kDone) {
            continue;
        }
        if (std::find(report.serials.begin(), report.serials.end(), f[1]) == report.serials.end()) {
            report.serials.push_back(f[1]);
        }
        failed(FailedRow{f[0], f[1], f[2], f[3], SyncIdOf(f[kUserCommandField])});
    }
    return report;
}

}  // namespace facepad::cli
