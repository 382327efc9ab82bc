// Where a subcommand's outcome goes: lines for people, or one JSON document on stdout for scripts.
#pragma once

#include <json-c/json.h>

#include <functional>
#include <string>
#include <vector>

#include "command_line.h"

namespace facepad::cli {

class Output {
public:
    // `summaryOnly`: the document leaves out its streamed list (--json=summary).
    Output(bool json, std::string command, bool summaryOnly = false);
    ~Output();
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;

    bool Json() const { return m_json; }
    // A line for people on stdout; nothing in JSON mode.
    void Say(const std::string& line) const;
    // The document's top-level object: subcommands add their own members (it owns what it gets).
    json_object* Document() { return m_document; }
    void Set(const char* key, const std::string& value);
    void Set(const char* key, long long value);
    void Set(const char* key, bool value);
    void SetList(const char* key, const std::vector<std::string>& values);
    // A list too long to hold as one document (a sync's every user on every terminal): `write`
    // runs when the document is printed and hands each element to `emit`, which prints and frees
    // it. It becomes the document's last member; a summary-only document has none.
    using Emit = std::function<void(json_object* element)>;
    void SetStreamedList(const char* key, std::function<void(const Emit& emit)> write);
    // Ends the run: prints the message on stdout, whatever the exit code (scripts tell success
    // from failure by the code), or the whole document with "ok", "exit_code" and "message", and
    // returns the exit code.
    int Finish(ExitCode code, const std::string& message);

private:
    void PrintDocument() const;

    bool m_json;
    bool m_summaryOnly;
    json_object* m_document;
    std::string m_streamedKey;
    std::function<void(const Emit& emit)> m_streamed;
};

// A JSON string member, never null (json-c takes a copy).
json_object* JsonText(const std::string& text);

}  // namespace facepad::cli
