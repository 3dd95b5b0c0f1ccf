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

// Whether every line the text would have comes out as one line: a netpath,
// folder or target holding a line break would add lines of its own.
bool DescribableLines(const std::string& netpath, const std::string& jobFolder,
                      const std::vector<JobSection>& sections);

// The name under which a render server writes one object's image into the
// job folder, and which the description lists: node name, element name and
// suffix as they are, unless a character of them cannot stand in a file name
// or in a line of the description (a separator, a line break, a '%'): those
// become %XX, so that distinct texts give distinct names; a very long one is
// cut and made unique by a hash of the whole.
std::string PartFileName(const std::string& nodeName, const std::string& elementName,
                         const std::string& suffix);

// Whether a part line names a file directly inside the job folder.
bool IsPlainPartName(const std::string& part);

enum class JobDescStatus { Ok, BadStructure, NoFiles };

struct JobDescription {
    JobDescStatus status = JobDescStatus::Ok;
    std::vector<JobSection> sections; // a section without lines is left out
};

// Reads a description as the merge does: the header and the closing line
// must be exact, every section must close, and a description of fewer than
// six lines, or one whose sections list no part, has nothing to merge. Any
// text is safe to read.
JobDescription ParseJobDescription(const std::string& text);
