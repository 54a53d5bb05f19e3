#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "imaging/resolution_preset.h"
#include "platform/foundation/notification_center.h"
#include "platform/foundation/run_loop.h"
#include "platform/foundation/work_queue.h"
#include "platform/graphics/image.h"
#include "platform/media/camera_picker_service.h"
#include "platform/media/sound_player.h"
#include "platform/ui/activity_indicator.h"
#include "platform/ui/button.h"
#include "platform/ui/image_view.h"
#include "platform/ui/interface_loader.h"
#include "platform/ui/label.h"
#include "platform/ui/slider.h"
#include "platform/ui/tab_bar.h"
#include "platform/ui/view_controller.h"
#include "preview/preview.h"

namespace capture {

// The capture screen: the live camera picture with the overlay of every control on top.
// Its fields are the screen's shared state; the handlers below are the targets of the
// controls, timers, pickers and the album.
class OrvexViewController : public platform::ui::ViewController,
                            public platform::ui::TabBarDelegate,
                            public platform::media::ImagePickerDelegate,
                            public platform::ui::InterfaceConnectable {
  public:
    OrvexViewController() = default;
    ~OrvexViewController() override;

    // Construction and life cycle.
    void viewDidLoad() override;
    void viewDidUnload() override {}
    void viewDidAppear(bool) override {}
    void didReceiveMemoryWarning() override;
    bool shouldAutorotateToInterfaceOrientation(int orientation) override;

    // Tab-bar modes.
    void tabBarDidSelectItem(platform::ui::TabBar& tabBar, platform::ui::TabBarItem& item) override;
    void imagePickerControllerDidCancel(platform::media::CameraPickerService& picker) override;
    void present();
    void hid();

    // Sidebar and option buttons.
    void mode();
    void setTimer(platform::ui::Control* sender);
    void camera3();
    void camera5();
    void camera7();
    void flash(platform::ui::Control* sender);
    static std::string getSysInfoByName(const char* name);

    // Zoom slider.
    void sliderAction(platform::ui::Control* sender);
    void zoomReset();

    // Touch trigger and countdown.
    void touchesBegan(const platform::ui::Touches& touches) override;
    void time();
    static std::string countdownText(std::int32_t seconds);

    // Shutter cycle.
    void getPhoto();
    void addActivityIndicator();
    void removeActivityIndicator();
    void imagePickerControllerDidFinishPickingMediaWithInfo(
        platform::media::CameraPickerService& picker,
        const platform::media::MediaInfo& info) override;
    void imageDidFinishSavingWithError(const platform::graphics::ImagePtr& image,
                                       const std::optional<std::string>& error);

    // Pictures.
    platform::graphics::ImagePtr scaleAndRotateImage(const platform::graphics::ImagePtr& image);
    void cropImage(const platform::graphics::ImagePtr& image);
    platform::graphics::ImagePtr imageByScalingAndCroppingForSize(
        platform::foundation::Size targetSize, const platform::graphics::ImagePtr& image);

    // Library import.
    void pickFromLibrary(platform::media::CameraPickerService& picker,
                         const platform::media::MediaInfo& info);
    void push();
    void sendImage();

    // Properties.
    const std::shared_ptr<platform::media::SoundPlayer>& getPlayer() const { return player; }
    void setPlayer(std::shared_ptr<platform::media::SoundPlayer> p) { player = std::move(p); }
    const std::shared_ptr<platform::media::SoundPlayer>& getBeep() const { return beep; }
    void setBeep(std::shared_ptr<platform::media::SoundPlayer> p) { beep = std::move(p); }
    const std::shared_ptr<platform::media::SoundPlayer>& getSlide() const { return slide; }
    void setSlide(std::shared_ptr<platform::media::SoundPlayer> p) { slide = std::move(p); }
    const std::shared_ptr<platform::media::CameraPickerService>& getPickerP() const {
        return pickerP;
    }
    void setPickerP(std::shared_ptr<platform::media::CameraPickerService> p) {
        pickerP = std::move(p);
    }
    const std::shared_ptr<platform::ui::ImageView>& getImageView() const { return imageView; }
    void setImageView(std::shared_ptr<platform::ui::ImageView> v) { imageView = std::move(v); }
    const std::shared_ptr<platform::ui::Label>& getTimeRemain() const { return timeRemain; }
    void setTimeRemain(std::shared_ptr<platform::ui::Label> l) { timeRemain = std::move(l); }

    // Outlets of the interface resource the screen's first view comes from.
    bool setOutlet(std::string_view name, const platform::ui::InterfaceObject& value) override;
    std::function<void(platform::ui::Control*)> actionNamed(std::string_view) override {
        return {};
    }

    // Album saves reported back so far.
    int savesReported() const { return savesReported_; }

    // Closed or open, told everywhere by the centre x of `side` against this.
    static constexpr float kSidebarOpenTest = 50.0f;
    bool sidebarIsOpen() const { return side && side->center().x > kSidebarOpenTest; }

    // The mode: the tag of the tab bar's selected item, read afresh at every use.
    int selectedTag() const;

    // Controls on the overlay.
    std::shared_ptr<platform::ui::View> main;
    std::shared_ptr<platform::ui::TabBar> tabBar;
    std::shared_ptr<platform::ui::Slider> bSlider;
    std::shared_ptr<platform::ui::ImageView> back;
    std::shared_ptr<platform::ui::ImageView> sidebar;
    std::shared_ptr<platform::ui::Button> www;
    std::shared_ptr<platform::ui::Button> side;
    std::shared_ptr<platform::ui::Button> camera3Mpx;
    std::shared_ptr<platform::ui::Button> camera5Mpx;
    std::shared_ptr<platform::ui::Button> camera7Mpx;
    std::shared_ptr<platform::ui::Button> timer1;
    std::shared_ptr<platform::ui::Button> timer2;
    std::shared_ptr<platform::ui::Button> timer3;
    std::shared_ptr<platform::ui::Button> timer4;
    std::shared_ptr<platform::ui::Button> timer5;
    // In the countdown lengths' place where a mode has none: where to find them.
    std::shared_ptr<platform::ui::Label> countdownHint;
    std::shared_ptr<platform::ui::Label> timeRemain;
    std::shared_ptr<platform::ui::ImageView> imageView;
    std::shared_ptr<platform::ui::ActivityIndicator> activityIndicator;

    // Pickers, screens and sounds.
    std::shared_ptr<platform::media::CameraPickerService> picker;
    std::shared_ptr<platform::media::CameraPickerService> pickerP;
    std::shared_ptr<preview::Preview> preview;
    std::shared_ptr<platform::media::SoundPlayer> player;
    std::shared_ptr<platform::media::SoundPlayer> beep;
    std::shared_ptr<platform::media::SoundPlayer> slide;

    // Values.
    float value = 0.0f;
    std::int32_t state = 0;
    std::int8_t s = 0;
    std::shared_ptr<platform::foundation::Timer> timer;
    std::int32_t aTimer = 0;
    std::int32_t nTimer = 0;
    std::int32_t loop = 0;
    platform::graphics::ImagePtr _image;

  private:
    platform::foundation::WorkQueue& shotQueue();

    std::unique_ptr<platform::foundation::WorkQueue> shotQueue_;
    int savesReported_ = 0;
    // The delayed hide of the sidebar after a Zoom selection, until it runs.
    std::shared_ptr<platform::foundation::Timer> pendingHide_;

    std::shared_ptr<OrvexViewController> self();
    std::weak_ptr<OrvexViewController> weakSelf();
    void installLiveView();
    void arrangeForQuickShot();
    void scheduleGetPhoto(double delay);
    void buildSidebarButtons();
    void buildFlashButton();
    void loadSounds();
    std::shared_ptr<platform::media::SoundPlayer> makePlayer(const char* name);
    void slideSidebarGroup(float dx);
    void setTimerPictures(bool loopSet, int chosenTag);
    void showCountdownLengths(bool shown);
    void setCountdownLength(bool loopSet);
    void takeCountdownDisplayOff();
    void putCountdownDisplayOn();
    void choosePreset(std::int32_t preset);
    void showPresetPictures();
};

}  // namespace capture
