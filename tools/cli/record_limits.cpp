#include "record_limits.h"

#include <algorithm>
#include <cstdint>

#include "record_params.h"
#include "text_checks.h"

namespace facepad::cli {

namespace {

// Face terminals of this class keep a user in a record of fixed-size fields. A pin kept as a
// number is 32 bits wide, where 9 digits always fit; one kept as text has 24 bytes.
constexpr std::size_t kPinDigits = 9;
constexpr std::size_t kTextPinBytes = 24;
// Fixed text fields, in bytes of UTF-8 (an accented letter takes two).
struct TextLimit {
    const char* member;
    std::size_t bytes;
};
constexpr TextLimit kTextLimits[] = {{member::kName, 32}, {member::kPasswd, 8}};
// Card numbers are what a reader gives: 32 bits, at most 10 decimal digits.
constexpr const char* kCardMembers[] = {member::kCard, member::kViceCard};
constexpr std::uint64_t kLargestCard = 4294967295u;
// Privilege and verification mode are one byte each.
constexpr unsigned kLargestCode = 255;

// A value as a message shows it: a long one cut (at a letter's start) after 20 bytes.
std::string Shown(const std::string& value)
{
    constexpr std::size_t kShown = 20;
    if (value.size() <= kShown + 4) {
        return "\"" + value + "\"";
    }
    std::size_t end = kShown;
    while (end > 0 && (static_cast<unsigned char>(value[end]) & 0xC0) == 0x80) {
        --end;
    }
    return "\"" + value.substr(0, end) + "...\"";
}

bool AllDigits(const std::string& text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// A whole number from 0 to `largest`, leading zeros allowed up to `digits` digits.
bool NumberUpTo(const std::string& text, std::size_t digits, std::uint64_t largest)
{
    return !text.empty() && text.size() <= digits && AllDigits(text) &&
           std::stoull(text) <= largest;
}

std::string PinProblem(const std::string& pin, PinKind pins)
{
    if (pin.empty()) {
        return "the pin is empty";
    }
    if (pin.front() == ' ' || pin.back() == ' ') {
        return "the pin " + Shown(pin) + " has spaces around it";
    }
    if (HasControlCharacter(pin)) {
        return "the pin holds a control character";
    }
    if (pins == PinKind::Text) {
        return pin.size() > kTextPinBytes ? "the pin has " + std::to_string(pin.size()) +
                                                " bytes, more than " + std::to_string(kTextPinBytes)
                                          : std::string();
    }
    if (!AllDigits(pin) || pin.size() > kPinDigits) {
        return "the pin " + Shown(pin) + " is not a number of 1 to " + std::to_string(kPinDigits) +
               " digits (--text-pins if the terminals keep pins as text)";
    }
    return std::string();
}

}  // namespace

std::string MemberProblem(std::size_t index, const std::string& value, PinKind pins)
{
    const member::Member& m = member::kUser[index];
    const std::string name = m.name;
    if (index == kPinMember) {
        return PinProblem(value, pins);
    }
    if (value.empty()) {
        return std::string();
    }
    if (m.kind == member::Kind::Integer) {
        return NumberUpTo(value, 3, kLargestCode)
                   ? std::string()
                   : name + " must be a whole number from 0 to " + std::to_string(kLargestCode) +
                         ", got " + Shown(value);
    }
    for (const char* card : kCardMembers) {
        if (name == card && !NumberUpTo(value, 10, kLargestCard)) {
            return name + " must be a number from 0 to " + std::to_string(kLargestCard) +
                   " (at most 10 digits), got " + Shown(value);
        }
    }
    if (HasControlCharacter(value)) {
        return name + " holds a line break or another control character";
    }
    for (const TextLimit& limit : kTextLimits) {
        if (name == limit.member && value.size() > limit.bytes) {
            return name + " has " + std::to_string(value.size()) + " bytes, more than " +
                   std::to_string(limit.bytes) + " (the most a terminal keeps)";
        }
    }
    return std::string();
}

std::string PinKey(const std::string& pin, PinKind pins)
{
    if (pins == PinKind::Text) {
        return pin;
    }
    const std::size_t first = pin.find_first_not_of('0');
    return first == std::string::npos ? std::string("0") : pin.substr(first);
}

}  // namespace facepad::cli
