// Answers that come from whatever stands in front of the gateway rather than from the gateway
// itself: a reverse proxy (or the gateway's own front end) answers 502, 503 or 504 when it could
// not reach the gateway or gave up waiting for it. The gateway may have received the command and
// carried it out all the same, so such an answer proves nothing either way. Such answers are HTML
// pages, which people should see by their title, never as markup.
#pragma once

#include <string>

namespace Osmer_Framework {
namespace Face {

bool IsFrontEndStatus(int status);

// "HTTP 504 (504 Gateway Time-out) from a proxy or the gateway's front end: ..." for a person:
// the status and the page's title, never the page itself.
std::string FrontEndDetail(int status, const std::string& body);

// Whether `body` is a page of markup (it starts with "<") rather than a gateway's reason text.
bool LooksLikeHtml(const std::string& body);

// The text of the first <title> element of an HTML page, its white space collapsed and bounded;
// "" when there is none.
std::string PageTitle(const std::string& body);

}  // namespace Face
}  // namespace Osmer_Framework
