#include "figure_table.h"

#include <algorithm>
#include <cstdio>

namespace vvbench {

namespace {

const char* Verdict(const std::optional<bool>& pass)
{
    return !pass ? "-" : *pass ? "PASS" : "FAIL";
}

void PrintRule(const std::vector<std::size_t>& widths)
{
    std::string rule = "|";
    for (std::size_t width : widths) {
        rule += std::string(width + 2, '-') + "|";
    }
    std::printf("%s\n", rule.c_str());
}

void PrintCells(const std::vector<std::string>& cells, const std::vector<std::size_t>& widths)
{
    std::string line = "|";
    for (std::size_t i = 0; i < cells.size(); ++i) {
        line += " " + cells[i] + std::string(widths[i] - cells[i].size(), ' ') + " |";
    }
    std::printf("%s\n", line.c_str());
}

}  // namespace

void FigureTable::Add(FigureRow row)
{
    m_rows.push_back(std::move(row));
}

bool FigureTable::AllPassed() const
{
    return std::none_of(m_rows.begin(), m_rows.end(),
                        [](const FigureRow& row) { return row.pass && !*row.pass; });
}

void FigureTable::Print() const
{
    std::vector<std::vector<std::string>> lines;
    lines.push_back({"figure", "adapter", "baseline (same run)", "ratio", "target", "verdict"});
    for (const FigureRow& row : m_rows) {
        lines.push_back(
            {row.figure, row.value, row.baseline, row.ratio, row.target, Verdict(row.pass)});
    }
    std::vector<std::size_t> widths(lines.front().size(), 0);
    for (const auto& cells : lines) {
        for (std::size_t i = 0; i < cells.size(); ++i) {
            widths[i] = std::max(widths[i], cells[i].size());
        }
    }
    for (std::size_t i = 0; i < lines.size(); ++i) {
        PrintCells(lines[i], widths);
        if (i == 0) {
            PrintRule(widths);
        }
    }
    std::fflush(stdout);
}

std::optional<bool> Judge(bool judged, bool withinTarget, double failures)
{
    if (failures > 0) {
        return false;
    }
    return judged ? std::optional<bool>(withinTarget) : std::nullopt;
}

std::string Fixed(double value, int decimals)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::string Ratio(double ratio)
{
    return Fixed(ratio, 2) + "x";
}

}  // namespace vvbench
