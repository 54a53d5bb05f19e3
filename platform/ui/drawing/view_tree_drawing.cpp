#include "platform/ui/drawing/view_tree_drawing.h"

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

bool treeIsAnimating(const View& root, double now) {
    if (root.isHidden()) return false;
    if (root.isAnimating(now)) return true;
    if (auto* spinner = dynamic_cast<const ActivityIndicator*>(&root);
        spinner && spinner->isAnimating())
        return true;
    for (const auto& subview : root.subviews())
        if (treeIsAnimating(*subview, now)) return true;
    return false;
}

}  // namespace platform::ui
