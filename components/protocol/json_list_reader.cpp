// Two passes over the text. The first walks the whole value as json-c 0.16's tokener walks it in
// its default, non-strict mode and finds the value json_tokener_parse would return; it keeps
// nothing. The second walks that value's elements and hands each one's wanted members to the
// visitor. Structure (arrays, objects, white space, comments, separators, nesting depth) is walked
// here; a leaf value whose meaning is not plain (escapes, most numbers, NaN, Infinity) is parsed by
// json-c itself, which also says where it ended.
#include "json_list_reader.h"

#include <json-c/json.h>

#include <charconv>
#include <climits>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "json_document.h"
#include "json_string.h"

namespace Osmer_Framework {
namespace Face {

namespace {

// json-c's default nesting limit: the top value stands at depth 0, no value deeper than this.
constexpr int kDeepestValue = JSON_TOKENER_DEFAULT_DEPTH - 1;
// About a millisecond of walking between two questions to the stop check, counted in values or,
// inside one long string (a whole entry list is one), in bytes.
constexpr unsigned kValuesPerStopCheck = 4096;
constexpr std::size_t kStringBytesPerStopCheck = 256 * 1024;
// Digits that always fit json-c's 64-bit integers.
constexpr std::size_t kLongestPlainNumber = 18;

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool IsHexDigit(char c)
{
    return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool IsQuote(char c)
{
    return c == '"' || c == '\'';
}

char AsciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// json-c matches true, false and null in any case outside its strict mode.
bool StartsWithLiteral(const char* at, const char* literal)
{
    for (; *literal != '\0'; ++at, ++literal) {
        if (AsciiLower(*at) != *literal) {
            return false;
        }
    }
    return true;
}

enum class Flow {
    Go,     // the walk goes on
    Fail,   // json-c gives up here: the text is not JSON
    Ended,  // the text ended inside a comment right after a value: json-c returns that value
    Stop,   // the stop check or the visitor ended the reading
};

// A value the walk has finished: where it starts, how deep it stands, whether it is null.
struct ValueMark {
    std::size_t start = 0;
    int depth = 0;
    bool null = false;
};

struct TokenerRelease {
    void operator()(json_tokener* tokener) const { json_tokener_free(tokener); }
};

// What the second pass hands each element to: its wanted members as one json-c object, or as
// texts.
struct Visitor {
    const ElementVisitor* members = nullptr;
    const TextVisitor* texts = nullptr;
};

class ListWalker {
public:
    ListWalker(const char* text, std::initializer_list<const char*> wanted, ReadStop stop)
        : m_text(text), m_length(std::strlen(text)), m_wanted(wanted), m_stop(stop)
    {
    }

    ListReading Read(const Visitor& visit)
    {
        ValueMark result;
        switch (FindResult(result)) {
        case Flow::Stop:
            return ListReading::Stopped;
        case Flow::Fail:
            return ListReading::NotJson;
        case Flow::Go:
        case Flow::Ended:
            break;
        }
        if (result.null) {
            return ListReading::NotJson;
        }
        if (m_text[result.start] != '[') {
            return ListReading::NotArray;
        }
        m_pos = result.start;
        if (visit.texts != nullptr) {
            m_texts.resize(m_wanted.size());
        }
        const Flow flow = Array(result.depth, &visit);
        return flow == Flow::Stop && m_stopped ? ListReading::Stopped : ListReading::Array;
    }

private:
    // First pass: the value json_tokener_parse would return, the whole text checked on the way.
    Flow FindResult(ValueMark& result)
    {
        if (m_length > static_cast<std::size_t>(INT32_MAX)) {
            return Flow::Fail;  // json-c refuses texts longer than its int length
        }
        Flow flow = SkipSpace(false);
        if (flow == Flow::Go) {
            flow = Value(0, nullptr, nullptr);
        }
        // After the value, a bad comment fails the text; any other character ends it.
        if (flow == Flow::Go) {
            flow = SkipSpace(true);
        }
        result = m_last;
        return flow;
    }

    // The value at m_pos. `keep` receives a leaf's json-c value (containers stay null); `members`
    // receives an object's wanted members.
    Flow Value(int depth, JsonDocument* keep, JsonDocument* members)
    {
        if (++m_values % kValuesPerStopCheck == 0 && StopRaised()) {
            return Flow::Stop;
        }
        const ValueMark mark{m_pos, depth, false};
        Flow flow = Flow::Go;
        switch (m_text[m_pos]) {
        case '[':
            flow = Array(depth, nullptr);
            break;
        case '{':
            flow = Object(depth, members);
            break;
        default:
            return Leaf(mark, keep);
        }
        if (flow == Flow::Go) {
            m_last = mark;
        }
        return flow;
    }

    // Trailing commas are allowed, as json-c allows them outside its strict mode.
    Flow Array(int depth, const Visitor* visit)
    {
        ++m_pos;
        Flow flow = SkipSpace(false);
        if (flow != Flow::Go || m_text[m_pos] == ']') {
            return Closed(flow);
        }
        for (;;) {
            if (depth >= kDeepestValue) {
                return Flow::Fail;
            }
            JsonDocument members;
            if (visit != nullptr) {
                for (std::string& text : m_texts) {
                    text.clear();
                }
            }
            flow = Value(depth + 1, nullptr, visit != nullptr ? &members : nullptr);
            if (flow != Flow::Go) {
                return flow;
            }
            if (visit != nullptr && !Deliver(*visit, members)) {
                return Flow::Stop;
            }
            flow = NextItem(']');
            if (flow != Flow::Go || m_text[m_pos] == ']') {
                return Closed(flow);
            }
        }
    }

    bool Deliver(const Visitor& visit, const JsonDocument& members)
    {
        return visit.texts != nullptr ? (*visit.texts)(m_texts.data())
                                      : (*visit.members)(members.get());
    }

    Flow Object(int depth, JsonDocument* members)
    {
        ++m_pos;
        Flow flow = SkipSpace(false);
        if (flow != Flow::Go || m_text[m_pos] == '}') {
            return Closed(flow);
        }
        for (;;) {
            flow = Member(depth, members);
            if (flow != Flow::Go) {
                return flow;
            }
            flow = NextItem('}');
            if (flow != Flow::Go || m_text[m_pos] == '}') {
                return Closed(flow);
            }
        }
    }

    // After an item: the closing bracket, or a comma and what follows it (another item, or the
    // closing bracket of a trailing comma). Go leaves m_pos on the bracket or the next item.
    Flow NextItem(char closing)
    {
        const Flow flow = SkipSpace(true);
        if (flow != Flow::Go || m_text[m_pos] == closing) {
            return flow;
        }
        if (m_text[m_pos] != ',') {
            return Flow::Fail;
        }
        ++m_pos;
        return SkipSpace(false);
    }

    // Steps over the closing bracket that m_pos stands on.
    Flow Closed(Flow flow)
    {
        if (flow == Flow::Go) {
            ++m_pos;
        }
        return flow;
    }

    Flow Member(int depth, JsonDocument* members)
    {
        std::string name;
        Flow flow = Key(members != nullptr ? &name : nullptr);
        if (flow == Flow::Go) {
            flow = SkipSpace(false);
        }
        if (flow != Flow::Go || m_text[m_pos] != ':') {
            return Flow::Fail;
        }
        ++m_pos;
        flow = SkipSpace(false);
        if (flow != Flow::Go || depth >= kDeepestValue) {
            return Flow::Fail;
        }
        const std::size_t wanted = members != nullptr ? WantedIndex(name) : m_wanted.size();
        if (wanted < m_texts.size()) {
            flow = Value(depth + 1, nullptr, nullptr);
            if (flow == Flow::Go) {
                KeepText(m_texts[wanted]);
            }
            return flow;
        }
        JsonDocument value;
        flow = Value(depth + 1, wanted < m_wanted.size() ? &value : nullptr, nullptr);
        if (flow == Flow::Go && wanted < m_wanted.size()) {
            Keep(*members, name, std::move(value));
        }
        return flow;
    }

    // The place of `name` among the wanted names; their count when it is not one of them.
    std::size_t WantedIndex(const std::string& name) const
    {
        std::size_t index = 0;
        for (const char* wanted : m_wanted) {
            if (name == wanted) {
                break;
            }
            ++index;
        }
        return index;
    }

    // The value just walked as json_object_get_field_string gives it: a string's text up to its
    // first NUL (json-c hands it out as a C string), "" for any other value. The last of equal
    // names wins, as in json-c's object.
    void KeepText(std::string& text) const
    {
        text.clear();
        const std::size_t start = m_last.start;
        if (!IsQuote(m_text[start])) {
            return;
        }
        const char* first = m_text + start + 1;
        const char* last = m_text + m_pos - 1;
        AppendJsonStringText(first, last, text);
        text.resize(std::char_traits<char>::length(text.c_str()));
    }

    // json-c replaces the value of a name it already holds: the last of equal names wins.
    static void Keep(JsonDocument& members, const std::string& name, JsonDocument value)
    {
        if (!members) {
            members.reset(json_object_new_object());
            if (!members) {
                throw std::bad_alloc();
            }
        }
        if (json_object_object_add(members.get(), name.c_str(), value.get()) != 0) {
            throw std::bad_alloc();
        }
        value.release();  // the object owns it now
    }

    // A member name. json-c keeps a name as a C string, so "\u0000" ends it.
    Flow Key(std::string* name)
    {
        std::size_t end = 0;
        const StringScan scan = IsQuote(m_text[m_pos]) ? ScanString(end) : StringScan::Invalid;
        if (scan == StringScan::Invalid) {
            return Flow::Fail;
        }
        if (scan == StringScan::Stopped) {
            return Flow::Stop;
        }
        if (name != nullptr) {
            const JsonDocument decoded = scan == StringScan::Escaped ? DecodeString(end) : nullptr;
            if (decoded) {
                name->assign(json_object_get_string(decoded.get()));
            } else {
                name->assign(m_text + m_pos + 1, end - m_pos - 2);
            }
        }
        m_pos = end;
        return Flow::Go;
    }

    // json-c's own reading of the checked string from m_pos to `end`.
    JsonDocument DecodeString(std::size_t end)
    {
        json_tokener* tokener = Tokener();
        JsonDocument decoded(
            json_tokener_parse_ex(tokener, m_text + m_pos, static_cast<int>(end - m_pos)));
        if (!decoded) {
            throw std::bad_alloc();  // a checked string fails only for want of memory
        }
        return decoded;
    }

    Flow Leaf(ValueMark mark, JsonDocument* keep)
    {
        std::size_t end = 0;
        if (IsQuote(m_text[m_pos])) {
            const StringScan scan = ScanString(end);
            if (scan == StringScan::Invalid) {
                return Flow::Fail;
            }
            if (scan == StringScan::Stopped) {
                return Flow::Stop;
            }
            if (keep != nullptr) {
                *keep = scan == StringScan::Escaped
                            ? DecodeString(end)
                            : JsonDocument(json_object_new_string_len(
                                  m_text + m_pos + 1, static_cast<int>(end - m_pos - 2)));
            }
            return Finished(mark, end);
        }
        std::int64_t integer = 0;
        const PlainLeaf plain = ScanPlainLeaf(end, integer);
        if (plain != PlainLeaf::No && (keep == nullptr || plain == PlainLeaf::ShortInteger)) {
            mark.null = plain == PlainLeaf::Null;
            if (keep != nullptr) {
                keep->reset(json_object_new_int64(integer));  // what json-c makes of it
            }
            return Finished(mark, end);
        }
        JsonDocument parsed;
        const Flow flow = ParseWithJsonC(parsed, end);
        if (flow != Flow::Go) {
            return flow;
        }
        mark.null = !parsed;
        m_last = mark;
        if (keep != nullptr) {
            *keep = std::move(parsed);
        }
        if (end > m_length) {
            return Flow::Ended;  // json-c read past the end: the text ended in a comment
        }
        m_pos = end;
        return Flow::Go;
    }

    Flow Finished(const ValueMark& mark, std::size_t end)
    {
        m_last = mark;
        m_pos = end;
        return Flow::Go;
    }

    bool StopRaised()
    {
        m_stopped = m_stop != nullptr && m_stop();
        return m_stopped;
    }

    enum class StringScan { Plain, Escaped, Invalid, Stopped };

    // The string at m_pos, checked as json-c checks it without building it: it ends at its own
    // quote, and each escape stands on its own (one of " \\ / b f n r t, or u and four hex
    // digits; a lone surrogate becomes U+FFFD, no error). `end` is just past the closing quote.
    StringScan ScanString(std::size_t& end)
    {
        const char quote = m_text[m_pos];
        bool escaped = false;
        std::size_t nextStopCheck = m_pos + kStringBytesPerStopCheck;
        for (std::size_t i = m_pos + 1;; ++i) {
            if (i >= nextStopCheck) {
                if (StopRaised()) {
                    return StringScan::Stopped;
                }
                nextStopCheck += kStringBytesPerStopCheck;
            }
            const char c = m_text[i];
            if (c == quote) {
                end = i + 1;
                return escaped ? StringScan::Escaped : StringScan::Plain;
            }
            if (c == '\0' || (c == '\\' && !EscapeEnd(i))) {
                return StringScan::Invalid;
            }
            escaped = escaped || c == '\\';
        }
    }

    // Moves `at` from a backslash to the last character of its escape; false for a bad escape.
    bool EscapeEnd(std::size_t& at) const
    {
        switch (m_text[++at]) {
        case '"':
        case '\\':
        case '/':
        case 'b':
        case 'f':
        case 'n':
        case 'r':
        case 't':
            return true;
        case 'u':
            for (int digit = 0; digit < 4; ++digit) {
                if (!IsHexDigit(m_text[++at])) {
                    return false;
                }
            }
            return true;
        default:
            return false;
        }
    }

    // Leaves whose meaning needs no json-c: true, false and null in any case, and numbers that
    // json-c takes, of which only short integers have a value that is plain to read.
    enum class PlainLeaf { No, Literal, Null, Number, ShortInteger };

    PlainLeaf ScanPlainLeaf(std::size_t& end, std::int64_t& integer) const
    {
        for (const char* literal : {"true", "false", "null"}) {
            if (StartsWithLiteral(m_text + m_pos, literal)) {
                end = m_pos + std::strlen(literal);
                return *literal == 'n' ? PlainLeaf::Null : PlainLeaf::Literal;
            }
        }
        const char first = m_text[m_pos];
        if (!IsDigit(first) && first != '-') {
            return PlainLeaf::No;
        }
        bool isDouble = false;
        end = NumberEnd(isDouble);
        if (end == m_pos + 1 && first == '-') {
            return PlainLeaf::No;  // "-Infinity", or an error: json-c says which
        }
        if (isDouble) {
            return DoubleIsWhole(end) ? PlainLeaf::Number : PlainLeaf::No;
        }
        const std::size_t digits = end - m_pos - (first == '-' ? 1 : 0);
        if (digits > kLongestPlainNumber) {
            return PlainLeaf::Number;  // json-c clamps what does not fit, it refuses nothing
        }
        integer = 0;
        for (std::size_t i = end - digits; i < end; ++i) {
            integer = integer * 10 + (m_text[i] - '0');
        }
        integer = first == '-' ? -integer : integer;
        return PlainLeaf::ShortInteger;
    }

    // The characters json-c's number state takes: digits, one '.', one exponent, and a sign only
    // first ('-') or right after the '.' or the exponent (either sign).
    std::size_t NumberEnd(bool& isDouble) const
    {
        bool isExponent = false;
        bool minusOk = true;
        bool plusOk = false;
        for (std::size_t i = m_pos;; ++i) {
            const char c = m_text[i];
            const bool exponent = !isExponent && (c == 'e' || c == 'E');
            const bool point = !isDouble && c == '.';
            if (!IsDigit(c) && !exponent && !point && !(minusOk && c == '-') &&
                !(plusOk && c == '+')) {
                return i;
            }
            isExponent = isExponent || exponent;
            isDouble = isDouble || exponent || point;
            minusOk = plusOk = exponent || point;
        }
    }

    // json-c drops a trailing exponent mark or sign, then strtod must take the rest whole, read in
    // the "C" locale as json-c reads it (from_chars knows no other).
    bool DoubleIsWhole(std::size_t end) const
    {
        const char* first = m_text + m_pos;
        const char* last = m_text + end;
        while (last - first > 1 && std::strchr("eE+-", last[-1]) != nullptr) {
            --last;
        }
        double value = 0;
        const std::from_chars_result read = std::from_chars(first, last, value);
        return read.ptr == last && read.ec != std::errc::invalid_argument;
    }

    // json-c parses the number or literal at m_pos (and the white space and comments after it);
    // `end` is where it stopped, past the text's end when the text ended inside such a comment.
    Flow ParseWithJsonC(JsonDocument& parsed, std::size_t& end)
    {
        json_tokener* tokener = Tokener();
        // The terminating NUL is passed too: json-c ends numbers and literals on it.
        const std::size_t rest = m_length - m_pos + 1;
        const int length =
            rest <= static_cast<std::size_t>(INT32_MAX) ? static_cast<int>(rest) : -1;
        parsed.reset(json_tokener_parse_ex(tokener, m_text + m_pos, length));
        if (json_tokener_get_error(tokener) != json_tokener_success) {
            return Flow::Fail;
        }
        end = m_pos + json_tokener_get_parse_end(tokener);
        return Flow::Go;
    }

    json_tokener* Tokener()
    {
        if (!m_tokener) {
            m_tokener.reset(json_tokener_new());
            if (!m_tokener) {
                throw std::bad_alloc();
            }
        }
        json_tokener_reset(m_tokener.get());
        return m_tokener.get();
    }

    // White space and comments. json-c's block comment ends at a '*' followed by '/', where the
    // character after a '*' is consumed either way: "**/" does not end it.
    Flow SkipSpace(bool afterValue)
    {
        for (;;) {
            while (IsSpace(m_text[m_pos])) {
                ++m_pos;
            }
            if (m_text[m_pos] != '/') {
                return Flow::Go;
            }
            const char kind = m_text[m_pos + 1];
            std::size_t end = 0;
            bool closed = false;
            if (kind == '*') {
                closed = BlockCommentEnd(m_pos + 2, end);
            } else if (kind == '/') {
                closed = LineCommentEnd(m_pos + 2, end);
            } else {
                return Flow::Fail;
            }
            if (!closed) {
                return afterValue ? Flow::Ended : Flow::Fail;
            }
            m_pos = end;
        }
    }

    bool BlockCommentEnd(std::size_t from, std::size_t& end) const
    {
        for (;;) {
            const void* star = std::memchr(m_text + from, '*', m_length - from);
            if (star == nullptr) {
                return false;
            }
            const std::size_t next =
                static_cast<std::size_t>(static_cast<const char*>(star) - m_text) + 1;
            if (next >= m_length) {
                return false;
            }
            if (m_text[next] == '/') {
                end = next + 1;
                return true;
            }
            from = next + 1;
        }
    }

    bool LineCommentEnd(std::size_t from, std::size_t& end) const
    {
        const void* newline = std::memchr(m_text + from, '\n', m_length - from);
        if (newline == nullptr) {
            return false;
        }
        end = static_cast<std::size_t>(static_cast<const char*>(newline) - m_text) + 1;
        return true;
    }

    const char* m_text;
    std::size_t m_length;  // m_text[m_length] is the NUL that ends it
    std::initializer_list<const char*> m_wanted;
    ReadStop m_stop;
    std::size_t m_pos = 0;
    ValueMark m_last;  // the value finished last
    unsigned m_values = 0;
    bool m_stopped = false;
    std::unique_ptr<json_tokener, TokenerRelease> m_tokener;  // one per reading, freed with it
    std::vector<std::string> m_texts;  // the element's wanted members, when read as texts
};

}  // namespace

ListReading ReadJsonList(const char* text, std::initializer_list<const char*> wanted,
                         const ElementVisitor& visit, ReadStop stop)
{
    Visitor visitor;
    visitor.members = &visit;
    return ListWalker(text, wanted, stop).Read(visitor);
}

ListReading ReadJsonListTexts(const char* text, std::initializer_list<const char*> wanted,
                              const TextVisitor& visit, ReadStop stop)
{
    Visitor visitor;
    visitor.texts = &visit;
    return ListWalker(text, wanted, stop).Read(visitor);
}

}  // namespace Face
}  // namespace Osmer_Framework
