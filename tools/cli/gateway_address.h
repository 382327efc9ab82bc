// The gateway's address as the command line gives it: checked before the first request, so that a
// URL the adapter would post to wrongly is named for what it is.
#pragma once

#include <string>

namespace facepad::cli {

// Why `url` is not "http://HOST" (scheme, trailing slash, a port or a path), or "".
std::string UrlProblem(const std::string& url);
// HOST of "http://HOST", without the brackets of an IPv6 address.
std::string HostOf(const std::string& url);

// The gateway as one URL, "http://HOST:PORT" (as FACEPAD_GATEWAY gives it; a trailing "/" and a
// missing port are fine): `url` becomes "http://HOST" and `port` PORT when it has one. Returns
// why it is not such a URL, or "".
std::string SplitGatewayUrl(const std::string& text, std::string& url, int& port);

}  // namespace facepad::cli
