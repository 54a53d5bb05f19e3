#include "platform/display/screen_compositor.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>

#include "platform/graphics/png_codec.h"
#include "platform/ui/drawing/view_tree_drawing.h"
#include "platform/ui/image_named.h"

namespace platform::display {

using graphics::DrawingContext;
using graphics::Surface;
using ui::View;
using ui::ViewVisit;

ScreenCompositor::ScreenCompositor(std::shared_ptr<ui::Window> window, float scale)
    : window_(std::move(window)),
      scale_(std::clamp(scale, ui::kLeastScreenScale, ui::kGreatestScreenScale)),
      under_(kScreenSize, scale_, Surface::Content::Opaque),
      over_(kScreenSize, scale_, Surface::Content::Transparent),
      screen_(kScreenSize, scale_, Surface::Content::Opaque) {}

bool ScreenCompositor::isAnimating(double now) const {
    return window_ && ui::treeIsAnimating(*window_, now);
}

// The cached layers show the views as they are: nothing changed since they were drawn,
// and they were not drawn in the middle of a movement.
bool ScreenCompositor::layersAreCurrent() const {
    return composed_ && !composedWhileAnimating_ &&
           composedGeneration_ == View::displayGeneration();
}

bool ScreenCompositor::needsComposition(double now) const {
    if (!layersAreCurrent() || isAnimating(now)) return true;
    const auto video = video_.lock();
    return video && video->videoGeneration() != composedVideoGeneration_;
}

bool ScreenCompositor::compose(double now) {
    if (!needsComposition(now)) return false;
    if (!layersAreCurrent() || isAnimating(now)) {
        drawLayers(now);
        ++counts_.layerCompositions;
    } else {
        ++counts_.videoCompositions;
    }
    DrawingContext context(screen_);
    context.paintSurface(under_, DrawingContext::Blend::Replace);
    if (auto video = video_.lock()) {
        drawVideo(context, *video, now);
        context.paintSurface(over_, DrawingContext::Blend::Over);
    }
    return true;
}

void ScreenCompositor::drawLayers(double now) {
    composed_ = true;
    composedWhileAnimating_ = isAnimating(now);
    composedGeneration_ = View::displayGeneration();
    drawUnderLayer(now);
    if (!video_.expired()) drawOverLayer(now);
}

// Everything up to the first live picture, whose place on the screen is kept.
void ScreenCompositor::drawUnderLayer(double now) {
    DrawingContext context(under_);
    context.fillRect({0, 0, kScreenSize.width, kScreenSize.height}, graphics::Color::black());
    video_.reset();
    if (!window_) return;
    ui::drawViewTree(*window_, context, now, [this](View& view, DrawingContext& placed) {
        auto* live = dynamic_cast<media::LivePictureView*>(&view);
        if (!live) return ViewVisit::Draw;
        video_ = std::static_pointer_cast<media::LivePictureView>(live->shared_from_this());
        videoPlacement_ = placed.placement();
        return ViewVisit::Stop;
    });
}

// Everything after the live picture, over transparency.
void ScreenCompositor::drawOverLayer(double now) {
    DrawingContext context(over_);
    context.clear();
    const View* video = video_.lock().get();
    bool passed = false;
    ui::drawViewTree(*window_, context, now, [&](View& view, DrawingContext&) {
        if (passed) return ViewVisit::Draw;
        passed = &view == video;
        return ViewVisit::SkipOwnDrawing;
    });
}

void ScreenCompositor::drawVideo(DrawingContext& context, media::LivePictureView& video,
                                 double now) {
    context.save();
    context.setPlacement(videoPlacement_);
    ui::drawOwnContent(video, context, now);
    context.restore();
    composedVideoGeneration_ = video.videoGeneration();
}

std::optional<std::string> ScreenCompositor::writePng(const std::filesystem::path& path) const {
    const auto encoded = graphics::encodePng(screen_.pixels());
    if (!encoded) return "cannot encode the screen: " + encoded.error();
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) return "cannot write " + path.string() + ": " + std::strerror(errno);
    const auto& bytes = encoded.value();
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) return "cannot write " + path.string() + ": " + std::strerror(errno);
    return std::nullopt;
}

}  // namespace platform::display
