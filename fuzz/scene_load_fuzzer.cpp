// Feeds arbitrary bytes to the scene loader, then evaluates and saves what
// it loaded: a damaged file must never crash the host.
#include "modifier/vellumar_modifier.h"
#include "standalone/core.h"
#include "standalone/files/scene_file.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    StandaloneCore core;
    core.RegisterClass(GetVellumarModifierDesc());
    if (!load_scene_bytes(core, data, size).ok) {
        return 0;
    }
    for (const auto& node : core.scene().Nodes()) {
        node->EvalWorldState(0);
    }
    scene_bytes(core);
    return 0;
}
