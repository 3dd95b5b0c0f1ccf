// Feeds arbitrary bytes to the modifier's Load, as a damaged scene file would.
#include "modifier/vellumar_modifier.h"
#include "standalone/core.h"
#include "standalone/files/chunk_stream.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    StandaloneCore core;
    VellumarModifier mod;
    ChunkReader in(data, size);
    mod.Load(&in);
    // Whatever was read must save again and load to the same sets.
    ChunkWriter out;
    mod.Save(&out);
    VellumarModifier again;
    ChunkReader back(out.bytes().data(), out.bytes().size());
    again.Load(&back);
    if (again.GetGroupKeys() != mod.GetGroupKeys()) {
        __builtin_trap();
    }
    return 0;
}
