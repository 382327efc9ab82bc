#include "body_fields.h"

#include <cctype>

#include "facepad_protocol.h"

namespace facepad::sim {

namespace {

constexpr std::size_t kQuoteLimit = 60;

std::string Prefix(const FieldSpec& layout)
{
    return layout.withEquals ? layout.name + "=" : layout.name;
}

std::vector<std::string> SplitAtTabs(const std::string& body)
{
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (auto tab = body.find(field::kSeparator); tab != std::string::npos;
         tab = body.find(field::kSeparator, start)) {
        parts.push_back(body.substr(start, tab - start));
        start = tab + 1;
    }
    parts.push_back(body.substr(start));
    return parts;
}

std::string FieldList(const std::vector<FieldSpec>& layouts)
{
    std::string names;
    for (const auto& layout : layouts) {
        names += names.empty() ? "" : ", ";
        names += Prefix(layout);
    }
    return names;
}

}  // namespace

std::string Quoted(const std::string& text)
{
    std::string shown;
    for (const char c : text.substr(0, kQuoteLimit)) {
        shown += c == '\t' ? std::string("\\t") : std::string(1, c);
    }
    return "\"" + shown + (text.size() > kQuoteLimit ? "...\"" : "\"");
}

ParsedFields ParseFields(const std::string& body, const std::vector<FieldSpec>& layouts)
{
    ParsedFields parsed;
    const auto parts = SplitAtTabs(body);
    if (parts.size() != layouts.size()) {
        parsed.error = "expected " + std::to_string(layouts.size()) + " TAB-separated field(s) (" +
                       FieldList(layouts) + "), got " + std::to_string(parts.size());
        return parsed;
    }
    for (std::size_t i = 0; i < layouts.size(); ++i) {
        const std::string prefix = Prefix(layouts[i]);
        if (parts[i].compare(0, prefix.size(), prefix) != 0) {
            parsed.error = "field " + std::to_string(i + 1) + " must start with " + Quoted(prefix) +
                           ", got " + Quoted(parts[i]);
            parsed.values.clear();
            return parsed;
        }
        parsed.values.push_back(parts[i].substr(prefix.size()));
    }
    return parsed;
}

std::optional<long long> ParseDecimal(const std::string& text)
{
    const std::size_t digitsFrom = !text.empty() && text[0] == '-' ? 1 : 0;
    const std::size_t digits = text.size() - digitsFrom;
    if (digits == 0 || digits > 18) {
        return std::nullopt;
    }
    for (std::size_t i = digitsFrom; i < text.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(text[i]))) {
            return std::nullopt;
        }
    }
    return std::stoll(text);
}

}  // namespace facepad::sim
