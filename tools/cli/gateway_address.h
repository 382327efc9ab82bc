// The gateway's address as the command line gives it: checked before the first request, so that a
// URL the adapter would post to wrongly is named for what it is.
#pragma once

#include <string>

namespace facepad::cli {

// Why `url` is not "http://HOST" (scheme, trailing slash, a port or a path), or "".
std::string UrlProblem(const std::string& url);
// HOST of "http://HOST", without the brackets of an IPv6 address.
std::string HostOf(const std::string& url);

}  // namespace facepad::cli
