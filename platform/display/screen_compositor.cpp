#include "platform/display/screen_compositor.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
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

bool ScreenCompositor::onlySpinnersTurned(double now) const {
    if (!composed_ || !composedTurning_ || composedGeneration_ != View::displayGeneration())
        return false;
    const auto turning = ui::turningSpinners(*window_, now);
    return turning && turning->region == composedTurning_->region;
}

bool ScreenCompositor::needsComposition(double now) const {
    const auto video = video_.lock();
    if (video && video->videoGeneration() != composedVideoGeneration_) return true;
    // A spinner looks the same until it moves on a spoke.
    if (onlySpinnersTurned(now)) return ui::turningSpinners(*window_, now) != composedTurning_;
    return !layersAreCurrent() || isAnimating(now);
}

namespace {

constexpr foundation::Rect kWholeScreen{0, 0, ScreenCompositor::kScreenSize.width,
                                        ScreenCompositor::kScreenSize.height};

// The rectangle grown by a point, so that antialiased edges fall inside it, and out to whole
// pixels, so that its clip has no soft edge of its own.
foundation::Rect outward(foundation::Rect rect, float scale) {
    const float left = std::floor((rect.x() - 1) * scale) / scale;
    const float top = std::floor((rect.y() - 1) * scale) / scale;
    const float right = std::ceil((rect.maxX() + 1) * scale) / scale;
    const float bottom = std::ceil((rect.maxY() + 1) * scale) / scale;
    return {left, top, right - left, bottom - top};
}

}  // namespace

bool ScreenCompositor::compose(double now) {
    if (!needsComposition(now)) return false;
    const auto video = video_.lock();
    const bool videoChanged = video && video->videoGeneration() != composedVideoGeneration_;
    const auto turning = window_ ? ui::turningSpinners(*window_, now) : std::nullopt;
    if (onlySpinnersTurned(now)) {
        const auto region = outward(turning->region, scale_);
        drawLayers(now, region);
        composedTurning_ = turning;
        ++counts_.regionCompositions;
        lastChange_ = videoChanged ? kWholeScreen : region;
        composeScreen(now, videoChanged ? std::nullopt : std::optional(region));
        return true;
    }
    if (!layersAreCurrent() || isAnimating(now)) {
        drawLayers(now, std::nullopt);
        composedTurning_ = turning;
        ++counts_.layerCompositions;
    } else {
        ++counts_.videoCompositions;
    }
    lastChange_ = kWholeScreen;
    composeScreen(now, std::nullopt);
    return true;
}

void ScreenCompositor::composeScreen(double now, const std::optional<foundation::Rect>& region) {
    DrawingContext context(screen_);
    if (region) context.clip(*region);
    context.paintSurface(under_, DrawingContext::Blend::Replace);
    if (auto video = video_.lock()) {
        drawVideo(context, *video, now);
        context.paintSurface(over_, DrawingContext::Blend::Over);
    }
}

void ScreenCompositor::drawLayers(double now, const std::optional<foundation::Rect>& region) {
    composed_ = true;
    composedWhileAnimating_ = isAnimating(now);
    composedGeneration_ = View::displayGeneration();
    drawUnderLayer(now, region);
    if (!video_.expired()) drawOverLayer(now, region);
}

// Everything up to the first live picture, whose place on the screen is kept.
void ScreenCompositor::drawUnderLayer(double now, const std::optional<foundation::Rect>& region) {
    DrawingContext context(under_);
    if (region) context.clip(*region);
    context.fillRect(region.value_or(kWholeScreen), graphics::Color::black());
    video_.reset();
    if (!window_) return;
    ui::drawViewTree(*window_, context, now, [&](View& view, DrawingContext& placed) {
        auto* live = dynamic_cast<media::LivePictureView*>(&view);
        if (!live) return ViewVisit::Draw;
        video_ = std::static_pointer_cast<media::LivePictureView>(live->shared_from_this());
        // Within a region the views have not moved, and the placement would carry its clip.
        if (!region) videoPlacement_ = placed.placement();
        return ViewVisit::Stop;
    });
}

// Everything after the live picture, over transparency.
void ScreenCompositor::drawOverLayer(double now, const std::optional<foundation::Rect>& region) {
    DrawingContext context(over_);
    if (region) {
        context.clip(*region);
        context.clearRect(*region);
    } else {
        context.clear();
    }
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
