#include "netrender/job_description.h"

#include <algorithm>
#include <cstdint>

std::string JobDescriptionText(const std::string& netpath, const std::string& jobFolder,
                               const std::vector<JobSection>& sections) {
    std::string text = std::string(kJobDescHeader) + "\n" + netpath + "\n" + jobFolder + "\n";
    for (const JobSection& section : sections) {
        text += "=====\n" + section.target + "\n";
        for (const std::string& part : section.parts) {
            text += part + "\n";
        }
        text += "-----\n";
    }
    return text + kJobDescFooter;
}

namespace {

bool one_line(const std::string& text) {
    return text.find_first_of("\n\r") == std::string::npos;
}

bool safe_in_name(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ' ' ||
           c == '_' || c == '-' || c == '.' || c == '(' || c == ')' || c == '+' || c == ',' ||
           c >= 0x80;
}

std::uint64_t fnv1a(const std::string& text) {
    std::uint64_t h = 0xcbf29ce484222325ull;
    for (unsigned char c : text) {
        h = (h ^ c) * 0x100000001b3ull;
    }
    return h;
}

// File systems take names of up to 255 bytes; the rest is room for the
// extension and a temporary suffix.
constexpr std::size_t kLongestStem = 180;

} // namespace

bool DescribableLines(const std::string& netpath, const std::string& jobFolder,
                      const std::vector<JobSection>& sections) {
    if (!one_line(netpath) || !one_line(jobFolder)) {
        return false;
    }
    for (const JobSection& section : sections) {
        if (!one_line(section.target)) {
            return false;
        }
        for (const std::string& part : section.parts) {
            if (!one_line(part)) {
                return false;
            }
        }
    }
    return true;
}

std::string PartFileName(const std::string& nodeName, const std::string& elementName,
                         const std::string& suffix) {
    const std::string whole = nodeName + elementName + suffix;
    std::string name;
    for (std::size_t i = 0; i < whole.size(); ++i) {
        const auto c = static_cast<unsigned char>(whole[i]);
        // A leading point would hide the file, and ".." alone names the
        // folder above.
        if (safe_in_name(c) && !(i == 0 && c == '.')) {
            name += static_cast<char>(c);
        } else {
            static const char hex[] = "0123456789ABCDEF";
            name += '%';
            name += hex[c >> 4];
            name += hex[c & 15];
        }
    }
    const std::size_t dot = name.rfind('.');
    const std::string ext =
        dot == std::string::npos || name.size() - dot > 16 ? "" : name.substr(dot);
    if (name.size() - ext.size() <= kLongestStem) {
        return name;
    }
    std::string stem = name.substr(0, kLongestStem);
    // Never cut an escape in two.
    const std::size_t percent = stem.rfind('%');
    if (percent != std::string::npos && stem.size() - percent < 3) {
        stem.resize(percent);
    }
    char hash[17];
    static const char hex[] = "0123456789abcdef";
    const std::uint64_t h = fnv1a(whole);
    for (int i = 0; i < 16; ++i) {
        hash[i] = hex[(h >> (60 - 4 * i)) & 15];
    }
    hash[16] = 0;
    return stem + "~" + hash + ext;
}

bool IsPlainPartName(const std::string& part) {
    return !part.empty() && part != "." && part != ".." &&
           part.find_first_of(std::string("/\\\n\r\0", 5)) == std::string::npos;
}

JobDescription ParseJobDescription(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find('\n', start);
        lines.push_back(text.substr(start, end == std::string::npos ? end : end - start));
        if (end == std::string::npos) {
            break;
        }
        start = end + 1;
    }
    JobDescription desc;
    if (lines.front() != kJobDescHeader || lines.back() != kJobDescFooter) {
        desc.status = JobDescStatus::BadStructure;
        return desc;
    }
    if (lines.size() < 6) {
        desc.status = JobDescStatus::NoFiles;
        return desc;
    }
    bool open = false;
    std::vector<std::string> body;
    // The closing line ends the description: a section still open there
    // lost its end, and merging what it holds would guess.
    for (std::size_t i = 1; i + 1 < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (line == "=====") {
            if (open) {
                desc.status = JobDescStatus::BadStructure;
                desc.sections.clear();
                return desc;
            }
            open = true;
            body.clear();
        } else if (open && line == "-----") {
            open = false;
            if (!body.empty()) {
                desc.sections.push_back({body.front(), {body.begin() + 1, body.end()}});
            }
        } else if (open) {
            body.push_back(line);
        }
    }
    if (open) {
        desc.status = JobDescStatus::BadStructure;
        desc.sections.clear();
        return desc;
    }
    // Sections that all lack parts leave nothing to merge either.
    if (std::none_of(desc.sections.begin(), desc.sections.end(),
                     [](const JobSection& section) { return !section.parts.empty(); })) {
        desc.status = JobDescStatus::NoFiles;
    }
    return desc;
}
