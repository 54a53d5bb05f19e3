#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/foundation/log.h"
#include "platform/media/live_picture_view.h"
#include "platform/ui/button.h"
#include "platform/ui/slider.h"
#include "platform/ui/tab_bar.h"
#include "platform/ui/view_controller.h"
#include "platform/ui/window.h"

// A small camera screen whose controls say in the log what reached them: a live picture
// whose controller logs "TOUCH!", a flash button and a five-item tab bar; and a zoom slider.
namespace window_fixture {

using platform::foundation::log;
using platform::foundation::Rect;

class LiveController : public platform::ui::ViewController {
  public:
    void loadView() override {
        setView(std::make_shared<platform::media::LivePictureView>(Rect{0, 0, 320, 480}));
    }
    void touchesBegan(const platform::ui::Touches&) override { log("TOUCH!"); }
};

class TabLogger : public platform::ui::TabBarDelegate {
  public:
    void tabBarDidSelectItem(platform::ui::TabBar&, platform::ui::TabBarItem& item) override {
        log("selected: %i", item.tag());
    }
};

struct ProbeScreen {
    std::shared_ptr<platform::ui::Window> window = std::make_shared<platform::ui::Window>();
    std::shared_ptr<LiveController> controller = std::make_shared<LiveController>();
    std::shared_ptr<TabLogger> tabLogger = std::make_shared<TabLogger>();
    std::shared_ptr<platform::ui::View> overlay =
        std::make_shared<platform::ui::View>(Rect{0, 0, 320, 480});
    std::shared_ptr<platform::ui::Button> flash = platform::ui::Button::buttonWithType();
    std::shared_ptr<platform::ui::Slider> slider =
        std::make_shared<platform::ui::Slider>(Rect{15, 350, 298, 33});
    std::shared_ptr<platform::ui::TabBar> tabBar =
        std::make_shared<platform::ui::TabBar>(Rect{0, 425, 320, 55});
    // Holds the actions' target alive.
    std::shared_ptr<int> target = std::make_shared<int>(0);

    ProbeScreen() {
        flash->setFrame({240, 15, 68, 40});
        flash->addTarget(
            target, [](platform::ui::Control*) { log("flash pressed"); },
            platform::ui::ControlEventTouchUpInside);
        slider->setMinimumValue(1.0f);
        slider->setMaximumValue(8.0f);
        slider->setValue(1.0f);
        std::vector<std::shared_ptr<platform::ui::TabBarItem>> items;
        for (const char* title : {"Quick Shot", "Zoom", "Timer", "Timer Loop", "Library"})
            items.push_back(std::make_shared<platform::ui::TabBarItem>(
                title, nullptr, static_cast<int>(items.size()) + 1));
        tabBar->setItems(items);
        tabBar->setDelegate(tabLogger);
        overlay->addSubview(flash);
        overlay->addSubview(slider);
        overlay->addSubview(tabBar);
        auto live = controller->view();
        live->addSubview(overlay);
        window->addSubview(live);
        window->makeKeyAndVisible();
    }

    platform::media::LivePictureView& live() {
        return static_cast<platform::media::LivePictureView&>(*controller->view());
    }
};

}  // namespace window_fixture
