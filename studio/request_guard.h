// What every request to the studio must show before it is served: the
// session's token, and Host and Origin headers of this loopback address,
// so that neither another user's program nor a page of another site can
// drive the panel.
#pragma once

#include <map>
#include <string>

enum class Refusal { None, Host, Origin, Token };

// `target` is the request line's target ("/path?t=...&k=v").
Refusal CheckRequest(const std::string& host, const std::string& origin, const std::string& target,
                     const std::string& token, int port);

// The target's path and its decoded query parameters.
std::string TargetPath(const std::string& target);
std::map<std::string, std::string> TargetQuery(const std::string& target);
std::string UrlDecode(const std::string& text);

// 32 random bytes as hex, from the system's random source.
std::string NewToken();
