#include "netrender/job_description.h"

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
    for (const std::string& line : lines) {
        if (line == "=====") {
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
    return desc;
}
