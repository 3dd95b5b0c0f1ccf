#include "studio/request_guard.h"

#include <cstdio>
#include <fstream>
#include <random>

namespace {

int hex_value(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// Compares without stopping at the first difference, so that the time
// taken tells nothing about the token.
bool same_secret(const std::string& a, const std::string& b) {
    unsigned char diff = a.size() == b.size() ? 0 : 1;
    for (std::size_t i = 0; i < a.size(); ++i) {
        diff |= static_cast<unsigned char>(a[i] ^ b[i % (b.empty() ? 1 : b.size())]);
    }
    return diff == 0 && !b.empty();
}

} // namespace

std::string UrlDecode(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '+') {
            out += ' ';
        } else if (text[i] == '%' && i + 2 < text.size() && hex_value(text[i + 1]) >= 0 &&
                   hex_value(text[i + 2]) >= 0) {
            out += static_cast<char>(hex_value(text[i + 1]) * 16 + hex_value(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string TargetPath(const std::string& target) {
    return UrlDecode(target.substr(0, target.find('?')));
}

std::map<std::string, std::string> TargetQuery(const std::string& target) {
    std::map<std::string, std::string> query;
    const auto mark = target.find('?');
    if (mark == std::string::npos) {
        return query;
    }
    const std::string text = target.substr(mark + 1);
    std::size_t start = 0;
    while (start <= text.size()) {
        const auto end = std::min(text.find('&', start), text.size());
        const std::string pair = text.substr(start, end - start);
        const auto eq = pair.find('=');
        if (!pair.empty()) {
            query.emplace(UrlDecode(pair.substr(0, eq)),
                          eq == std::string::npos ? "" : UrlDecode(pair.substr(eq + 1)));
        }
        start = end + 1;
    }
    return query;
}

Refusal CheckRequest(const std::string& host, const std::string& origin, const std::string& target,
                     const std::string& token, int port) {
    const std::string p = ":" + std::to_string(port);
    if (host != "127.0.0.1" + p && host != "localhost" + p) {
        return Refusal::Host;
    }
    if (!origin.empty() && origin != "http://127.0.0.1" + p && origin != "http://localhost" + p) {
        return Refusal::Origin;
    }
    const auto query = TargetQuery(target);
    const auto t = query.find("t");
    if (t == query.end() || !same_secret(t->second, token)) {
        return Refusal::Token;
    }
    return Refusal::None;
}

std::string NewToken() {
    unsigned char bytes[32] = {};
    std::ifstream random("/dev/urandom", std::ios::binary);
    if (!random.read(reinterpret_cast<char*>(bytes), sizeof bytes)) {
        std::random_device device; // the system's source by another way
        for (unsigned char& b : bytes) {
            b = static_cast<unsigned char>(device());
        }
    }
    std::string hex;
    for (unsigned char b : bytes) {
        char buf[3];
        std::snprintf(buf, sizeof buf, "%02x", b);
        hex += buf;
    }
    return hex;
}
