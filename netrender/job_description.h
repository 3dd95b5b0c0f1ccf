// "job.desc": how the per-object images a network job leaves in its folder
// become the final textures. Plain text, lines joined by single line feeds,
// no final line feed:
//
//   ===== Vellumar merge script =====
//   <network path>
//   <job folder>
//   =====              one section per bake element:
//   <target image>     where the final texture goes
//   <part>...          image files in the job folder, one per object
//   -----
//   =================================
#pragma once

#include <string>
#include <vector>

inline constexpr char kJobDescHeader[] = "===== Vellumar merge script =====";
inline constexpr char kJobDescFooter[] = "=================================";

struct JobSection {
    std::string target;
    std::vector<std::string> parts;
};

std::string JobDescriptionText(const std::string& netpath, const std::string& jobFolder,
                               const std::vector<JobSection>& sections);

enum class JobDescStatus { Ok, BadStructure, NoFiles };

struct JobDescription {
    JobDescStatus status = JobDescStatus::Ok;
    std::vector<JobSection> sections; // a section without lines is left out
};

// Reads a description as the merge does: the header and the closing line
// must be exact, and a description of fewer than six lines has nothing to
// merge. Any text is safe to read.
JobDescription ParseJobDescription(const std::string& text);
