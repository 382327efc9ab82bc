// The one table the benchmark prints: each figure beside its baseline from the same run, the
// ratio between them and the target it is held to.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vvbench {

struct FigureRow {
    std::string figure;
    std::string value;     // what the adapter did
    std::string baseline;  // what the reference did in the same run
    std::string ratio;
    std::string target;
    std::optional<bool> pass;  // none: reported, not judged
};

class FigureTable {
public:
    void Add(FigureRow row);
    void Print() const;
    bool AllPassed() const;

private:
    std::vector<FigureRow> m_rows;
};

// A figure that lost requests fails whatever its speed; a smoke run judges nothing else.
std::optional<bool> Judge(bool judged, bool withinTarget, double failures = 0);

// Number formatting shared by the figures.
std::string Fixed(double value, int decimals);
std::string Ratio(double ratio);  // "1.04x"

}  // namespace vvbench
