#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "platform/ui/view.h"

namespace platform::ui {

// Event masks of control events.
enum ControlEvent : unsigned {
    ControlEventTouchDown = 1u << 0,
    ControlEventTouchUpInside = 1u << 6,  // 64
    ControlEventValueChanged = 1u << 12,  // 4096
};

// A view that turns touches into actions sent to targets. Targets are held weakly: an
// action whose target is gone is skipped.
class Control : public View {
  public:
    using View::View;

    // The invoker knows nothing of the target's type beyond what the caller wraps.
    using Invoker = std::function<void(Control* sender)>;
    void addTarget(std::weak_ptr<const void> target, Invoker invoker, unsigned events);

    template <class T>
    void addTarget(const std::shared_ptr<T>& target, void (T::*action)(Control*), unsigned events) {
        std::weak_ptr<T> weak = target;
        addTarget(
            weak,
            [weak, action](Control* sender) {
                if (auto t = weak.lock()) ((*t).*action)(sender);
            },
            events);
    }
    template <class T>
    void addTarget(const std::shared_ptr<T>& target, void (T::*action)(), unsigned events) {
        std::weak_ptr<T> weak = target;
        addTarget(
            weak,
            [weak, action](Control*) {
                if (auto t = weak.lock()) ((*t).*action)();
            },
            events);
    }
    void sendActionsForControlEvents(unsigned events);
    std::size_t targetCount() const { return targets_.size(); }

    bool isHighlighted() const { return highlighted_; }
    // Shaded while pressed with the finger on it; a change is drawn.
    void setHighlighted(bool highlighted);

    void touchesBegan(const Touches& touches) override;
    void touchesMoved(const Touches& touches) override;
    void touchesEnded(const Touches& touches) override;
    void touchesCancelled(const Touches& touches) override;

  protected:
    // Subclasses follow the finger (a slider moves its thumb).
    virtual void trackTouch(foundation::Point) {}
    bool touchIsInside(const Touch& touch) const;

  private:
    struct Target {
        std::weak_ptr<const void> target;
        Invoker invoker;
        unsigned events;
    };
    std::vector<Target> targets_;
    bool highlighted_ = false;
};

}  // namespace platform::ui
