// The images texture maps show, read once and shared: every map that names
// the same file, or carries the same packed bytes, samples one image for as
// long as anything holds it.
#pragma once

#include "host/max_types.h"
#include "standalone/files/image_files.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// An image file's bytes carried inside a scene (a glb's textures), never
// written next to the user's files.
using PackedImage = std::vector<std::uint8_t>;

// The most pixels a texture may hold: 8192 x 8192, a gigabyte once decoded.
// No atlas a bake renders reads finer detail than that from one texture,
// and a header claiming more would cost gigabytes and minutes per bake.
inline constexpr long long kMaxTexturePixels = 1ll << 26;

// The image of the file, or nullptr with `error` set. Only regular files are
// read. Safe from any thread.
std::shared_ptr<const FloatImage> LoadTextureFile(const std::string& path, std::string& error);
std::shared_ptr<const FloatImage> LoadPackedImage(const std::shared_ptr<const PackedImage>& packed,
                                                  std::string& error);

// Where a texture named in a scene is on this machine: Windows separators
// become '/', a relative name is taken from `scene_dir`, and a name that is
// not there is looked for by its file name in `scene_dir`. Returns the path
// found, or the name unchanged when nothing is there.
std::string ResolveTexturePath(const std::string& name, const std::string& scene_dir);

// RGBA at texture coordinates uv (v up, the image's rows from the top),
// bilinear between texel centres and repeating past the edges.
void SampleBilinear(const FloatImage& image, Point2 uv, float rgba[4]);
