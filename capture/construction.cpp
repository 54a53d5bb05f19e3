#include <sys/utsname.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

#include "capture/capture_mode.h"
#include "capture/orvex_view_controller.h"
#include "platform/foundation/bundle.h"
#include "platform/foundation/log.h"
#include "platform/ui/image_named.h"

namespace capture {

using platform::foundation::logDebug;
using platform::foundation::Rect;
using platform::ui::Button;
using platform::ui::ControlEventTouchUpInside;
using platform::ui::ControlEventValueChanged;
using platform::ui::imageNamed;

namespace {

struct SidebarButton {
    std::shared_ptr<Button> OrvexViewController::*field;
    Rect frame;
    int tag;
    const char* picture;
};

constexpr Rect kButtonColumn(float y) {
    return {-112, y, 102, 40};
}

// The first readable line of a file, without trailing NULs or spaces.
std::string firstLine(const char* path) {
    std::ifstream in(path, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    while (!text.empty() && (text.back() == '\0' || text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    return text.substr(0, text.find('\n'));
}

// The device model: the device tree's model on boards and phones, else the firmware's
// product name, else the machine architecture. ORVEX_DEVICE_MODEL overrides it.
std::string deviceModel() {
    if (const char* forced = std::getenv("ORVEX_DEVICE_MODEL")) return forced;
    for (const char* path : {"/proc/device-tree/model", "/sys/class/dmi/id/product_name"})
        if (auto model = firstLine(path); !model.empty()) return model;
    utsname names{};
    if (uname(&names) == 0) return names.machine;
    return {};
}

}  // namespace

std::string OrvexViewController::getSysInfoByName(const char* name) {
    if (name && std::string_view(name) == "hw.machine") return deviceModel();
    return {};
}

std::shared_ptr<OrvexViewController> OrvexViewController::self() {
    return std::static_pointer_cast<OrvexViewController>(shared_from_this());
}

std::weak_ptr<OrvexViewController> OrvexViewController::weakSelf() {
    return self();
}

bool OrvexViewController::setOutlet(std::string_view name,
                                    const platform::ui::InterfaceObject& value) {
    if (name == "imageView") {
        auto picture = std::dynamic_pointer_cast<platform::ui::ImageView>(value.view);
        if (!picture) return false;
        setImageView(picture);
        return true;
    }
    if (name == "timeRemain") {
        auto label = std::dynamic_pointer_cast<platform::ui::Label>(value.view);
        if (!label) return false;
        setTimeRemain(label);
        return true;
    }
    return false;
}

int OrvexViewController::selectedTag() const {
    auto item = tabBar ? tabBar->selectedItem() : nullptr;
    return item ? item->tag() : 0;
}

void OrvexViewController::viewDidLoad() {
    ViewController::viewDidLoad();
    tabBar = std::make_shared<platform::ui::TabBar>(Rect{0, 425, 320, 55});
    main = std::make_shared<platform::ui::View>(Rect{0, 0, 320, 480});
    bSlider = std::make_shared<platform::ui::Slider>(Rect{15, 350, 298, 33});
    bSlider->addTarget(self(), &OrvexViewController::sliderAction, ControlEventValueChanged);
    back = std::make_shared<platform::ui::ImageView>(imageNamed("slider2.png"));
    back->setFrame({15, 350, 298, 33});
    bSlider->setMinimumValue(1.0f);
    bSlider->setMaximumValue(8.0f);
    bSlider->setValue(1.0f);
    bSlider->setBackgroundColor(platform::ui::Color::clear());
    bSlider->setMinimumTrackImage(imageNamed("empty.png"));
    bSlider->setMaximumTrackImage(imageNamed("empty.png"));
    bSlider->setThumbImage(imageNamed("slider1.png"));
    value = 1.0f;
    www = Button::buttonWithType(Button::Type::Custom);
    www->setUserInteractionEnabled(true);

    auto item = [](const char* title, const char* picture, int tag) {
        return std::make_shared<platform::ui::TabBarItem>(
            platform::foundation::Bundle::main().localizedStringForKey(title), imageNamed(picture),
            tag);
    };
    tabBar->setItems({
        item("Quick Shot", "quickshot.png", QuickShot),
        item("Zoom", "zoom.png", Zoom),
        item("Timer", "timer.png", Timer),
        item("Timer Loop", "time_lapse.png", TimerLoop),
        item("Library", "gallery.png", Library),
    });
    tabBar->setSelectedItem(tabBar->items()[0]);
    tabBar->setDelegate(std::static_pointer_cast<platform::ui::TabBarDelegate>(self()));

    buildSidebarButtons();
    back->setHidden(true);
    bSlider->setHidden(true);
    buildFlashButton();

    for (const auto& view : std::initializer_list<std::shared_ptr<platform::ui::View>>{
             back, bSlider, sidebar, www, side, timer1, timer2, timer3, timer4, timer5,
             countdownHint, camera3Mpx, camera5Mpx, camera7Mpx, tabBar})
        main->addSubview(view);

    preview = preview::Preview::fromInterfaceResource("Preview");
    std::weak_ptr<OrvexViewController> weak = weakSelf();
    platform::foundation::NotificationCenter::defaultCenter().addObserver(
        this, "Done", preview.get(), [weak](const platform::foundation::Notification&) {
            if (auto self = weak.lock()) self->push();
        });
    scheduleGetPhoto(0.1);
    state = 1;

    using platform::media::CameraPickerService;
    using platform::media::SourceType;
    picker = std::make_shared<CameraPickerService>();
    picker->setDelegate(std::static_pointer_cast<platform::media::ImagePickerDelegate>(self()));
    picker->setSourceType(SourceType::Camera);
    picker->setShowsCameraControls(false);
    setPickerP(std::make_shared<CameraPickerService>());
    pickerP->setDelegate(std::static_pointer_cast<platform::media::ImagePickerDelegate>(self()));
    pickerP->setSourceType(SourceType::PhotoLibrary);
    pickerP->setNavigationBarHidden(false);

    if (imageView) imageView->removeFromSuperview();
    if (timeRemain) timeRemain->removeFromSuperview();
    sidebar->setUserInteractionEnabled(false);
    preview->setParent(self());
    loadSounds();

    arrangeForQuickShot();
}

void OrvexViewController::buildSidebarButtons() {
    for (auto field :
         {&OrvexViewController::camera3Mpx, &OrvexViewController::camera5Mpx,
          &OrvexViewController::camera7Mpx, &OrvexViewController::timer1,
          &OrvexViewController::timer2, &OrvexViewController::timer3, &OrvexViewController::timer4,
          &OrvexViewController::timer5, &OrvexViewController::side})
        this->*field = Button::buttonWithType(Button::Type::Custom);
    side->setImage(imageNamed("b_open.png"));
    side->addTarget(self(), &OrvexViewController::mode, ControlEventTouchUpInside);

    sidebar = std::make_shared<platform::ui::ImageView>(imageNamed("sidebar.png"));
    const auto panel = sidebar->frame().size;
    side->setFrame({-34, 126, 90, 185});
    sidebar->setFrame({-131, 40, panel.width, panel.height});
    www->setFrame({-131, 40, panel.width, panel.height});

    using C = OrvexViewController;
    const SidebarButton timers[] = {
        {&C::timer1, kButtonColumn(180), 1, "3s_.png"},
        {&C::timer2, kButtonColumn(222), 2, "5s.png"},
        {&C::timer3, kButtonColumn(264), 3, "10s.png"},
        {&C::timer4, kButtonColumn(306), 4, "15s.png"},
        {&C::timer5, kButtonColumn(348), 5, "30s.png"},
    };
    const SidebarButton presets[] = {
        {&C::camera3Mpx, kButtonColumn(50), 1, "std_.png"},
        {&C::camera5Mpx, kButtonColumn(92), 2, "5.png"},
        {&C::camera7Mpx, kButtonColumn(134), 3, "8.png"},
    };
    for (const auto& b : timers) (this->*b.field)->setTag(b.tag);
    for (const auto& b : presets) (this->*b.field)->setTag(b.tag);
    for (const auto& b : timers)
        (this->*b.field)->addTarget(self(), &C::setTimer, ControlEventTouchUpInside);
    camera3Mpx->addTarget(self(), &C::camera3, ControlEventTouchUpInside);
    camera5Mpx->addTarget(self(), &C::camera5, ControlEventTouchUpInside);
    camera7Mpx->addTarget(self(), &C::camera7, ControlEventTouchUpInside);
    for (const auto& b : timers) (this->*b.field)->setBackgroundImage(imageNamed(b.picture));
    for (const auto& b : presets) (this->*b.field)->setBackgroundImage(imageNamed(b.picture));
    for (const auto& b : timers) (this->*b.field)->setFrame(b.frame);
    for (const auto& b : presets) (this->*b.field)->setFrame(b.frame);

    countdownHint = std::make_shared<platform::ui::Label>(Rect{-112, 200, 102, 110});
    countdownHint->setText(platform::foundation::Bundle::main().localizedStringForKey(
        "Countdowns\nare set in\nTimer and\nTimer Loop"));
    countdownHint->setFontSize(12.0f);
    countdownHint->setTextAlignment(platform::ui::TextAlignment::Center);
    countdownHint->setTextColor({1.0f, 1.0f, 1.0f, 0.55f});
}

void OrvexViewController::buildFlashButton() {
    auto flashButton = Button::buttonWithType(Button::Type::Custom);
    flashButton->setBackgroundImage(imageNamed("button.png"));
    flashButton->addTarget(self(), &OrvexViewController::flash, ControlEventTouchUpInside);
    flashButton->setImage(imageNamed("flash.png"));
    flashButton->setFrame({240, 15, 68, 40});
    flashButton->setTitle(std::nullopt);

    // The flash button shows for device models that sort, byte by byte, up to "iPhone3,1"
    // ("iPhone2,1" does, "iPhone4,1" and a PC's "x86_64" do not). The second comparison,
    // against "iPhone3.1" with a full stop, is meant as it stands: it decides nothing and
    // only feeds the log line that says on which side of the reference a device fell.
    const std::string reference = "iPhone3,1";
    if (getSysInfoByName("hw.machine").compare(reference) <= 0) main->addSubview(flashButton);
    const int order = getSysInfoByName("hw.machine").compare("iPhone3.1");
    logDebug("!!!%i %@", order < 0 ? -1 : (order > 0 ? 1 : 0), getSysInfoByName("hw.machine"));
}

std::shared_ptr<platform::media::SoundPlayer> OrvexViewController::makePlayer(const char* name) {
    auto path = platform::foundation::Bundle::main().pathForResource(name, "wav");
    return platform::media::SoundPlayer::withContentsOfFile(
        path.value_or(std::string(name) + ".wav"));
}

void OrvexViewController::loadSounds() {
    setPlayer(makePlayer("click"));
    setBeep(makePlayer("beep"));
    setSlide(makePlayer("slide"));
    for (const auto& p : {player, beep, slide}) {
        p->prepareToPlay();
        p->setVolume(1.0f);
    }
}

OrvexViewController::~OrvexViewController() {
    if (timer) {
        timer->invalidate();
        timer = nullptr;
    }
    activityIndicator = nullptr;
    platform::foundation::NotificationCenter::defaultCenter().removeObserver(this);
}

void OrvexViewController::didReceiveMemoryWarning() {
    ViewController::didReceiveMemoryWarning();
    logDebug("Memory warning!");
}

bool OrvexViewController::shouldAutorotateToInterfaceOrientation(int orientation) {
    return orientation == 1;
}

}  // namespace capture
