#include "platform/ui/drawing/view_tree_drawing.h"

#include <algorithm>
#include <cmath>

#include "platform/ui/activity_indicator.h"
#include "platform/ui/scroll_view.h"

namespace platform::ui {

namespace {

// Draws one view whose frame has already been applied to the context.
bool drawPlacedView(View& view, graphics::DrawingContext& context, double now,
                    const ViewVisitor& visitor);

// Places a subview: its presented frame, and a scroll view's offset and zoom.
bool drawSubview(View& parent, View& subview, graphics::DrawingContext& context, double now,
                 const ViewVisitor& visitor) {
    if (subview.isHidden()) return true;
    context.save();
    bool placed = true;
    if (auto* scroll = dynamic_cast<ScrollView*>(&parent)) {
        context.translate(-scroll->contentOffset().x, -scroll->contentOffset().y);
        if (scroll->zoomingView().get() == &subview) {
            const auto origin = subview.presentationFrame(now).origin;
            context.translate(origin.x, origin.y);
            placed = context.scaleBy(scroll->zoomScale(), scroll->zoomScale());
            context.translate(-origin.x, -origin.y);
        }
    }
    const auto frame = subview.presentationFrame(now);
    context.translate(frame.x(), frame.y());
    const bool more = !placed || drawPlacedView(subview, context, now, visitor);
    context.restore();
    return more;
}

bool drawPlacedView(View& view, graphics::DrawingContext& context, double now,
                    const ViewVisitor& visitor) {
    if (view.clipsToBounds()) {
        const auto size = view.presentationFrame(now).size;
        context.clip({0, 0, size.width, size.height});
    }
    const ViewVisit visit = visitor ? visitor(view, context) : ViewVisit::Draw;
    if (visit == ViewVisit::Stop) return false;
    if (visit == ViewVisit::Draw) drawOwnContent(view, context, now);
    // A copy: drawing never changes the tree, but a visitor may.
    const auto subviews = view.subviews();
    for (const auto& subview : subviews)
        if (!drawSubview(view, *subview, context, now, visitor)) return false;
    return true;
}

}  // namespace

void drawOwnContent(View& view, graphics::DrawingContext& context, double now) {
    const auto size = view.presentationFrame(now).size;
    if (view.backgroundColor().alpha > 0.0f)
        context.fillRect({0, 0, size.width, size.height}, view.backgroundColor());
    view.draw(context);
}

bool drawViewTree(View& root, graphics::DrawingContext& context, double now,
                  const ViewVisitor& visitor) {
    if (root.isHidden()) return true;
    context.save();
    const bool finished = drawPlacedView(root, context, now, visitor);
    context.restore();
    return finished;
}

namespace {

foundation::Rect united(const foundation::Rect& a, const foundation::Rect& b) {
    const float x = std::min(a.x(), b.x()), y = std::min(a.y(), b.y());
    return {x, y, std::max(a.maxX(), b.maxX()) - x, std::max(a.maxY(), b.maxY()) - y};
}

// Adds the spinners turning in the tree; false if a view of it moves.
bool addTurning(const View& view, double now, std::optional<TurningSpinners>& turning) {
    if (view.isHidden()) return true;
    if (view.isAnimating(now)) return false;
    auto* spinner = dynamic_cast<const ActivityIndicator*>(&view);
    if (!spinner && view.changesWithTime(now)) return false;
    if (spinner && spinner->isAnimating()) {
        const auto bounds = spinner->drawnBounds();
        const auto a = view.convertToWindow(bounds.origin);
        const auto b = view.convertToWindow({bounds.maxX(), bounds.maxY()});
        const foundation::Rect place{std::min(a.x, b.x), std::min(a.y, b.y), std::abs(b.x - a.x),
                                     std::abs(b.y - a.y)};
        const auto spoke = static_cast<std::uint64_t>(spinner->leadSpoke(now));
        turning = turning
                      ? TurningSpinners{united(turning->region, place), turning->step * 13 + spoke}
                      : TurningSpinners{place, spoke};
    }
    for (const auto& subview : view.subviews())
        if (!addTurning(*subview, now, turning)) return false;
    return true;
}

}  // namespace

std::optional<TurningSpinners> turningSpinners(const View& root, double now) {
    std::optional<TurningSpinners> turning;
    if (!addTurning(root, now, turning)) return std::nullopt;
    return turning;
}

bool treeIsAnimating(const View& root, double now) {
    if (root.isHidden()) return false;
    if (root.isAnimating(now) || root.changesWithTime(now)) return true;
    for (const auto& subview : root.subviews())
        if (treeIsAnimating(*subview, now)) return true;
    return false;
}

}  // namespace platform::ui
