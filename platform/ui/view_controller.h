#pragma once

#include <memory>
#include <string>

#include "platform/ui/navigation_bar.h"
#include "platform/ui/responder.h"
#include "platform/ui/view.h"

namespace platform::ui {

class NavigationController;

// The screen in points: where a controller's view is shown.
inline constexpr foundation::Rect kScreenFrame{0, 0, 320, 480};

// Owns one screen's view, loaded on first access (viewDidLoad runs then), and presents
// other controllers modally over itself.
class ViewController : public Responder, public std::enable_shared_from_this<ViewController> {
  public:
    ViewController() = default;
    ~ViewController() override;
    ViewController(const ViewController&) = delete;
    ViewController& operator=(const ViewController&) = delete;

    std::shared_ptr<View> view();
    bool isViewLoaded() const { return viewDidLoad_; }
    void setView(std::shared_ptr<View> view);

    virtual void loadView();
    virtual void viewDidLoad() {}
    virtual void viewDidUnload() {}
    virtual void viewDidAppear(bool /*animated*/) {}
    virtual void viewDidDisappear(bool /*animated*/) {}
    virtual void didReceiveMemoryWarning() {}
    virtual bool shouldAutorotateToInterfaceOrientation(int orientation) {
        return orientation == 1;
    }

    // Shows the controller's view over the whole screen, sliding up when animated.
    void presentModalViewController(std::shared_ptr<ViewController> controller, bool animated);
    // Ends the presentation this controller made, or else the one that shows it.
    void dismissModalViewControllerAnimated(bool animated);
    std::shared_ptr<ViewController> modalViewController() const { return modal_; }
    std::shared_ptr<ViewController> presentingViewController() const { return presenting_.lock(); }

    NavigationItem& navigationItem() { return navigationItem_; }
    NavigationController* navigationController() const { return navigationController_; }
    void setNavigationController(NavigationController* controller) {
        navigationController_ = controller;
    }

  private:
    void dismissPresented(bool animated);

    std::shared_ptr<View> view_;
    bool viewDidLoad_ = false;
    std::shared_ptr<ViewController> modal_;
    std::weak_ptr<ViewController> presenting_;
    NavigationItem navigationItem_;
    NavigationController* navigationController_ = nullptr;
};

}  // namespace platform::ui
