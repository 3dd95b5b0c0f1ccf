#include "standalone/materials/surface_shader.h"

struct SurfaceShader::Impl {
    std::vector<int> channels;
};

SurfaceShader::SurfaceShader(Mtl*, std::vector<std::string>&) : impl_(std::make_unique<Impl>()) {}
SurfaceShader::~SurfaceShader() = default;
const std::vector<int>& SurfaceShader::Channels() const {
    return impl_->channels;
}
SurfaceSample SurfaceShader::Shade(const ShadePoint&) const {
    return {};
}
