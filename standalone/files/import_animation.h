// The first animation of an Assimp scene as keyed transforms of its nodes.
// Assimp counts time in the file's ticks; keys here are in host ticks. A
// file that does not say how fast its ticks run is taken at 25 a second,
// as Assimp's own tools take it.
#pragma once

#include "standalone/scene/node_animation.h"

#include <assimp/scene.h>

#include <map>
#include <memory>
#include <string>

class ImportedAnimation {
  public:
    explicit ImportedAnimation(const aiScene& scene);

    // The keys of the node's own channel, or nullptr when it has none; a
    // part the channel does not key keeps the node's rest value.
    std::shared_ptr<const TransformTrack> TrackOf(const aiNode& node);

  private:
    double ticks_per_second_ = 25.0;
    std::map<std::string, const aiNodeAnim*> channels_;
};
