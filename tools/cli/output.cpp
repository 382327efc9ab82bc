#include "output.h"

#include <cstdio>

namespace facepad::cli {

json_object* JsonText(const std::string& text)
{
    return json_object_new_string_len(text.data(), static_cast<int>(text.size()));
}

Output::Output(bool json, std::string command, bool summaryOnly)
    : m_json(json), m_summaryOnly(summaryOnly), m_document(json_object_new_object())
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

void Output::SetStreamedList(const char* key, std::function<void(const Emit& emit)> write)
{
    if (m_summaryOnly) {
        return;
    }
    m_streamedKey = key;
    m_streamed = std::move(write);
}

// The document without the streamed list, then the list element by element before the closing
// brace: memory stays that of one element however long the list is.
void Output::PrintDocument() const
{
    constexpr int kFlags = JSON_C_TO_STRING_PRETTY | JSON_C_TO_STRING_NOSLASHESCAPE;
    std::string text = json_object_to_json_string_ext(m_document, kFlags);
    if (!m_streamed) {
        std::printf("%s\n", text.c_str());
        return;
    }
    text.erase(text.find_last_of('}'));
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) {
        text.pop_back();
    }
    std::printf("%s,\n  \"%s\":[", text.c_str(), m_streamedKey.c_str());
    bool first = true;
    m_streamed([&first](json_object* element) {
        std::printf("%s\n    %s", first ? "" : ",",
                    json_object_to_json_string_ext(element, JSON_C_TO_STRING_NOSLASHESCAPE));
        json_object_put(element);
        first = false;
    });
    std::printf("\n  ]\n}\n");
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
        PrintDocument();
    } else if (!message.empty()) {
        std::printf("%s\n", message.c_str());
    }
    std::fflush(stdout);
    std::fflush(stderr);
    return exitCode;
}

}  // namespace facepad::cli
