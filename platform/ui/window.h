#pragma once

#include <memory>

#include "platform/ui/view.h"

namespace platform::ui {

// The screen's root view. Touches from the window back end or the headless driver enter
// here and go to the view under the finger, exactly as hit-testing finds it.
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
    // A finger touching and lifting at one point.
    void tap(foundation::Point point);
    // The view that the current touch went to, if a touch is down.
    std::shared_ptr<View> touchedView() const { return touched_.lock(); }

  private:
    Touches touchesAt(foundation::Point point, const std::shared_ptr<View>& view) const;

    bool visible_ = false;
    std::weak_ptr<View> touched_;
};

}  // namespace platform::ui
