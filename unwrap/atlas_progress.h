// The progress callback the engines report through: whole percentages to the
// host's progress bar, each new value once.
#pragma once

#include <cstdint>

// Never asks the engine to cancel: always returns 0.
std::int32_t atlas_progress(float fraction);
