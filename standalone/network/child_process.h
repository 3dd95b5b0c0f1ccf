// Running another program and collecting what it printed: how the host
// drives job schedulers through their command-line tools.
#pragma once

#include <string>
#include <vector>

struct ProcessResult {
    bool started = false; // false: the program could not be run at all
    int exitCode = -1;    // -1 when it died of a signal
    std::string out;      // standard output
    std::string err;      // standard error
};

// Runs argv[0] (looked up in PATH) with the arguments and waits for it.
// Standard input is /dev/null. `environment` ("NAME=value") is set on top
// of this process's own.
ProcessResult RunProcess(const std::vector<std::string>& argv,
                         const std::vector<std::string>& environment = {});

// The path of the running executable, for starting helpers of our own.
std::string SelfExecutable();
