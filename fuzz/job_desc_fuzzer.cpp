// The job description a network job leaves in its folder, read as the merge
// reads it: any bytes on the share must be safe to read.
#include "netrender/job_description.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const JobDescription desc =
        ParseJobDescription(std::string(reinterpret_cast<const char*>(data), size));
    std::size_t parts = 0;
    for (const JobSection& section : desc.sections) {
        parts += section.parts.size() + (section.target.empty() ? 0 : 1);
    }
    return parts > size ? 1 : 0; // a section never holds more lines than the text
}
