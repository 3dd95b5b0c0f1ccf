// Caddies: one temporary mesh object per target map holding copies of all
// of that map's objects, so that a single render bakes the whole atlas.
// Most renderers see the caddy only through a projection of the original
// objects onto it; old V-Ray and Brazil render the copies' own materials.
#pragma once

#include "bake/renderer_kind.h"

#include "host/inode.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

struct CaddySet {
    std::vector<INode*> caddies; // in map order
    std::vector<int> maps;       // the map each caddy bakes
    // Objects whose render switch is put back at clean-up, with its value.
    std::vector<std::pair<INode*, bool>> switches;
};

std::string CaddyName(int mapIndex);

// The script texts, exactly as the host runs them.
std::string CaddyCreateScript(int mapIndex);
std::string CaddyMaterialScript();
std::string CaddyAttachScript(ULONG handle, RendererKind kind);
std::string CaddyProjectionScript(RendererKind kind, int channel, int mapIndex,
                                  const std::vector<ULONG>& handles, bool debug);

// Builds a caddy for every map of the group that has objects, on the helper
// layer. On failure nothing built stays, the reason is reported once and
// the bake falls back to its separate passes.
bool BuildCaddies(RendererKind kind, int channel, int mapCount, const std::vector<INode*>& objects,
                  std::uint64_t groupKey, CaddySet& caddySet);

// Deletes the caddies built (and only those), puts the recorded render
// switches back and deletes the helper layer.
void RemoveCaddies(CaddySet& caddySet);
