// Feeds arbitrary bytes to the preset loader as a file, then saves what it
// loaded and loads that again: a damaged or hostile preset must never crash
// the host, and whatever loads must save.
#include "settings/settings.h"
#include "standalone/core.h"

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::string scratch(const char* name) {
    return "/tmp/vellumar-preset-fuzz-" + std::to_string(getpid()) + "-" + name;
}

bool write_bytes(const std::string& path, const std::uint8_t* data, std::size_t size) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) {
        return false;
    }
    const bool ok = std::fwrite(data, 1, size, f) == size;
    return std::fclose(f) == 0 && ok;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Never the user's own default preset.
    static const std::string no_default = scratch("default.vl");
    ::setenv("VELLUMAR_DEFAULT_PRESET", no_default.c_str(), 1);
    static const std::string input = scratch("in.vl");
    static const std::string output = scratch("out.vl");
    if (!write_bytes(input, data, size)) {
        return 0;
    }
    StandaloneCore core;
    UnwrapSettings& s = settings();
    s.reset();
    s.elements.clear();
    if (s.load(input) && s.save(output)) {
        s.reset();
        s.load(output);
    }
    std::remove(input.c_str());
    std::remove(output.c_str());
    return 0;
}
