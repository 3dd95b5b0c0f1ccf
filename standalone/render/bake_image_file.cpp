#include "standalone/render/bake_image_file.h"

#include "standalone/render/bake_canvas.h"

std::string WriteBakeImage(const std::string& target, int width, int height,
                           const std::vector<float>& rgba) {
    if (width <= 0 || height <= 0 || rgba.size() != std::size_t(width) * height * 4) {
        return "Cannot write " + target + ": the image is empty";
    }
    WindowedImage image;
    image.width = image.w = width;
    image.height = image.h = height;
    image.window = &rgba;
    return WriteBakeImage(target, image);
}

std::string WriteBakeImage(const std::string& target, const WindowedImage& image) {
    const bool inside = image.x0 >= 0 && image.y0 >= 0 && image.w >= 0 && image.h >= 0 &&
                        image.x0 + image.w <= image.width && image.y0 + image.h <= image.height &&
                        image.window != nullptr &&
                        image.window->size() == std::size_t(image.w) * std::size_t(image.h) * 4;
    if (image.width <= 0 || image.height <= 0 || !inside) {
        return "Cannot write " + target + ": the image is empty";
    }
    // The file's pixels are made straight from the window's rows, without a
    // float copy of the whole atlas.
    BakeCanvas canvas;
    const std::string error = canvas.Open(target, image.width, image.height, image.background);
    if (!error.empty()) {
        return error;
    }
    for (int y = 0; y < image.h; ++y) {
        canvas.PutRow(image.x0, image.y0 + y, image.w,
                      &(*image.window)[std::size_t(y) * std::size_t(image.w) * 4]);
    }
    return canvas.Write();
}
