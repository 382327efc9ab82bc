// Reads the TAB-separated name=value bodies the adapter posts.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace facepad::sim {

// One expected field. Most are written "name=value"; "reset" is followed by its value directly.
struct FieldSpec {
    std::string name;
    bool withEquals = true;
};

struct ParsedFields {
    std::vector<std::string> values;  // in the order of the layouts
    std::string error;                // empty on success; otherwise names what was wrong

    bool ok() const { return error.empty(); }
};

// Splits `body` at every TAB and checks that field i starts with layouts[i]'s name. No value the
// adapter sends holds a TAB (its JSON writer escapes them), so every TAB separates. Order matters,
// as the adapter always sends the fields in one order.
ParsedFields ParseFields(const std::string& body, const std::vector<FieldSpec>& layouts);

// A decimal integer written the way "%d" writes it: optional "-", digits, nothing else.
std::optional<long long> ParseDecimal(const std::string& text);

// Quotes `text` for a refusal message and cuts it to a readable length.
std::string Quoted(const std::string& text);

}  // namespace facepad::sim
