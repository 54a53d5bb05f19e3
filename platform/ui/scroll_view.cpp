#include "platform/ui/scroll_view.h"

#include <algorithm>
#include <cmath>

namespace platform::ui {

using foundation::Point;
using foundation::RunLoop;
using foundation::Size;

namespace {

// A finger wobbles a little while it taps; only more than this is a drag.
constexpr float kDragThreshold = 6.0f;
constexpr double kSettleDuration = 0.3;
constexpr double kSettleFrame = 1.0 / 60.0;
constexpr double kDoubleTapInterval = 0.3;
constexpr float kDoubleTapDistance = 20.0f;
// One arrow key press or one wheel notch.
constexpr float kLineStep = 40.0f;
// Page keys keep a line of the old page in view, to read on from.
constexpr float kPageOverlap = 40.0f;
constexpr float kZoomStep = 1.25f;

float distance(Point a, Point b) {
    return std::hypot(a.x - b.x, a.y - b.y);
}

// Fast at first, gently into place.
double easeOut(double t) {
    const double rest = 1.0 - t;
    return 1.0 - rest * rest * rest;
}

float rubberBand(float offset, float maximum) {
    if (maximum <= 0.0f) return 0.0f;  // content that fits stays put, as on a phone
    if (offset < 0.0f) return offset * 0.5f;
    if (offset > maximum) return maximum + (offset - maximum) * 0.5f;
    return offset;
}

float undoRubberBand(float offset, float maximum) {
    if (maximum <= 0.0f) return 0.0f;
    if (offset < 0.0f) return offset * 2.0f;
    if (offset > maximum) return maximum + (offset - maximum) * 2.0f;
    return offset;
}

}  // namespace

ScrollView::~ScrollView() {
    stopSettling();
}

void ScrollView::setContentSize(Size size) {
    if (size == contentSize_) return;
    contentSize_ = size;
    setNeedsDisplay();
    if (!tracking_ && !settle_) moveTo(clamped(contentOffset_));
}

void ScrollView::setContentOffset(Point offset) {
    stopSettling();
    moveTo(clamped(offset));
}

void ScrollView::setZoomScale(float scale) {
    if (scale == zoomScale_) return;
    zoomScale_ = scale;
    setNeedsDisplay();
    if (auto d = delegate()) d->scrollViewDidZoom(*this);
    if (!tracking_ && !settle_) moveTo(clamped(contentOffset_));
}

std::shared_ptr<View> ScrollView::zoomingView() const {
    auto d = delegate();
    return d ? d->viewForZoomingInScrollView(const_cast<ScrollView&>(*this)) : nullptr;
}

Size ScrollView::scrollableExtent() const {
    if (!zoomingView()) return contentSize_;
    return {contentSize_.width * zoomScale_, contentSize_.height * zoomScale_};
}

Point ScrollView::maximumContentOffset() const {
    const Size extent = scrollableExtent();
    return {std::max(0.0f, extent.width - frame().width()),
            std::max(0.0f, extent.height - frame().height())};
}

void ScrollView::moveTo(Point offset) {
    if (offset == contentOffset_) return;
    contentOffset_ = offset;
    setNeedsDisplay();
    if (auto d = delegate()) d->scrollViewDidScroll(*this);
}

Point ScrollView::clamped(Point offset) const {
    const Point maximum = maximumContentOffset();
    return {std::clamp(offset.x, 0.0f, maximum.x), std::clamp(offset.y, 0.0f, maximum.y)};
}

Point ScrollView::rubberBanded(Point offset) const {
    if (!bounces_) return clamped(offset);
    const Point maximum = maximumContentOffset();
    return {rubberBand(offset.x, maximum.x), rubberBand(offset.y, maximum.y)};
}

// Where the finger would have put the content without the rubber band: a drag that starts
// while the content is still pulled past an edge goes on from there without a jump.
Point ScrollView::undamped(Point offset) const {
    if (!bounces_) return offset;
    const Point maximum = maximumContentOffset();
    return {undoRubberBand(offset.x, maximum.x), undoRubberBand(offset.y, maximum.y)};
}

// A screen that asks for a minimum above its maximum keeps the minimum.
float ScrollView::clampedZoom(float scale) const {
    if (minimumZoomScale_ > maximumZoomScale_) return minimumZoomScale_;
    return std::clamp(scale, minimumZoomScale_, maximumZoomScale_);
}

bool ScrollView::zoomAbout(Point point, float scale) {
    const auto view = zoomingView();
    if (!view || zoomScale_ <= 0.0f) return false;
    const float zoom = clampedZoom(scale);
    if (zoom == zoomScale_) return false;
    const Point origin = view->frame().origin;
    // The content point under `point`, in the zooming view's unscaled units.
    const Point content{(point.x + contentOffset_.x - origin.x) / zoomScale_,
                        (point.y + contentOffset_.y - origin.y) / zoomScale_};
    stopSettling();
    zoomScale_ = zoom;
    setNeedsDisplay();
    if (auto d = delegate()) d->scrollViewDidZoom(*this);
    moveTo(clamped({content.x * zoom + origin.x - point.x, content.y * zoom + origin.y - point.y}));
    return true;
}

bool ScrollView::scrollBy(float dx, float dy) {
    stopSettling();
    const Point before = contentOffset_;
    moveTo(clamped({before.x + dx, before.y + dy}));
    return contentOffset_ != before;
}

void ScrollView::settle() {
    const Point target = clamped(contentOffset_);
    if (target == contentOffset_) return;
    stopSettling();
    std::weak_ptr<View> weak = weak_from_this();
    auto timer = RunLoop::main().scheduleTimer(kSettleFrame, true, [weak](foundation::Timer&) {
        if (auto self = weak.lock()) static_cast<ScrollView&>(*self).settleStep();
    });
    settle_ = Settle{contentOffset_, target, RunLoop::main().now(), std::move(timer)};
}

void ScrollView::settleStep() {
    if (!settle_) return;
    const double t = (RunLoop::main().now() - settle_->start) / kSettleDuration;
    // The last frame may fall a rounding error short of the duration.
    if (t >= 1.0 - 1e-6) {
        const Point end = settle_->to;
        stopSettling();
        moveTo(clamped(end));
        return;
    }
    const auto e = static_cast<float>(easeOut(t));
    const Point from = settle_->from, to = settle_->to;
    moveTo({from.x + (to.x - from.x) * e, from.y + (to.y - from.y) * e});
}

void ScrollView::stopSettling() {
    if (settle_ && settle_->timer) settle_->timer->invalidate();
    settle_.reset();
}

// Whatever lies on the content, the scroll view takes the touch: only when the finger lifts
// is it known whether it was a tap for the content or a drag of it.
std::shared_ptr<View> ScrollView::hitTest(Point point) {
    if (isHidden() || !isUserInteractionEnabled() || !pointInside(point)) return nullptr;
    return shared_from_this();
}

// A touch that a tap gave to the content and the content left comes up the chain through
// here; it is not a finger on the scroll view.
bool ScrollView::isOwn(const Touches& touches) const {
    return !touches.empty() && touches.front().view.lock().get() == this;
}

void ScrollView::touchesBegan(const Touches& touches) {
    if (!isOwn(touches)) return Responder::touchesBegan(touches);
    stopSettling();
    tracking_ = Tracking{touches.front().locationInView(this), undamped(contentOffset_), false};
}

void ScrollView::touchesMoved(const Touches& touches) {
    if (!isOwn(touches)) return Responder::touchesMoved(touches);
    if (!tracking_) return;
    const Point finger = touches.front().locationInView(this);
    if (!tracking_->dragging && distance(finger, tracking_->start) > kDragThreshold)
        tracking_->dragging = true;
    if (!tracking_->dragging) return;
    // The content follows the finger from where it was first touched.
    moveTo(rubberBanded({tracking_->startOffset.x - (finger.x - tracking_->start.x),
                         tracking_->startOffset.y - (finger.y - tracking_->start.y)}));
}

void ScrollView::touchesEnded(const Touches& touches) {
    if (!isOwn(touches)) return Responder::touchesEnded(touches);
    if (!tracking_) return;
    const bool dragged = tracking_->dragging;
    tracking_.reset();
    settle();
    if (!dragged) tapped(touches.front());
}

void ScrollView::touchesCancelled(const Touches& touches) {
    if (!isOwn(touches)) return Responder::touchesCancelled(touches);
    tracking_.reset();
    settle();
}

void ScrollView::tapped(const Touch& touch) {
    const Point point = touch.locationInView(this);
    const double now = RunLoop::main().now();
    if (isDoubleTap(point, now)) {
        lastTap_.reset();  // a third tap starts a new pair
        toggleZoom(point);
        return;
    }
    lastTap_ = Tap{now, point};
    deliverTap(touch);
}

bool ScrollView::isDoubleTap(Point point, double now) const {
    return lastTap_ && minimumZoomScale_ < maximumZoomScale_ && zoomingView() &&
           now - lastTap_->time <= kDoubleTapInterval &&
           distance(point, lastTap_->point) <= kDoubleTapDistance;
}

// Between the whole picture and its pixels one to one; where even the minimum shows more
// than one to one, between the two limits.
void ScrollView::toggleZoom(Point point) {
    float zoomedIn = std::min(1.0f, maximumZoomScale_);
    if (zoomedIn <= minimumZoomScale_) zoomedIn = maximumZoomScale_;
    const bool atMinimum = zoomScale_ <= minimumZoomScale_ * 1.001f;
    zoomAbout(point, atMinimum ? zoomedIn : minimumZoomScale_);
}

void ScrollView::deliverTap(const Touch& touch) {
    const Point point = touch.locationInView(this);
    const auto& subviews = this->subviews();
    for (auto it = subviews.rbegin(); it != subviews.rend(); ++it) {
        const auto subview = *it;  // the tap may take it off the content
        if (auto hit = subview->hitTest(convertToSubview(*subview, point))) {
            const Touches touches{Touch{touch.locationInWindow, hit}};
            hit->touchesBegan(touches);
            hit->touchesEnded(touches);
            return;
        }
    }
    const Touches own{Touch{touch.locationInWindow, weak_from_this()}};
    Responder::touchesBegan(own);
    Responder::touchesEnded(own);
}

bool ScrollView::keyDown(const KeyPress& press) {
    const float page = std::max(kLineStep, frame().height() - kPageOverlap);
    const Point centre = bounds().center();
    bool handled = false;
    switch (press.key) {
        case Key::Up:
            handled = scrollBy(0, -kLineStep);
            break;
        case Key::Down:
            handled = scrollBy(0, kLineStep);
            break;
        case Key::Left:
            handled = scrollBy(-kLineStep, 0);
            break;
        case Key::Right:
            handled = scrollBy(kLineStep, 0);
            break;
        case Key::PageUp:
            handled = scrollBy(0, -page);
            break;
        case Key::PageDown:
            handled = scrollBy(0, page);
            break;
        case Key::Home:
            handled = scrollBy(0, -contentOffset_.y);
            break;
        case Key::End:
            handled = scrollBy(0, maximumContentOffset().y - contentOffset_.y);
            break;
        case Key::Plus:
            handled = zoomAbout(centre, zoomScale_ * kZoomStep);
            break;
        case Key::Minus:
            handled = zoomAbout(centre, zoomScale_ / kZoomStep);
            break;
        default:
            break;
    }
    return handled || Responder::keyDown(press);
}

// Like a desktop: turning the wheel towards you brings up what lies below.
bool ScrollView::scrollWheel(const WheelEvent& wheel) {
    const bool handled = wheel.ctrl ? zoomAbout(convertFromWindow(wheel.locationInWindow),
                                                zoomScale_ * std::pow(kZoomStep, wheel.dy))
                                    : scrollBy(wheel.dx * kLineStep, -wheel.dy * kLineStep);
    return handled || Responder::scrollWheel(wheel);
}

bool ScrollView::magnify(Point locationInWindow, float factor) {
    const bool handled =
        factor > 0.0f && zoomAbout(convertFromWindow(locationInWindow), zoomScale_ * factor);
    return handled || Responder::magnify(locationInWindow, factor);
}

Point ScrollView::convertToSubview(const View& subview, Point point) const {
    const Point origin = subview.frame().origin;
    const Point shifted{point.x + contentOffset_.x - origin.x,
                        point.y + contentOffset_.y - origin.y};
    if (zoomScale_ <= 0.0f || zoomingView().get() != &subview) return shifted;
    return {shifted.x / zoomScale_, shifted.y / zoomScale_};
}

Point ScrollView::convertFromSubview(const View& subview, Point point) const {
    const Point origin = subview.frame().origin;
    const float scale = zoomingView().get() == &subview ? zoomScale_ : 1.0f;
    return {origin.x + point.x * scale - contentOffset_.x,
            origin.y + point.y * scale - contentOffset_.y};
}

}  // namespace platform::ui
