// A folder of its own for one test, removed with everything in it when the
// test ends; tests running side by side never share a file.
#pragma once

#include <boost/filesystem.hpp>

#include <fstream>
#include <iterator>
#include <string>

class TempFolder {
  public:
    TempFolder()
        : path_(boost::filesystem::temp_directory_path() /
                boost::filesystem::unique_path("vellumar-test-%%%%-%%%%-%%%%")) {
        boost::filesystem::create_directories(path_);
    }
    ~TempFolder() {
        boost::system::error_code ec;
        boost::filesystem::remove_all(path_, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    std::string file(const std::string& name) const { return (path_ / name).string(); }

  private:
    boost::filesystem::path path_;
};

inline std::string read_text(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline void write_text(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}
