// Files the host writes for the user (saved scenes, exports, images,
// reports). Each is written beside its target under a unique temporary name
// and moved over the target only once it is complete, so a failed or
// interrupted write leaves the old file as it was, two runs writing the same
// target never share a temporary file, and a link planted under a
// temporary name is never followed (the name is created exclusively).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

class OutputFile {
  public:
    // Opens the temporary file beside `target`. A symbolic link as target
    // stays a link: the file it points to is the one replaced. A target that
    // exists but is no regular file (a device such as /dev/null, a pipe)
    // cannot be replaced and is written straight through. Failures are kept
    // for finish().
    explicit OutputFile(std::string target);
    // Removes the temporary file unless it was committed.
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Appends the bytes; a failure is kept for finish().
    void write(std::span<const std::uint8_t> bytes);
    void write(const std::string& text);
    // Flushes the data to disk and closes the file. Returns "" on success,
    // else a message naming the target and the cause.
    std::string finish();
    // Moves the finished file over the target. Returns "" on success, else
    // a message; the target is then as it was.
    std::string commit();

    const std::string& target() const { return target_; }
    // The temporary file ("" when writing straight through or none could be
    // made).
    const std::string& temporary() const { return temp_; }

  private:
    void fail(const std::string& cause);

    std::string target_;
    std::string destination_; // the target with its links followed
    std::string temp_;
    std::string error_;
    int fd_ = -1;
    bool direct_ = false;
    bool finished_ = false;
    bool committed_ = false;
};

// Writes `bytes` to `path` through an OutputFile: afterwards the path holds
// the whole new file, or (on failure, whose message is returned) what it held
// before.
std::string write_output_file(const std::string& path, std::span<const std::uint8_t> bytes);
