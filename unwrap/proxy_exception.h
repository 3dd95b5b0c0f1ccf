// The unwrap pipeline's one exception: a message for the user, plus the
// source unit and line that raised it (kept for debugging, never shown).
#pragma once

#include <exception>
#include <string>

class Proxy_Exception : public std::exception {
  public:
    Proxy_Exception(std::string message, std::string file, int line)
        : message_(std::move(message)), file_(std::move(file)), line_(line) {}
    const char* what() const noexcept override { return message_.c_str(); }
    const std::string& message() const { return message_; }
    const std::string& file() const { return file_; }
    int line() const { return line_; }

    // Formats a template with one "%d" or "%s" argument, printf-style, into
    // at most 8,191 characters, then throws.
    [[noreturn]] static void raise_formatted(const char* file, int line, const char* format,
                                             int value);
    [[noreturn]] static void raise_formatted(const char* file, int line, const char* format,
                                             const std::string& value);

  private:
    std::string message_;
    std::string file_;
    int line_;
};

// Source unit names that exceptions carry.
inline constexpr const char* kUnwrapperUnit = "unwrapper";
inline constexpr const char* kUvAtlasProxyUnit = "uvatlasProxy";
