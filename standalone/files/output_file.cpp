#include "standalone/files/output_file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// Long names leave room for the suffix within the file system's 255 bytes.
constexpr std::size_t kMaxStem = 200;

std::string random_suffix() {
    static std::mt19937_64 engine{std::random_device{}()};
    static const char digits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    std::string s;
    for (int i = 0; i < 10; ++i) {
        s += digits[engine() % 36];
    }
    return s;
}

} // namespace

OutputFile::OutputFile(std::string target) : target_(std::move(target)) {
    if (target_.empty()) {
        fail("no file name");
        return;
    }
    std::error_code ec;
    // The file a link points to is the one the user means.
    destination_ = fs::weakly_canonical(fs::path(target_), ec).string();
    if (ec || destination_.empty()) {
        destination_ = target_;
    }
    struct stat st {};
    const bool exists = ::stat(destination_.c_str(), &st) == 0;
    if (exists && !S_ISREG(st.st_mode)) {
        direct_ = true;
        fd_ = ::open(destination_.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
        if (fd_ < 0) {
            fail(std::strerror(errno));
        }
        return;
    }
    const fs::path dest(destination_);
    std::string stem = "." + dest.filename().string();
    if (stem.size() > kMaxStem) {
        stem.resize(kMaxStem);
    }
    for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
        const std::string name =
            (dest.parent_path() / (stem + "." + random_suffix() + ".tmp")).string();
        // Exclusive creation: an existing file or planted link under this
        // name is never opened, a new name is drawn instead.
        fd_ = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd_ >= 0) {
            temp_ = name;
        } else if (errno != EEXIST) {
            fail(std::strerror(errno));
            return;
        }
    }
    if (fd_ < 0) {
        fail("no free temporary name beside it");
        return;
    }
    // A replaced file keeps its permissions; a new one gets the umask's.
    if (exists && ::fchmod(fd_, st.st_mode & 07777) != 0) {
        fail(std::strerror(errno));
    }
}

OutputFile::~OutputFile() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
    if (!committed_ && !temp_.empty()) {
        ::unlink(temp_.c_str());
    }
}

void OutputFile::fail(const std::string& cause) {
    if (error_.empty()) {
        error_ = "Cannot write '" + target_ + "': " + cause;
    }
}

void OutputFile::write(std::span<const std::uint8_t> bytes) {
    const std::uint8_t* p = bytes.data();
    std::size_t left = bytes.size();
    while (error_.empty() && fd_ >= 0 && left > 0) {
        const ssize_t n = ::write(fd_, p, left);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            fail(n < 0 ? std::strerror(errno) : "nothing could be written");
            return;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
}

void OutputFile::write(const std::string& text) {
    write(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

std::string OutputFile::finish() {
    if (finished_) {
        return error_;
    }
    finished_ = true;
    if (fd_ >= 0) {
        // Data still in the cache can fail to reach the disk: only a file
        // known to be on disk replaces the old one.
        if (!direct_ && error_.empty() && ::fsync(fd_) != 0) {
            fail(std::strerror(errno));
        }
        if (::close(fd_) != 0) {
            fail(std::strerror(errno));
        }
        fd_ = -1;
    }
    return error_;
}

std::string OutputFile::commit() {
    if (!finish().empty() || committed_) {
        return error_;
    }
    if (!direct_) {
        if (::rename(temp_.c_str(), destination_.c_str()) != 0) {
            fail(std::strerror(errno));
            return error_;
        }
    }
    committed_ = true;
    return "";
}

std::string write_output_file(const std::string& path, std::span<const std::uint8_t> bytes) {
    OutputFile file(path);
    file.write(bytes);
    return file.commit();
}
