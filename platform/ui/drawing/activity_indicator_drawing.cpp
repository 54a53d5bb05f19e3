#include <algorithm>
#include <cmath>
#include <numbers>

#include "platform/foundation/run_loop.h"
#include "platform/graphics/drawing_context.h"
#include "platform/ui/activity_indicator.h"

namespace platform::ui {

namespace {
constexpr int kSpokes = 12;
constexpr double kTurnsPerSecond = 1.0;

struct SpinnerLook {
    float diameter;
    graphics::Color color;
};

SpinnerLook lookFor(ActivityIndicator::Style style) {
    switch (style) {
        case ActivityIndicator::Style::White:
            return {20.0f, graphics::Color::white()};
        case ActivityIndicator::Style::Gray:
            return {20.0f, {0.5f, 0.5f, 0.5f, 1.0f}};
        default:
            return {37.0f, graphics::Color::white()};
    }
}
}  // namespace

foundation::Rect ActivityIndicator::drawnBounds() const {
    const float side = lookFor(style_).diameter;
    const auto b = bounds();
    const float x = std::min(b.x(), b.center().x - side / 2);
    const float y = std::min(b.y(), b.center().y - side / 2);
    return {x, y, std::max(b.maxX(), b.center().x + side / 2) - x,
            std::max(b.maxY(), b.center().y + side / 2) - y};
}

int ActivityIndicator::leadSpoke(double now) const {
    const double elapsed = std::max(0.0, now - animationStart_);
    return static_cast<int>(std::floor(elapsed * kTurnsPerSecond * kSpokes)) % kSpokes;
}

// Twelve spokes fading behind the leading one, which moves on a spoke at a time.
void ActivityIndicator::draw(graphics::DrawingContext& context) const {
    if (!animating_) return;
    const SpinnerLook look = lookFor(style_);
    const int lead = leadSpoke(foundation::RunLoop::main().now());
    const float radius = look.diameter * 0.5f;
    const auto centre = bounds().center();
    const float step = 2.0f * std::numbers::pi_v<float> / kSpokes;
    context.save();
    context.translate(centre.x, centre.y);
    for (int i = 0; i < kSpokes; ++i) {
        const int behind = (lead - i + kSpokes) % kSpokes;
        const float alpha = 1.0f - 0.75f * static_cast<float>(behind) / kSpokes;
        const float angle = step * static_cast<float>(i) - std::numbers::pi_v<float> / 2;
        const foundation::Point direction{std::cos(angle), std::sin(angle)};
        context.strokeLine({direction.x * radius * 0.5f, direction.y * radius * 0.5f},
                           {direction.x * radius * 0.88f, direction.y * radius * 0.88f},
                           radius * 0.22f, look.color.withAlpha(look.color.alpha * alpha));
    }
    context.restore();
}

}  // namespace platform::ui
