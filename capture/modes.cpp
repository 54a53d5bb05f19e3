#include "capture/capture_mode.h"
#include "capture/orvex_view_controller.h"
#include "platform/foundation/log.h"
#include "platform/ui/image_named.h"

namespace capture {

using platform::foundation::logDebug;

namespace {
constexpr double kHideDelay = 0.5;
}  // namespace

void OrvexViewController::installLiveView() {
    setView(picker->view());
    view()->addSubview(main);
}

// What Quick Shot shows, as the screen is built and whenever the mode is entered.
void OrvexViewController::arrangeForQuickShot() {
    sidebar->setHidden(false);
    side->setHidden(false);
    bSlider->setHidden(true);
    back->setHidden(true);
    showCountdownLengths(false);
    main->setHidden(false);
    zoomReset();
}

void OrvexViewController::tabBarDidSelectItem(platform::ui::TabBar&, platform::ui::TabBarItem&) {
    // A hide still pending from an earlier Zoom selection must not hide the sidebar that
    // this mode shows.
    if (pendingHide_) {
        pendingHide_->invalidate();
        pendingHide_ = nullptr;
    }
    main->setFrame({0, 0, 320, 480});
    const auto bar = tabBar->frame();
    tabBar->setFrame({0, 425, bar.width(), bar.height()});
    player->play();
    view()->addSubview(main);
    logDebug("selected: %i", selectedTag());

    if (selectedTag() == QuickShot) {
        installLiveView();
        arrangeForQuickShot();
    }
    if (selectedTag() == Zoom) {
        if (sidebarIsOpen()) {
            tabBar->setSelectedItem(tabBar->items()[0]);
            mode();
            std::weak_ptr<OrvexViewController> weak = weakSelf();
            pendingHide_ = platform::foundation::RunLoop::main().scheduleTimer(
                kHideDelay, false, [weak](platform::foundation::Timer&) {
                    if (auto self = weak.lock()) {
                        self->pendingHide_ = nullptr;
                        self->hid();
                    }
                });
            tabBar->setSelectedItem(tabBar->items()[1]);
        } else {
            sidebar->setHidden(true);
            side->setHidden(true);
        }
        installLiveView();
        bSlider->setHidden(false);
        back->setHidden(false);
        state = 0;
        showPresetPictures();
    }
    if (selectedTag() == Timer) {
        installLiveView();
        state = 1;
        showPresetPictures();
        sidebar->setHidden(false);
        side->setHidden(false);
        main->setHidden(false);
        bSlider->setHidden(true);
        back->setHidden(true);
        zoomReset();
        setTimerPictures(false, 1);
        showCountdownLengths(true);
        aTimer = 1;
    }
    if (selectedTag() == TimerLoop) {
        installLiveView();
        main->setHidden(false);
        sidebar->setHidden(false);
        side->setHidden(false);
        state = 1;
        showPresetPictures();
        bSlider->setHidden(true);
        back->setHidden(true);
        zoomReset();
        aTimer = 1;
        setTimerPictures(true, 1);
        showCountdownLengths(true);
    }
    if (selectedTag() == Library) {
        installLiveView();
        sidebar->setHidden(false);
        side->setHidden(false);
        main->setHidden(false);
        present();
        state = 1;
        showPresetPictures();
        bSlider->setHidden(true);
        back->setHidden(true);
        zoomReset();
    }
}

void OrvexViewController::imagePickerControllerDidCancel(
    platform::media::CameraPickerService& cancelled) {
    cancelled.dismissModalViewControllerAnimated(true);
    tabBar->setSelectedItem(tabBar->items()[0]);
    tabBarDidSelectItem(*tabBar, *tabBar->items()[0]);
}

void OrvexViewController::present() {
    presentModalViewController(pickerP, true);
}

void OrvexViewController::hid() {
    sidebar->setHidden(true);
    side->setHidden(true);
}

}  // namespace capture
