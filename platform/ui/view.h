#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "platform/foundation/geometry.h"
#include "platform/ui/color.h"
#include "platform/ui/responder.h"

namespace platform::graphics {
class DrawingContext;
}

namespace platform::ui {

class ViewController;
class Window;

// A rectangle of the screen with ordered subviews. The frame is float, in the
// superview's coordinates, and exactly what was set. A view holds its subviews strongly
// and its superview weakly.
class View : public Responder, public std::enable_shared_from_this<View> {
  public:
    explicit View(foundation::Rect frame = {});
    ~View() override;
    View(const View&) = delete;
    View& operator=(const View&) = delete;

    foundation::Rect frame() const { return frame_; }
    void setFrame(foundation::Rect frame);
    foundation::Point center() const { return frame_.center(); }
    void setCenter(foundation::Point center);
    foundation::Rect bounds() const { return {0, 0, frame_.width(), frame_.height()}; }

    bool isHidden() const { return hidden_; }
    void setHidden(bool hidden);
    bool isUserInteractionEnabled() const { return userInteractionEnabled_; }
    // Controls that take no touches are drawn dimmed, so a change is redrawn.
    void setUserInteractionEnabled(bool enabled);
    Color backgroundColor() const { return backgroundColor_; }
    void setBackgroundColor(Color color);
    bool clipsToBounds() const { return clipsToBounds_; }
    void setClipsToBounds(bool clips);
    int tag() const { return tag_; }
    void setTag(int tag) { tag_ = tag; }

    const std::vector<std::shared_ptr<View>>& subviews() const { return subviews_; }
    std::shared_ptr<View> superview() const { return superview_.lock(); }
    // Adds on top of the other subviews; a view that is already a subview moves on top.
    void addSubview(const std::shared_ptr<View>& view);
    void removeFromSuperview();
    // Puts `replacement` where `existing` lies among the subviews, and takes `existing` off.
    void replaceSubview(const std::shared_ptr<View>& existing,
                        const std::shared_ptr<View>& replacement);
    bool isDescendantOf(const View& ancestor) const;
    // The window at the root of this view's tree, if any.
    Window* window() const;

    // The deepest visible, interactive view under the point (in this view's coordinates).
    virtual std::shared_ptr<View> hitTest(foundation::Point point);
    virtual bool pointInside(foundation::Point point) const { return bounds().contains(point); }
    // Between window points and this view's own, through every superview's placement of
    // its subviews (a scroll view's offset and zoom included).
    foundation::Point convertFromWindow(foundation::Point point) const;
    foundation::Point convertToWindow(foundation::Point point) const;
    foundation::Point originInWindow() const;
    // Whether the window offers keys to this view when no first responder is set.
    virtual bool acceptsKeys() const { return false; }

    Responder* nextResponder() const override;
    void setViewController(ViewController* controller) { viewController_ = controller; }
    ViewController* viewController() const { return viewController_; }

    // Drawing: what the view itself shows, in its own coordinates, before its subviews.
    virtual void draw(graphics::DrawingContext&) const {}
    // True while what the view draws of itself changes with time alone (a turning spinner,
    // a fading flash), so that the screen is composed again until it stops.
    virtual bool changesWithTime(double /*now*/) const { return false; }
    // Something this view shows changed: the window composes a new frame.
    void setNeedsDisplay();
    // Grows with every change of anything drawn; the screen redraws when it moved.
    static std::uint64_t displayGeneration();
    // True while a change of this view's frame is still being drawn moving.
    bool isAnimating(double now) const;
    // The frame as drawn at time `now` (between the old and new frame while animating).
    foundation::Rect presentationFrame(double now) const;

    // View animation blocks: frame and centre changes made between begin and commit are
    // drawn moving over the duration, ease-in-ease-out; the model takes the end value at
    // once.
    static void beginAnimations();
    static void setAnimationDuration(double seconds);
    static void commitAnimations();

  protected:
    virtual void didMoveToWindow() {}
    // Where a subview's point lies in this view, and back; drawing places subviews the same.
    virtual foundation::Point convertFromSubview(const View& subview,
                                                 foundation::Point point) const;
    virtual foundation::Point convertToSubview(const View& subview, foundation::Point point) const;

  private:
    struct Animation {
        foundation::Rect from;
        double start = 0.0;
        double duration = 0.0;
    };
    void frameWillChange();

    foundation::Rect frame_;
    bool hidden_ = false;
    bool userInteractionEnabled_ = true;
    bool clipsToBounds_ = false;
    Color backgroundColor_ = Color::clear();
    int tag_ = 0;
    std::vector<std::shared_ptr<View>> subviews_;
    std::weak_ptr<View> superview_;
    ViewController* viewController_ = nullptr;
    std::optional<Animation> animation_;
};

}  // namespace platform::ui
