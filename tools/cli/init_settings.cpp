#include "init_settings.h"

#include <algorithm>
#include <cctype>
#include <fstream>

#include "facepad_protocol.h"
#include "file_checks.h"
#include "text_checks.h"

namespace facepad::cli {

namespace {

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string UnknownKeyProblem(const std::string& key)
{
    std::string known;
    for (const char* name : kInitParamKeys) {
        if (Lower(name) == Lower(key)) {
            return "unknown init setting \"" + key + "\"; did you mean \"" + name +
                   "\"? (names are case-sensitive)";
        }
        known += known.empty() ? name : std::string(", ") + name;
    }
    return "unknown init setting \"" + key + "\"; the gateway knows: " + known;
}

bool IsKnownKey(const std::string& key)
{
    return std::any_of(std::begin(kInitParamKeys), std::end(kInitParamKeys),
                       [&](const char* name) { return key == name; });
}

// Adds one KEY=VALUE; returns a problem or "".
std::string AddAssignment(const std::string& text, const std::string& where,
                          std::map<std::string, std::string>& values)
{
    const std::size_t equals = text.find('=');
    if (equals == std::string::npos || equals == 0) {
        return where + "expected KEY=VALUE, got \"" + text + "\"";
    }
    const std::string key = text.substr(0, equals);
    if (!IsKnownKey(key)) {
        return where + UnknownKeyProblem(key);
    }
    const std::string value = text.substr(equals + 1);
    if (!IsValidUtf8(value)) {
        return where + "the value of " + key + " is not valid UTF-8";
    }
    if (!values.emplace(key, value).second) {
        return where + key + " is given twice";
    }
    return std::string();
}

std::string AddFile(const std::string& file, std::map<std::string, std::string>& values)
{
    std::ifstream in;
    const std::string unreadable = OpenTextInput(file, in);
    if (!unreadable.empty()) {
        return "cannot read init settings file " + file + ": " + unreadable;
    }
    std::string text;
    for (int number = 1; std::getline(in, text); ++number) {
        if (!text.empty() && text.back() == '\r') {
            text.pop_back();
        }
        if (text.empty() || text[0] == '#') {
            continue;
        }
        const std::string problem =
            AddAssignment(text, file + ":" + std::to_string(number) + ": ", values);
        if (!problem.empty()) {
            return problem;
        }
    }
    return std::string();
}

std::string MissingProblem(const std::map<std::string, std::string>& values)
{
    std::string missing;
    for (const char* name : kInitParamKeys) {
        if (values.count(name) == 0) {
            missing += missing.empty() ? name : std::string(", ") + name;
        }
    }
    if (missing.empty()) {
        return std::string();
    }
    return "the gateway stores all " + std::to_string(kInitParamCount) +
           " init settings at once and blanks every one not sent; missing: " + missing +
           ". Give every value (--set KEY=VALUE or --file FILE), or add --all to send the "
           "missing ones empty";
}

}  // namespace

InitSettings GatherInitSettings(const std::vector<std::string>& assignments,
                                const std::string& file, bool allowMissing)
{
    InitSettings settings;
    if (!file.empty()) {
        settings.problem = AddFile(file, settings.values);
    }
    for (const std::string& text : assignments) {
        if (settings.problem.empty()) {
            settings.problem = AddAssignment(text, "--set: ", settings.values);
        }
    }
    if (settings.problem.empty() && !allowMissing) {
        settings.problem = MissingProblem(settings.values);
    }
    return settings;
}

}  // namespace facepad::cli
