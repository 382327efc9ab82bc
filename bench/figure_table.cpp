// The one table a run ends in: each figure beside its baseline, the ratio and the target.

#include "bench.h"

namespace vvbench {

bool PrintTable(const FigureTable& table)
{
    FigureTable lines{{"figure", "adapter", "baseline (same run)", "ratio", "target", "verdict"}};
    lines.insert(lines.end(), table.begin(), table.end());
    std::size_t widths[6] = {};
    for (const FigureRow& cells : lines) {
        for (std::size_t i = 0; i < cells.size(); ++i) {
            widths[i] = std::max(widths[i], cells[i].size());
        }
    }
    for (std::size_t n = 0; n < lines.size(); ++n) {
        std::string line = "|";
        std::string rule = "|";
        for (std::size_t i = 0; i < 6; ++i) {
            line += " " + lines[n][i] + std::string(widths[i] - lines[n][i].size(), ' ') + " |";
            rule += std::string(widths[i] + 2, '-') + "|";
        }
        std::printf(n == 0 ? "%s\n%s\n" : "%s\n", line.c_str(), rule.c_str());
    }
    std::fflush(stdout);
    return std::none_of(table.begin(), table.end(),
                        [](const FigureRow& row) { return row[5] == "FAIL"; });
}

std::string Judge(bool judged, bool withinTarget, double failures)
{
    return failures > 0 || (judged && !withinTarget) ? "FAIL" : judged ? "PASS" : "-";
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
