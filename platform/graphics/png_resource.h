#pragma once

#include <filesystem>
#include <memory>

#include "platform/graphics/image.h"

namespace platform::graphics {

// The pixels of a PNG file among the application's own resources, read by cairo: Rgb24 for
// a picture without alpha, else premultiplied Argb32. Null for a missing or unreadable file.
std::shared_ptr<PixelBuffer> readPngResource(const std::filesystem::path& path);

}  // namespace platform::graphics
