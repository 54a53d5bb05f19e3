#include "platform/ui/view.h"

#include <algorithm>
#include <cmath>

#include "platform/foundation/run_loop.h"
#include "platform/ui/view_controller.h"
#include "platform/ui/window.h"

namespace platform::ui {

using foundation::Point;
using foundation::Rect;

namespace {
std::uint64_t gDisplayGeneration = 0;

struct AnimationBlock {
    int depth = 0;
    double duration = 0.2;
    std::vector<std::pair<std::weak_ptr<View>, Rect>> changed;
};
AnimationBlock gBlock;

double easeInEaseOut(double t) {
    return t * t * (3.0 - 2.0 * t);
}
float mix(float a, float b, double t) {
    return static_cast<float>(a + (b - a) * t);
}
}  // namespace

View::View(Rect frame) : frame_(frame) {}

View::~View() {
    for (auto& subview : subviews_) subview->superview_.reset();
}

std::uint64_t View::displayGeneration() {
    return gDisplayGeneration;
}
void View::setNeedsDisplay() {
    ++gDisplayGeneration;
}

void View::frameWillChange() {
    if (gBlock.depth == 0) return;
    auto self = weak_from_this();
    const bool recorded = std::any_of(gBlock.changed.begin(), gBlock.changed.end(), [&](auto& e) {
        return !e.first.owner_before(self) && !self.owner_before(e.first);
    });
    if (!recorded)
        gBlock.changed.emplace_back(self, presentationFrame(foundation::RunLoop::main().now()));
}

void View::setFrame(Rect frame) {
    if (frame == frame_) return;
    frameWillChange();
    frame_ = frame;
    setNeedsDisplay();
}

void View::setCenter(Point center) {
    setFrame({center.x - frame_.width() * 0.5f, center.y - frame_.height() * 0.5f, frame_.width(),
              frame_.height()});
}

void View::setHidden(bool hidden) {
    if (hidden == hidden_) return;
    hidden_ = hidden;
    setNeedsDisplay();
}

void View::setUserInteractionEnabled(bool enabled) {
    if (enabled == userInteractionEnabled_) return;
    userInteractionEnabled_ = enabled;
    setNeedsDisplay();
}

void View::setBackgroundColor(Color color) {
    if (color == backgroundColor_) return;
    backgroundColor_ = color;
    setNeedsDisplay();
}

void View::setClipsToBounds(bool clips) {
    if (clips == clipsToBounds_) return;
    clipsToBounds_ = clips;
    setNeedsDisplay();
}

void View::addSubview(const std::shared_ptr<View>& view) {
    if (!view || view.get() == this || isDescendantOf(*view)) return;
    Window* oldWindow = view->window();
    if (auto parent = view->superview()) {
        std::erase(parent->subviews_, view);
    }
    subviews_.push_back(view);
    view->superview_ = weak_from_this();
    if (view->window() != oldWindow) view->didMoveToWindow();
    setNeedsDisplay();
}

void View::removeFromSuperview() {
    auto parent = superview();
    if (!parent) return;
    auto self = shared_from_this();  // keep alive until the tree no longer refers to it
    std::erase(parent->subviews_, self);
    superview_.reset();
    didMoveToWindow();
    setNeedsDisplay();
}

void View::replaceSubview(const std::shared_ptr<View>& existing,
                          const std::shared_ptr<View>& replacement) {
    if (!replacement || replacement == existing || isDescendantOf(*replacement)) return;
    if (std::find(subviews_.begin(), subviews_.end(), existing) == subviews_.end()) return;
    replacement->removeFromSuperview();
    *std::find(subviews_.begin(), subviews_.end(), existing) = replacement;
    replacement->superview_ = weak_from_this();
    existing->superview_.reset();
    existing->didMoveToWindow();
    replacement->didMoveToWindow();
    setNeedsDisplay();
}

bool View::isDescendantOf(const View& ancestor) const {
    for (auto v = superview(); v; v = v->superview())
        if (v.get() == &ancestor) return true;
    return false;
}

Window* View::window() const {
    const View* root = this;
    for (auto v = superview(); v; v = v->superview()) root = v.get();
    return dynamic_cast<Window*>(const_cast<View*>(root));
}

std::shared_ptr<View> View::hitTest(Point point) {
    if (hidden_ || !userInteractionEnabled_ || !pointInside(point)) return nullptr;
    for (auto it = subviews_.rbegin(); it != subviews_.rend(); ++it) {
        if (auto hit = (*it)->hitTest(convertToSubview(**it, point))) return hit;
    }
    return shared_from_this();
}

Point View::convertFromSubview(const View& subview, Point point) const {
    return {point.x + subview.frame().x(), point.y + subview.frame().y()};
}

Point View::convertToSubview(const View& subview, Point point) const {
    return {point.x - subview.frame().x(), point.y - subview.frame().y()};
}

// The root's own frame is the screen: its points are window points.
Point View::convertToWindow(Point point) const {
    auto parent = superview();
    if (!parent) return point;
    return parent->convertToWindow(parent->convertFromSubview(*this, point));
}

Point View::convertFromWindow(Point point) const {
    auto parent = superview();
    if (!parent) return point;
    return parent->convertToSubview(*this, parent->convertFromWindow(point));
}

Point View::originInWindow() const {
    return superview() ? convertToWindow({0, 0}) : frame_.origin;
}

Responder* View::nextResponder() const {
    if (viewController_) return viewController_;
    return superview().get();
}

bool View::isAnimating(double now) const {
    return animation_ && now < animation_->start + animation_->duration;
}

Rect View::presentationFrame(double now) const {
    if (!isAnimating(now) || animation_->duration <= 0.0) return frame_;
    const double t =
        easeInEaseOut(std::clamp((now - animation_->start) / animation_->duration, 0.0, 1.0));
    const Rect& a = animation_->from;
    return {mix(a.x(), frame_.x(), t), mix(a.y(), frame_.y(), t), mix(a.width(), frame_.width(), t),
            mix(a.height(), frame_.height(), t)};
}

void View::beginAnimations() {
    if (gBlock.depth++ == 0) {
        gBlock.duration = 0.2;
        gBlock.changed.clear();
    }
}

void View::setAnimationDuration(double seconds) {
    gBlock.duration = seconds;
}

void View::commitAnimations() {
    if (gBlock.depth == 0 || --gBlock.depth > 0) return;
    const double now = foundation::RunLoop::main().now();
    for (auto& [weak, from] : gBlock.changed) {
        if (auto view = weak.lock(); view && view->frame_ != from)
            view->animation_ = Animation{from, now, gBlock.duration};
    }
    gBlock.changed.clear();
}

}  // namespace platform::ui
