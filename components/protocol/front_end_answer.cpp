#include "front_end_answer.h"

#include <algorithm>
#include <cctype>

namespace Osmer_Framework {
namespace Face {

namespace {

// Proxies' error pages put the title first; a title further in is not worth a long search.
constexpr std::size_t kTitleSearch = 4096;
constexpr std::size_t kLongestTitle = 80;

std::size_t FindNoCase(const std::string& text, const char* word, std::size_t from, std::size_t end)
{
    const std::size_t length = std::char_traits<char>::length(word);
    for (std::size_t at = from; at + length <= end; ++at) {
        const bool same = std::equal(word, word + length, text.begin() + static_cast<long>(at),
                                     [](char a, char b) {
                                         return std::tolower(static_cast<unsigned char>(a)) ==
                                                std::tolower(static_cast<unsigned char>(b));
                                     });
        if (same) {
            return at;
        }
    }
    return std::string::npos;
}

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string Collapsed(const std::string& text, std::size_t from, std::size_t to)
{
    std::string out;
    for (std::size_t i = from; i < to && out.size() < kLongestTitle; ++i) {
        if (!IsSpace(text[i])) {
            out += text[i];
        } else if (!out.empty() && out.back() != ' ') {
            out += ' ';
        }
    }
    while (!out.empty() && out.back() == ' ') {
        out.pop_back();
    }
    return out;
}

}  // namespace

bool IsFrontEndStatus(int status)
{
    return status == 502 || status == 503 || status == 504;
}

bool LooksLikeHtml(const std::string& body)
{
    const auto first = std::find_if_not(body.begin(), body.end(), IsSpace);
    return first != body.end() && *first == '<';
}

std::string PageTitle(const std::string& body)
{
    const std::size_t end = std::min(body.size(), kTitleSearch);
    const std::size_t open = FindNoCase(body, "<title>", 0, end);
    if (open == std::string::npos) {
        return std::string();
    }
    const std::size_t from = open + 7;
    const std::size_t close = FindNoCase(body, "</title>", from, end);
    return Collapsed(body, from, close == std::string::npos ? end : close);
}

std::string FrontEndDetail(int status, const std::string& body)
{
    const std::string title = PageTitle(body);
    return "HTTP " + std::to_string(status) + (title.empty() ? "" : " (" + title + ")") +
           " from a proxy or the gateway's front end: the gateway may have carried the command "
           "out";
}

}  // namespace Face
}  // namespace Osmer_Framework
