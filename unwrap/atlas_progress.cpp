#include "unwrap/atlas_progress.h"

#include "host/interface.h"

namespace {
// Starts at 100 so that the first report of a fresh bar (0 %) goes through.
int last_percentage = 100;
} // namespace

std::int32_t atlas_progress(float fraction) {
    const int percentage = static_cast<int>(fraction * 100.0f);
    if (percentage != last_percentage) {
        GetCOREInterface()->ProgressUpdate(percentage, 0, nullptr);
        last_percentage = percentage;
    }
    // The engine stops and fails when the user cancelled.
    return GetCOREInterface()->GetCancel() != 0 ? 1 : 0;
}
