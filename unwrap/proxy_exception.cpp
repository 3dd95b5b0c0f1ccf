#include "unwrap/proxy_exception.h"

#include <cstdio>

namespace {
constexpr std::size_t kMessageBuffer = 8192;
}

void Proxy_Exception::raise_formatted(const char* file, int line, const char* format, int value) {
    char buffer[kMessageBuffer];
    std::snprintf(buffer, sizeof buffer, format, value);
    throw Proxy_Exception(buffer, file, line);
}

void Proxy_Exception::raise_formatted(const char* file, int line, const char* format,
                                      const std::string& value) {
    char buffer[kMessageBuffer];
    std::snprintf(buffer, sizeof buffer, format, value.c_str());
    throw Proxy_Exception(buffer, file, line);
}
