// `vellumar batch`: a whole list of scenes, each unwrapped with one preset
// (one group name, one density rule) and baked with the preset's elements,
// each in a process of its own so that one broken scene harms no other.
// Every scene's outputs land in OUT/NAME/ whole or not at all, and
// OUT/summary.json and OUT/summary.html say how each went.
#pragma once

#include <string>

struct BatchCommand {
    std::string list;   // a text file of scene paths, or a folder of scenes
    std::string preset; // .vl; empty: the default preset
    std::string out = "batch-out";
    // none: one after another here; local: --jobs at once here; slurm: one
    // array job of --jobs tasks on the Slurm cluster, each taking scenes in
    // turn.
    std::string farm = "none";
    int jobs = 2;
    std::string resume; // an earlier batch's OUT: run what it has not finished
    // > 0: every scene at this many texels per scene unit (see unwrap).
    double texel_density = 0;
    bool any_size = false;
    int max_size = 4096;
};

// 0 every scene went through; 1 some failed (each says why in the
// summary); 2 the list, the preset or OUT could not be used.
int run_batch_command(const BatchCommand& cmd);

// A farm task of a submitted batch: takes the next scene of OUT/batch.tasks
// until none is left (the tasks of one array share the list).
int run_batch_task_command(const std::string& out, int index);
