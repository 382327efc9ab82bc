#include "output.h"

#include <cstdio>

namespace facepad::cli {

json_object* JsonText(const std::string& text)
{
    return json_object_new_string_len(text.data(), static_cast<int>(text.size()));
}

Output::Output(bool json, std::string command) : m_json(json), m_document(json_object_new_object())
{
    Set("command", command);
}

Output::~Output()
{
    json_object_put(m_document);
}

void Output::Say(const std::string& line) const
{
    if (!m_json) {
        std::printf("%s\n", line.c_str());
        std::fflush(stdout);
    }
}

void Output::Set(const char* key, const std::string& value)
{
    json_object_object_add(m_document, key, JsonText(value));
}

void Output::Set(const char* key, long long value)
{
    json_object_object_add(m_document, key, json_object_new_int64(value));
}

void Output::Set(const char* key, bool value)
{
    json_object_object_add(m_document, key, json_object_new_boolean(value ? 1 : 0));
}

void Output::SetList(const char* key, const std::vector<std::string>& values)
{
    json_object* list = json_object_new_array();
    for (const std::string& value : values) {
        json_object_array_add(list, JsonText(value));
    }
    json_object_object_add(m_document, key, list);
}

int Output::Finish(ExitCode code, const std::string& message)
{
    const int exitCode = static_cast<int>(code);
    if (m_json) {
        Set("ok", code == ExitCode::Success);
        Set("exit_code", static_cast<long long>(exitCode));
        if (!message.empty()) {
            Set("message", message);
        }
        std::printf("%s\n",
                    json_object_to_json_string_ext(
                        m_document, JSON_C_TO_STRING_PRETTY | JSON_C_TO_STRING_NOSLASHESCAPE));
    } else if (!message.empty()) {
        std::fprintf(code == ExitCode::Success ? stdout : stderr, "%s\n", message.c_str());
    }
    std::fflush(stdout);
    std::fflush(stderr);
    return exitCode;
}

}  // namespace facepad::cli
