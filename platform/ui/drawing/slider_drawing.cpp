#include <cmath>

#include "platform/graphics/drawing_context.h"
#include "platform/ui/drawing/look.h"
#include "platform/ui/slider.h"

namespace platform::ui {

namespace {
constexpr float kDefaultTrackHeight = 4.0f;
constexpr graphics::Color kDefaultMaximumTrack{1.0f, 1.0f, 1.0f, 0.35f};

// A track picture keeps its own height and is stretched along the track.
void drawTrack(graphics::DrawingContext& context, const graphics::ImagePtr& picture, float fromX,
               float toX, float centreY, graphics::Color fallback) {
    if (toX <= fromX) return;
    if (!picture) {
        context.fillRoundedRect(
            {fromX, centreY - kDefaultTrackHeight * 0.5f, toX - fromX, kDefaultTrackHeight},
            kDefaultTrackHeight * 0.5f, fallback);
        return;
    }
    const float h = picture->size().height;
    context.drawImage(*picture, {fromX, centreY - h * 0.5f, toX - fromX, h});
}
}  // namespace

void Slider::draw(graphics::DrawingContext& context) const {
    const foundation::Rect b = bounds();
    const float thumbX = thumbCenterX();
    const float centreY = b.height() * 0.5f;
    // Track pictures span the whole slider; the plain track only the thumb's travel.
    const bool pictures = minimumTrackImage_ || maximumTrackImage_;
    const float inset = pictures ? 0.0f : thumbWidth() * 0.5f;
    drawTrack(context, minimumTrackImage_, inset, thumbX, centreY, look::kAccent);
    drawTrack(context, maximumTrackImage_, thumbX, b.width() - inset, centreY,
              kDefaultMaximumTrack);
    if (thumbImage_) {
        // On whole points, so that the thumb stays sharp wherever it stops.
        const auto size = thumbImage_->size();
        context.drawImage(*thumbImage_,
                          {std::round(thumbX - size.width * 0.5f),
                           std::round(centreY - size.height * 0.5f), size.width, size.height});
        return;
    }
    const float d = thumbWidth();
    context.fillRoundedRect({thumbX - d * 0.5f, centreY - d * 0.5f, d, d}, d * 0.5f,
                            graphics::Color::white());
}

}  // namespace platform::ui
