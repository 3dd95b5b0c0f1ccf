// The progress callback the engines report through: whole percentages to the
// host's progress bar, each new value once.
#pragma once

#include <cstdint>

// Asks the engine to stop (nonzero) once the user cancelled the progress bar.
std::int32_t atlas_progress(float fraction);
