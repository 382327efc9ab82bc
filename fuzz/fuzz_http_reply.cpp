// Any bytes a gateway may send as the answer to a POST, through the client's reply reader: fed
// whole and fed in slices, the two verdicts must agree, every limit must hold, and wherever no
// limit was reached the verdict must be that of a plain reading of the whole buffer below.
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "reply_reader.h"

using Osmer_Framework::http::ReplyLimits;
using Osmer_Framework::http::ReplyReader;
using Osmer_Framework::http::ReplyState;

namespace {

struct Verdict {
    ReplyState state;
    int status;
    bool keepAlive;
    std::string body;
    std::size_t used;  // bytes taken before the answer ended
};

Verdict Read(const char* data, std::size_t size, std::size_t step, const ReplyLimits& limits)
{
    std::string body;
    ReplyReader reader(limits, body);
    std::size_t offset = 0;
    while (offset < size && !reader.Finished()) {
        const std::size_t slice = std::min(step, size - offset);
        const std::size_t used = reader.Feed(data + offset, slice);
        if (used > slice || (used < slice && !reader.Finished())) {
            std::abort();
        }
        offset += used;
    }
    reader.FeedEnd();
    if (body.size() > limits.maxBodyBytes || !reader.Finished()) {
        std::abort();
    }
    return Verdict{reader.State(), reader.Status(), reader.KeepAlive(), body, offset};
}

// ---- the reference: the whole buffer, line by line, no limits but the length of a chunk line ----

std::string Lower(std::string text)
{
    for (char& c : text) {
        c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    }
    return text;
}

std::string Trim(const std::string& text)
{
    const auto begin = text.find_first_not_of(" \t");
    return begin == std::string::npos
               ? ""
               : text.substr(begin, text.find_last_not_of(" \t") + 1 - begin);
}

std::vector<std::string> Tokens(const std::string& list)
{
    std::vector<std::string> tokens;
    std::size_t begin = 0;
    for (std::size_t comma = list.find(',');; comma = list.find(',', begin)) {
        tokens.push_back(Lower(Trim(list.substr(begin, comma - begin))));
        if (comma == std::string::npos) {
            return tokens;
        }
        begin = comma + 1;
    }
}

// Decimal digits, any number of leading zeros, at most 15 others.
bool Decimal(const std::string& text, std::size_t& value)
{
    const std::size_t first = text.find_first_not_of('0');
    const std::string digits = first == std::string::npos ? "0" : text.substr(first);
    if (text.empty() || digits.size() > 15 ||
        digits.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    value = std::stoull(digits);
    return true;
}

class Reference {
public:
    bool tooLong = false;  // a head line passed the limit: the reader's own verdict stands
    Reference(const std::string& bytes, std::size_t maxLine) : m_bytes(bytes), m_maxLine(maxLine) {}

    // Truncated where the bytes run out, Malformed at the first thing that is not HTTP/1.x.
    Verdict Run()
    {
        Verdict verdict{ReplyState::Truncated, 0, false, "", 0};
        verdict.state = Answer(verdict);
        verdict.used = m_at;
        return verdict;
    }

private:
    // The next line without its line feed and one carriage return; false when the bytes end first.
    bool Line(std::string& line, bool chunkLine, bool& malformed)
    {
        const auto newline = m_bytes.find('\n', m_at);
        const std::size_t end = newline == std::string::npos ? m_bytes.size() : newline;
        line = m_bytes.substr(m_at, end - m_at);
        if (!line.empty() && line.back() == '\r' && newline != std::string::npos) {
            line.pop_back();
        }
        if (line.size() > m_maxLine + (newline == std::string::npos ? 1 : 0)) {
            (chunkLine ? malformed : tooLong) = true;
            return false;
        }
        m_at = newline == std::string::npos ? m_bytes.size() : newline + 1;
        return newline != std::string::npos;
    }

    // What an answer's head said about its body and its connection.
    struct Head {
        bool http11 = true;
        bool hasLength = false;
        bool chunked = false;
        bool close = false;
        bool keepAlive = false;
        std::size_t length = 0;
    };

    // Interim (1xx) answers are passed over; the first final one's head says how its body ends.
    ReplyState Answer(Verdict& verdict)
    {
        for (;;) {
            Head head;
            const ReplyState read = ReadHead(verdict, head);
            if (read != ReplyState::Incomplete) {
                return read;
            }
            if (verdict.status == 101) {
                return ReplyState::Malformed;
            }
            if (verdict.status >= 200) {
                verdict.keepAlive = head.http11 ? !head.close : head.keepAlive && !head.close;
                return Body(verdict, head);
            }
        }
    }

    // The status line (after any empty lines) and the header lines: Incomplete once all were read.
    ReplyState ReadHead(Verdict& verdict, Head& head)
    {
        bool malformed = false;
        std::string line;
        do {
            if (!Line(line, false, malformed)) {
                return ReplyState::Truncated;
            }
        } while (line.empty());
        verdict.status = StatusOf(line);
        if (verdict.status < 100) {
            return ReplyState::Malformed;
        }
        head.http11 = line[7] != '0';
        for (;;) {
            if (!Line(line, false, malformed)) {
                return ReplyState::Truncated;
            }
            if (line.empty()) {
                return ReplyState::Incomplete;
            }
            if (!ReadHeader(line, head)) {
                return ReplyState::Malformed;
            }
        }
    }

    // "HTTP/1.x NNN", then nothing or a blank and a reason; 0 for any other line.
    static int StatusOf(const std::string& line)
    {
        const bool shaped = line.size() >= 12 && line.compare(0, 7, "HTTP/1.") == 0 &&
                            std::isdigit(static_cast<unsigned char>(line[7])) && line[8] == ' ' &&
                            line.find_first_not_of("0123456789", 9) >= 12 &&
                            (line.size() == 12 || line[12] == ' ');
        return shaped ? std::stoi(line.substr(9, 3)) : 0;
    }

    // One header line; false when it is malformed (no name, a blank around it, a bad length, a
    // coding other than chunked).
    static bool ReadHeader(const std::string& line, Head& head)
    {
        const auto colon = line.find(':');
        if (colon == 0 || colon == std::string::npos || line[0] == ' ' || line[0] == '\t' ||
            line[colon - 1] == ' ' || line[colon - 1] == '\t') {
            return false;
        }
        const std::string name = Lower(line.substr(0, colon));
        const std::string value = Trim(line.substr(colon + 1));
        std::size_t announced = 0;
        if (name == "content-length") {
            if (!Decimal(value, announced) || (head.hasLength && announced != head.length)) {
                return false;
            }
            head.hasLength = true;
            head.length = announced;
        } else if (name == "transfer-encoding") {
            for (const std::string& coding : Tokens(value)) {
                if (coding != "chunked") {
                    return false;
                }
            }
            head.chunked = true;
        } else if (name == "connection") {
            for (const std::string& option : Tokens(value)) {
                head.close = head.close || option == "close";
                head.keepAlive = head.keepAlive || option == "keep-alive";
            }
        }
        return true;
    }

    ReplyState Body(Verdict& verdict, const Head& head)
    {
        if (verdict.status == 204 || verdict.status == 304) {
            return ReplyState::Complete;
        }
        if (head.chunked) {
            return (head.hasLength || !head.http11) ? ReplyState::Malformed : Chunks(verdict);
        }
        if (!head.hasLength) {
            verdict.keepAlive = false;
            verdict.body = m_bytes.substr(m_at);
            m_at = m_bytes.size();
            return ReplyState::Complete;  // the buffer ends where the peer closes
        }
        if (m_bytes.size() - m_at < head.length) {
            return ReplyState::Truncated;
        }
        verdict.body = m_bytes.substr(m_at, head.length);
        m_at += head.length;
        return ReplyState::Complete;
    }

    ReplyState Chunks(Verdict& verdict)
    {
        bool malformed = false;
        std::string line;
        for (;;) {
            if (!Line(line, true, malformed)) {
                return malformed ? ReplyState::Malformed : ReplyState::Truncated;
            }
            const std::size_t digits =
                std::min(line.find_first_not_of("0123456789abcdefABCDEF"), line.size());
            const std::size_t rest = std::min(line.find_first_not_of(" \t", digits), line.size());
            if (digits == 0 || digits > 15 || (rest < line.size() && line[rest] != ';')) {
                return ReplyState::Malformed;
            }
            const std::size_t size = std::stoull(line.substr(0, digits), nullptr, 16);
            if (size == 0) {
                do {
                    if (!Line(line, false, malformed)) {
                        return ReplyState::Truncated;
                    }
                } while (!line.empty());
                return ReplyState::Complete;
            }
            if (m_bytes.size() - m_at < size) {
                return ReplyState::Truncated;
            }
            verdict.body += m_bytes.substr(m_at, size);
            m_at += size;
            if (!Line(line, true, malformed)) {
                return malformed ? ReplyState::Malformed : ReplyState::Truncated;
            }
            if (!line.empty()) {
                return ReplyState::Malformed;
            }
        }
    }

    const std::string& m_bytes;
    const std::size_t m_maxLine;
    std::size_t m_at = 0;
};

// A failed answer's partial body is thrown away by the client, so only a whole one must agree.
bool SameAnswer(const Verdict& a, const Verdict& b)
{
    const bool complete = a.state == ReplyState::Complete;
    return a.state == b.state && a.status == b.status &&
           (!complete || (a.body == b.body && a.keepAlive == b.keepAlive && a.used == b.used));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1) {
        return 0;
    }
    const std::size_t step = 1 + data[0] % 16;
    const char* reply = reinterpret_cast<const char*>(data + 1);
    const ReplyLimits limits{64, 512, 1024};
    const Verdict whole = Read(reply, size - 1, size, limits);
    const Verdict sliced = Read(reply, size - 1, step, limits);
    if (!SameAnswer(whole, sliced)) {
        std::abort();
    }
    if (whole.state == ReplyState::HeadTooLarge || whole.state == ReplyState::BodyTooLarge) {
        return 0;  // the reference knows no limits but the line's
    }
    const std::string bytes(reply, size - 1);
    Reference reference(bytes, limits.maxLineBytes);
    if (!SameAnswer(whole, reference.Run()) && !reference.tooLong) {
        std::abort();
    }
    return 0;
}
