// The tool's side of network bakes: the render server a farm job runs
// (`render-job`), the manual merge of a job folder (`merge`), the embedded
// local manager (`manager`), and waiting for submitted jobs.
#pragma once

#include <string>

class StandaloneCore;

// Bakes a submitted snapshot's selection into its job folder, one image per
// object and element named as the job's description lists it (PartFileName
// of node name, element name and extension). 0 when every image was written
// (the snapshot and log are then removed), 1 when the bake failed or a
// texture could not be read, 2 when the snapshot cannot be read.
int run_render_job_command(const std::string& snapshot);

// Merges a job folder's parts into their targets as its job.desc says;
// targets must lie inside `out` (the settings' output folder when empty).
// 0 merged, 1 the merge failed (reported), 2 no such folder.
int run_merge_command(const std::string& folder, const std::string& out);

// Serves network jobs on this machine until stopped.
int run_manager_command(int port, int slots, int idleSeconds, const std::string& renderServer);

// Stays until every submitted job was handled or the manager went away,
// printing each job's progress; true when every job was merged. Ctrl+C
// cancels the jobs still open and returns false.
bool wait_for_jobs();
