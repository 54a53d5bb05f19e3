#include "platform/ui/image_named.h"

#include <algorithm>
#include <map>
#include <optional>
#include <set>
#include <string>

#include "platform/foundation/bundle.h"
#include "platform/foundation/log.h"
#include "platform/graphics/png_resource.h"

namespace platform::ui {

namespace {
float gScreenScale = 1;
std::map<std::string, graphics::ImagePtr, std::less<>> gCache;
std::set<std::string, std::less<>> gReported;

std::string retinaName(std::string_view name) {
    const auto dot = name.rfind('.');
    if (dot == std::string_view::npos) return std::string(name) + "@2x";
    return std::string(name.substr(0, dot)) + "@2x" + std::string(name.substr(dot));
}

graphics::ImagePtr loadPng(const std::filesystem::path& path, float scale) {
    auto pixels = graphics::readPngResource(path);
    if (!pixels) return nullptr;
    return std::make_shared<graphics::Image>(std::move(pixels), graphics::ImageOrientation::Up,
                                             scale);
}

std::optional<graphics::ImagePtr> loadNamed(std::string_view name) {
    const auto& bundle = foundation::Bundle::main();
    if (gScreenScale > 1) {
        if (auto path = bundle.pathForFile(retinaName(name)))
            if (auto image = loadPng(*path, 2.0f)) return image;
    }
    if (auto path = bundle.pathForFile(name))
        if (auto image = loadPng(*path, 1.0f)) return image;
    return std::nullopt;
}
}  // namespace

float screenScale() {
    return gScreenScale;
}

void setScreenScale(float scale) {
    const float clamped = std::clamp(scale, kLeastScreenScale, kGreatestScreenScale);
    if (clamped == gScreenScale) return;
    gScreenScale = clamped;
    gCache.clear();
}

graphics::ImagePtr imageNamed(std::string_view name) {
    if (auto it = gCache.find(name); it != gCache.end()) return it->second;
    auto image = loadNamed(name);
    if (!image) {
        if (gReported.emplace(name).second)
            foundation::logWarning("missing picture resource \"%@\"", std::string(name));
        return nullptr;
    }
    gCache.emplace(std::string(name), *image);
    return *image;
}

}  // namespace platform::ui
