#include "recording.h"

#include <json-c/json.h>

#include <cinttypes>
#include <cstdio>
#include <stdexcept>

#include "facepad_protocol.h"
#include "journal_fields.h"

namespace facepad::sim {

namespace {

constexpr int kNoRecording = 404;

// A photo upload's body is megabytes: a recording keeps its size and hash to match it by, and its
// start for a person to read.
std::string BodyHash(const std::string& body)
{
    std::uint64_t hash = 14695981039346656037ull;  // FNV-1a, 64 bits
    for (const char c : body) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    }
    char text[17];
    std::snprintf(text, sizeof text, "%016" PRIx64, hash);
    return text;
}

std::string RequestKey(const std::string& path, std::size_t bodyBytes, const std::string& hash)
{
    return path + "\n" + std::to_string(bodyBytes) + "\n" + hash;
}

json_object* Text(const std::string& text)
{
    return json_object_new_string_len(text.data(), static_cast<int>(text.size()));
}

// The member `name` of `line`, or nothing when it is missing or of another type.
json_object* Member(json_object* line, const char* name, json_type type)
{
    json_object* value = nullptr;
    return json_object_object_get_ex(line, name, &value) && json_object_is_type(value, type)
               ? value
               : nullptr;
}

std::string TextOf(json_object* value)
{
    return std::string(json_object_get_string(value),
                       static_cast<std::size_t>(json_object_get_string_len(value)));
}

}  // namespace

RecordingWriter::RecordingWriter(const std::string& file)
    : m_out(file, std::ios::binary | std::ios::trunc)
{
    if (!m_out) {
        throw std::runtime_error("cannot write the recording " + file);
    }
}

void RecordingWriter::Write(const std::string& path, const std::string& body,
                            const FrontAnswer& answer)
{
    if (!answer.relayed) {
        return;
    }
    json_object* line = json_object_new_object();
    json_object_object_add(line, "path", Text("/" + path));
    json_object_object_add(line, "request", Text(CutForJournal(body)));
    json_object_object_add(line, "body_bytes",
                           json_object_new_int64(static_cast<std::int64_t>(body.size())));
    json_object_object_add(line, "body_hash", Text(BodyHash(body)));
    json_object_object_add(line, "status", json_object_new_int(answer.status));
    json_object_object_add(line, "reply", Text(answer.body));
    const std::string text = json_object_to_json_string_ext(
        line, JSON_C_TO_STRING_PLAIN | JSON_C_TO_STRING_NOSLASHESCAPE);
    json_object_put(line);
    std::lock_guard<std::mutex> lock(m_mutex);
    m_out << text << '\n';
    m_out.flush();
}

RecordingPlayer::RecordingPlayer(const std::string& file) : m_file(file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot read the recording " + file);
    }
    std::size_t number = 0;
    for (std::string text; std::getline(in, text);) {
        ++number;
        json_object* line = json_tokener_parse(text.c_str());
        json_object* path = Member(line, "path", json_type_string);
        json_object* bytes = Member(line, "body_bytes", json_type_int);
        json_object* hash = Member(line, "body_hash", json_type_string);
        json_object* status = Member(line, "status", json_type_int);
        json_object* reply = Member(line, "reply", json_type_string);
        if (!path || !bytes || !hash || !status || !reply) {
            json_object_put(line);
            throw std::runtime_error(file + ":" + std::to_string(number) +
                                     ": not a recorded exchange (path, body_bytes, body_hash, "
                                     "status and reply are needed)");
        }
        const std::string key = RequestKey(
            TextOf(path), static_cast<std::size_t>(json_object_get_int64(bytes)), TextOf(hash));
        m_replies[key].recorded.push_back(
            FrontAnswer{json_object_get_int(status), TextOf(reply), std::string(), false});
        ++m_recorded;
        json_object_put(line);
    }
}

FrontAnswer RecordingPlayer::Answer(const std::string& path, const std::string& body)
{
    const std::string key = RequestKey("/" + path, body.size(), BodyHash(body));
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto found = m_replies.find(key);
    if (found == m_replies.end()) {
        ++m_unrecorded;
        return FrontAnswer{kNoRecording,
                           "no recording in " + m_file + " for /" + path + " with this body (" +
                               std::to_string(body.size()) + " bytes)",
                           "no recording", false};
    }
    Replies& replies = found->second;
    if (replies.next < replies.recorded.size()) {
        return replies.recorded[replies.next++];
    }
    if (path == endpoint::kGetResult) {
        return FrontAnswer{200, std::string(reply::kResultKeyWord) + reply::kKeySeparator + "[]",
                           std::string(), false};
    }
    return replies.recorded.back();
}

std::size_t RecordingPlayer::Unrecorded() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_unrecorded;
}

}  // namespace facepad::sim
