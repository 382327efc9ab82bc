#include "reply_reader.h"

#include <array>
#include <cstring>

namespace Osmer_Framework {
namespace http {

namespace {

// Content-Length and chunk sizes: anything this long is far past every cap.
constexpr std::size_t kMaxLengthDigits = 15;

// A table, not a test per byte: header names are compared once per line of every answer.
constexpr std::array<char, 256> LowerCaseTable()
{
    std::array<char, 256> table{};
    for (int c = 0; c < 256; ++c) {
        table[static_cast<std::size_t>(c)] =
            static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    }
    return table;
}
constexpr std::array<char, 256> kLowerCase = LowerCaseTable();

char Lower(char c)
{
    return kLowerCase[static_cast<unsigned char>(c)];
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

struct Text {
    const char* data;
    std::size_t size;

    // `lower` is a literal: its length is known here, not counted per header line.
    template <std::size_t N>
    bool EqualsLowerCase(const char (&lower)[N]) const
    {
        if (size != N - 1) {
            return false;
        }
        for (std::size_t i = 0; i < size; ++i) {
            if (Lower(data[i]) != lower[i]) {
                return false;
            }
        }
        return true;
    }

    Text Trimmed() const
    {
        std::size_t begin = 0;
        std::size_t end = size;
        while (begin < end && IsBlank(data[begin])) {
            ++begin;
        }
        while (end > begin && IsBlank(data[end - 1])) {
            --end;
        }
        return Text{data + begin, end - begin};
    }
};

// Calls `each` with every comma-separated, trimmed token of `list`.
template <class Each>
void ForEachToken(Text list, Each each)
{
    const char* begin = list.data;
    const char* const end = list.data + list.size;
    for (;;) {
        const auto* comma = static_cast<const char*>(
            std::memchr(begin, ',', static_cast<std::size_t>(end - begin)));
        const char* const stop = comma != nullptr ? comma : end;
        each(Text{begin, static_cast<std::size_t>(stop - begin)}.Trimmed());
        if (comma == nullptr) {
            return;
        }
        begin = comma + 1;
    }
}

// Leading zeros are valid and do not count against the digit limit.
bool ParseDecimal(Text text, std::size_t& value)
{
    std::size_t first = 0;
    while (first + 1 < text.size && text.data[first] == '0') {
        ++first;
    }
    if (text.size == 0 || text.size - first > kMaxLengthDigits) {
        return false;
    }
    value = 0;
    for (std::size_t i = first; i < text.size; ++i) {
        if (!IsDigit(text.data[i])) {
            return false;
        }
        value = value * 10 + static_cast<std::size_t>(text.data[i] - '0');
    }
    return true;
}

int HexValue(char c)
{
    if (IsDigit(c)) {
        return c - '0';
    }
    const char lower = Lower(c);
    return (lower >= 'a' && lower <= 'f') ? lower - 'a' + 10 : -1;
}

// "timeout=N" among the comma-separated parameters of a Keep-Alive header; -1 without one.
long KeepAliveTimeoutOf(Text value)
{
    long timeout = -1;
    ForEachToken(value, [&timeout](Text parameter) {
        constexpr std::size_t kNameLength = 8;  // "timeout="
        std::size_t seconds = 0;
        if (parameter.size > kNameLength &&
            Text{parameter.data, kNameLength}.EqualsLowerCase("timeout=") &&
            ParseDecimal(Text{parameter.data + kNameLength, parameter.size - kNameLength},
                         seconds)) {
            timeout = static_cast<long>(seconds);
        }
    });
    return timeout;
}

}  // namespace

ReplyReader::ReplyReader(const ReplyLimits& limits, std::string& body)
    : m_limits(limits), m_body(body)
{
}

std::size_t ReplyReader::Feed(const char* data, std::size_t size)
{
    std::size_t used = 0;
    while (used < size && m_state == ReplyState::Incomplete) {
        if (m_stage == Stage::Body || m_stage == Stage::ChunkData) {
            used += FeedBody(data + used, size - used);
        } else {
            used += FeedLine(data + used, size - used);
        }
    }
    return used;
}

void ReplyReader::FeedEnd()
{
    if (m_state != ReplyState::Incomplete) {
        return;
    }
    const bool bodyEndsAtClose = m_stage == Stage::Body && m_bodyKind == BodyKind::UntilClose;
    m_state = bodyEndsAtClose ? ReplyState::Complete : ReplyState::Truncated;
}

// Takes bytes up to and including the next line feed. Lines are held back only when a feed ends
// inside one, and never beyond the line limit.
std::size_t ReplyReader::FeedLine(const char* data, std::size_t size)
{
    const bool inHead =
        m_stage == Stage::StatusLine || m_stage == Stage::HeaderLines || m_stage == Stage::Trailers;
    const ReplyState tooLong = inHead ? ReplyState::HeadTooLarge : ReplyState::Malformed;
    const auto* newline = static_cast<const char*>(std::memchr(data, '\n', size));
    const std::size_t take =
        newline != nullptr ? static_cast<std::size_t>(newline - data) + 1 : size;
    if (inHead) {
        m_headBytes += take;
        if (m_headBytes > m_limits.maxHeadBytes) {
            Fail(ReplyState::HeadTooLarge);
            return take;
        }
    }
    // Without its line feed, the line so far; with it, the line and its terminator.
    const std::size_t lineBytes = m_line.size() + take - (newline != nullptr ? 1 : 0);
    if (lineBytes > m_limits.maxLineBytes + 1) {  // + 1: the carriage return
        Fail(tooLong);
        return take;
    }
    if (newline == nullptr) {
        m_line.append(data, take);
        return take;
    }
    const char* line = data;
    if (!m_line.empty()) {
        m_line.append(data, take - 1);
        line = m_line.data();
    }
    std::size_t length = lineBytes;
    if (length > 0 && line[length - 1] == '\r') {
        --length;
    }
    // Chunk framing counts whole lines, so that the verdict does not depend on how they were fed.
    if (length > m_limits.maxLineBytes) {
        Fail(tooLong);
    } else if (inHead || CountFraming(lineBytes + 1)) {
        OnLine(line, length);
    }
    m_line.clear();
    return take;
}

void ReplyReader::OnLine(const char* line, std::size_t length)
{
    switch (m_stage) {
    case Stage::StatusLine:
        OnStatusLine(line, length);
        break;
    case Stage::HeaderLines:
        OnHeaderLine(line, length);
        break;
    case Stage::ChunkSize:
        OnChunkSizeLine(line, length);
        break;
    case Stage::ChunkEnd:
        if (length != 0) {
            Fail(ReplyState::Malformed);
        }
        m_stage = Stage::ChunkSize;
        break;
    case Stage::Trailers:
        if (length == 0) {
            m_state = ReplyState::Complete;
        }
        break;
    case Stage::Body:
    case Stage::ChunkData:
        break;
    }
}

// "HTTP/1.x NNN[ reason]". Empty lines before it are skipped, as peers may send one.
void ReplyReader::OnStatusLine(const char* line, std::size_t length)
{
    if (length == 0) {
        return;
    }
    constexpr std::size_t kCodeEnd = 12;  // "HTTP/1.1 200"
    const bool shaped = length >= kCodeEnd && std::memcmp(line, "HTTP/1.", 7) == 0 &&
                        IsDigit(line[7]) && line[8] == ' ' && IsDigit(line[9]) &&
                        IsDigit(line[10]) && IsDigit(line[11]) &&
                        (length == kCodeEnd || line[kCodeEnd] == ' ');
    m_status = shaped ? (line[9] - '0') * 100 + (line[10] - '0') * 10 + (line[11] - '0') : 0;
    if (m_status < 100) {
        Fail(ReplyState::Malformed);
        return;
    }
    m_http11 = line[7] != '0';
    m_stage = Stage::HeaderLines;
}

void ReplyReader::OnHeaderLine(const char* line, std::size_t length)
{
    if (length == 0) {
        OnHeadEnd();
        return;
    }
    const auto* colon = static_cast<const char*>(std::memchr(line, ':', length));
    const Text name{line, colon != nullptr ? static_cast<std::size_t>(colon - line) : 0};
    if (name.size == 0 || IsBlank(line[0]) || IsBlank(line[name.size - 1])) {
        Fail(ReplyState::Malformed);  // no name, or a folded line
        return;
    }
    const Text value = Text{colon + 1, length - name.size - 1}.Trimmed();
    if (name.EqualsLowerCase("content-length")) {
        std::size_t announced = 0;
        if (!ParseDecimal(value, announced) || (m_sawLength && announced != m_remaining)) {
            Fail(ReplyState::Malformed);
            return;
        }
        m_sawLength = true;
        m_remaining = announced;
    } else if (name.EqualsLowerCase("transfer-encoding")) {
        // Only "chunked": any other coding would hand the caller bytes it cannot read.
        ForEachToken(value, [this](Text coding) {
            if (!coding.EqualsLowerCase("chunked")) {
                Fail(ReplyState::Malformed);
            }
        });
        m_sawChunked = true;
    } else if (name.EqualsLowerCase("keep-alive")) {
        m_keepAliveTimeout = KeepAliveTimeoutOf(value);
    } else if (name.EqualsLowerCase("connection")) {
        ForEachToken(value, [this](Text option) {
            m_connectionClose = m_connectionClose || option.EqualsLowerCase("close");
            m_connectionKeepAlive = m_connectionKeepAlive || option.EqualsLowerCase("keep-alive");
        });
    }
}

void ReplyReader::OnHeadEnd()
{
    if (m_status < 200) {
        // An interim answer: the real one follows. A protocol switch is nothing this client does.
        if (m_status == 101) {
            Fail(ReplyState::Malformed);
        }
        m_sawLength = m_sawChunked = m_connectionClose = m_connectionKeepAlive = false;
        m_remaining = 0;
        m_keepAliveTimeout = -1;
        m_stage = Stage::StatusLine;
        return;
    }
    m_keepAlive = m_http11 ? !m_connectionClose : m_connectionKeepAlive && !m_connectionClose;
    if (m_status == 204 || m_status == 304) {
        m_state = ReplyState::Complete;
    } else if (m_sawChunked) {
        // Both framings at once is how answers get smuggled, and HTTP/1.0 has no chunks.
        if (m_sawLength || !m_http11) {
            Fail(ReplyState::Malformed);
            return;
        }
        m_bodyKind = BodyKind::Chunked;
        m_stage = Stage::ChunkSize;
    } else if (m_sawLength) {
        m_bodyKind = BodyKind::Length;
        m_stage = Stage::Body;
        if (m_remaining > m_limits.maxBodyBytes) {
            Fail(ReplyState::BodyTooLarge);
        } else if (m_remaining == 0) {
            m_state = ReplyState::Complete;
        } else {
            // One allocation of the announced size instead of doubling up to it.
            m_body.reserve(m_remaining < m_limits.keepBodyBytes ? m_remaining
                                                                : m_limits.keepBodyBytes);
        }
    } else {
        m_bodyKind = BodyKind::UntilClose;
        m_keepAlive = false;
        m_stage = Stage::Body;
    }
}

// Hex digits, then optionally blanks and ";extension" (ignored); nothing else.
void ReplyReader::OnChunkSizeLine(const char* line, std::size_t length)
{
    std::size_t digits = 0;
    std::size_t size = 0;
    for (; digits < length && HexValue(line[digits]) >= 0; ++digits) {
        size = size * 16 + static_cast<std::size_t>(HexValue(line[digits]));
    }
    std::size_t rest = digits;
    while (rest < length && IsBlank(line[rest])) {
        ++rest;
    }
    if (digits == 0 || digits > kMaxLengthDigits || (rest < length && line[rest] != ';')) {
        Fail(ReplyState::Malformed);
        return;
    }
    if (size == 0) {
        m_stage = Stage::Trailers;
    } else if (size > m_limits.maxBodyBytes - m_bodyBytes) {
        Fail(ReplyState::BodyTooLarge);
    } else {
        m_remaining = size;
        m_stage = Stage::ChunkData;
    }
}

std::size_t ReplyReader::FeedBody(const char* data, std::size_t size)
{
    if (m_bodyKind == BodyKind::UntilClose) {
        AppendBody(data, size);
        return size;
    }
    const std::size_t take = size < m_remaining ? size : m_remaining;
    if (!AppendBody(data, take)) {
        return take;
    }
    m_remaining -= take;
    if (m_remaining == 0) {
        if (m_bodyKind == BodyKind::Length) {
            m_state = ReplyState::Complete;
        } else {
            m_stage = Stage::ChunkEnd;
        }
    }
    return take;
}

bool ReplyReader::AppendBody(const char* data, std::size_t size)
{
    if (size > m_limits.maxBodyBytes - m_bodyBytes) {
        Fail(ReplyState::BodyTooLarge);
        return false;
    }
    m_bodyBytes += size;
    const std::size_t room =
        m_limits.keepBodyBytes > m_body.size() ? m_limits.keepBodyBytes - m_body.size() : 0;
    m_body.append(data, size < room ? size : room);
    return true;
}

// Chunk framing is not body, but a peer could send endless extensions or empty chunk ends: it may
// not outgrow the body it frames by more than the head limit.
bool ReplyReader::CountFraming(std::size_t bytes)
{
    m_framingBytes += bytes;
    if (m_framingBytes > m_limits.maxHeadBytes + m_bodyBytes) {
        Fail(ReplyState::BodyTooLarge);
        return false;
    }
    return true;
}

}  // namespace http
}  // namespace Osmer_Framework
