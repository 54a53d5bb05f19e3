#pragma once

#include <memory>

#include "platform/ui/view.h"

namespace platform::ui {

// The screen's root view. Touches, keys, typed text, wheel turns and pinches from the
// window back end or the headless driver enter here and go to the view under the finger or
// pointer, exactly as hit-testing finds it (keys and text: to the first responder), and
// then along its responder chain.
class Window : public View {
  public:
    explicit Window(foundation::Rect frame = {0, 0, 320, 480});
    ~Window() override;

    static Window* keyWindow();
    void makeKeyAndVisible();
    bool isKeyWindow() const { return keyWindow() == this; }
    bool isVisible() const { return visible_; }

    void touchDown(foundation::Point point);
    void touchMoved(foundation::Point point);
    void touchUp(foundation::Point point);
    // The touch turned out to be something else (a second finger made it a pinch).
    void touchCancelled(foundation::Point point);
    // A finger touching and lifting at one point.
    void tap(foundation::Point point);
    bool isTouchDown() const { return touchDown_; }
    // The view that the current touch went to, if a touch is down.
    std::shared_ptr<View> touchedView() const { return touched_.lock(); }

    // To the first responder if one is set, else to the topmost shown view that accepts
    // keys; true if someone along the chain took it. The window ends every chain: an event
    // that comes back up to it stops there.
    bool keyDown(const KeyPress& key) override;
    bool insertText(std::string_view utf8) override;
    bool scrollWheel(const WheelEvent& wheel) override;
    bool magnify(foundation::Point locationInWindow, float factor) override;
    void setFirstResponder(std::weak_ptr<Responder> responder);
    // A view that has left the window is first responder no more.
    std::shared_ptr<Responder> firstResponder() const;
    // Whether typed text has somewhere to go: the first responder accepts text input.
    bool isEditingText() const;

  private:
    Touches touchesAt(foundation::Point point, const std::shared_ptr<View>& view) const;
    template <class Deliver>
    bool dispatch(std::shared_ptr<Responder> target, Deliver deliver);

    bool visible_ = false;
    bool touchDown_ = false;
    bool dispatching_ = false;
    std::weak_ptr<View> touched_;
    std::weak_ptr<Responder> firstResponder_;
};

}  // namespace platform::ui
