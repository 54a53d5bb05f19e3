#include "capture_fixture.h"
#include "platform/ui/image_named.h"

namespace capture::testing {
namespace {

using platform::foundation::Rect;

TEST_F(CaptureScreenTest, FieldsAfterConstructionBeforeTheStartUpTimer) {
    auto& c = screen();
    EXPECT_EQ(c.value, 1.0f);
    EXPECT_EQ(c.state, 1);
    EXPECT_EQ(c.s, 0);
    EXPECT_EQ(c.aTimer, 0);
    EXPECT_EQ(c.nTimer, 0);
    EXPECT_EQ(c.loop, 0);
    EXPECT_EQ(c.timer, nullptr);
    EXPECT_EQ(c.activityIndicator, nullptr);
    EXPECT_EQ(c.selectedTag(), 1);
    EXPECT_EQ(c.tabBar->selectedItem(), c.tabBar->items()[0]);
    EXPECT_EQ(c.bSlider->value(), 1.0f);
    EXPECT_EQ(c.bSlider->minimumValue(), 1.0f);
    EXPECT_EQ(c.bSlider->maximumValue(), 8.0f);
    // The overlay lies on no view yet, and the countdown display is off it.
    EXPECT_EQ(c.main->superview(), nullptr);
    ASSERT_NE(c.timeRemain, nullptr);
    ASSERT_NE(c.imageView, nullptr);
    EXPECT_EQ(c.timeRemain->superview(), nullptr);
    EXPECT_EQ(c.imageView->superview(), nullptr);
    EXPECT_FALSE(c.sidebar->isUserInteractionEnabled());
    EXPECT_EQ(c.side->image(), platform::ui::imageNamed("b_open.png"));
}

TEST_F(CaptureScreenTest, OverlayFramesTagsVisibilityAndOrder) {
    auto& c = screen();
    const auto panel = c.sidebar->frame().size;
    ASSERT_GT(panel.width, 0.0f);
    struct Expected {
        std::shared_ptr<platform::ui::View> view;
        Rect frame;
        bool hidden;
        int tag;
    };
    const Expected layers[] = {
        {c.back, {15, 350, 298, 33}, true, 0},
        {c.bSlider, {15, 350, 298, 33}, true, 0},
        {c.sidebar, {-131, 40, panel.width, panel.height}, false, 0},
        {c.www, {-131, 40, panel.width, panel.height}, false, 0},
        {c.side, {-34, 126, 90, 185}, false, 0},
        {c.timer1, {-112, 180, 102, 40}, true, 1},
        {c.timer2, {-112, 222, 102, 40}, true, 2},
        {c.timer3, {-112, 264, 102, 40}, true, 3},
        {c.timer4, {-112, 306, 102, 40}, true, 4},
        {c.timer5, {-112, 348, 102, 40}, true, 5},
        {c.countdownHint, {-112, 200, 102, 110}, false, 0},
        {c.camera3Mpx, {-112, 50, 102, 40}, false, 1},
        {c.camera5Mpx, {-112, 92, 102, 40}, false, 2},
        {c.camera7Mpx, {-112, 134, 102, 40}, false, 3},
        {c.tabBar, {0, 425, 320, 55}, false, 0},
    };
    const auto& subviews = c.main->subviews();
    ASSERT_EQ(subviews.size(), std::size(layers) + 1);  // + the flash button, at the bottom
    for (std::size_t i = 0; i < std::size(layers); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(subviews[i + 1], layers[i].view);
        EXPECT_EQ(layers[i].view->frame(), layers[i].frame);
        EXPECT_EQ(layers[i].view->isHidden(), layers[i].hidden);
        EXPECT_EQ(layers[i].view->tag(), layers[i].tag);
    }
    EXPECT_EQ(c.main->frame(), (Rect{0, 0, 320, 480}));
    EXPECT_EQ(subviews[0]->frame(), (Rect{240, 15, 68, 40}));
    EXPECT_EQ(c.camera3Mpx->backgroundImage(), platform::ui::imageNamed("std_.png"));
    EXPECT_EQ(c.timer1->backgroundImage(), platform::ui::imageNamed("3s_.png"));
    EXPECT_EQ(c.timer2->backgroundImage(), platform::ui::imageNamed("5s.png"));
    const auto titles =
        std::vector<std::string>{"Quick Shot", "Zoom", "Timer", "Timer Loop", "Library"};
    for (std::size_t i = 0; i < titles.size(); ++i) {
        EXPECT_EQ(c.tabBar->items()[i]->title(), titles[i]);
        EXPECT_EQ(c.tabBar->items()[i]->tag(), static_cast<int>(i) + 1);
    }
    EXPECT_TRUE(log.contains("!!!-1 iPhone3,1"));
}

TEST_F(CaptureScreenTest, StartUpTimerInstallsTheLiveViewWithTheOverlayOnTop) {
    auto& c = screen();
    wait(0.09);
    EXPECT_EQ(c.s, 0);
    EXPECT_EQ(c.main->superview(), nullptr);
    wait(0.02);
    EXPECT_EQ(c.s, 1);
    auto live = std::dynamic_pointer_cast<platform::media::LivePictureView>(c.view());
    ASSERT_NE(live, nullptr);
    EXPECT_EQ(c.main->superview(), live);
    EXPECT_EQ(live->subviews().back(), c.main);
    EXPECT_EQ(live->superview().get(), &application->window());
    EXPECT_TRUE(application->window().isKeyWindow());
    EXPECT_TRUE(log.contains("0"));
}

TEST_F(CaptureScreenTest, MemoryWarningAndOrientation) {
    auto& c = screen();
    const auto overlay = c.main->subviews();
    c.didReceiveMemoryWarning();
    c.didReceiveMemoryWarning();
    EXPECT_EQ(log.count("Memory warning!"), 2);
    EXPECT_NE(c.picker, nullptr);
    EXPECT_EQ(c.main->subviews(), overlay);
    EXPECT_TRUE(c.shouldAutorotateToInterfaceOrientation(1));
    for (int o : {2, 3, 4}) EXPECT_FALSE(c.shouldAutorotateToInterfaceOrientation(o));
}

struct DeviceCase {
    const char* model;
    bool flashShown;
    friend void PrintTo(const DeviceCase& c, std::ostream* os) { *os << c.model; }
};

class DeviceTest : public CaptureScreenTest, public ::testing::WithParamInterface<DeviceCase> {
    const char* deviceModel() const override { return GetParam().model; }
};

TEST_P(DeviceTest, FlashButtonOnlyForModelsSortingUpToTheReference) {
    auto& c = screen();
    const bool bottomIsFlash = c.main->subviews().front() != c.back;
    EXPECT_EQ(bottomIsFlash, GetParam().flashShown);
}

INSTANTIATE_TEST_SUITE_P(Models, DeviceTest,
                         ::testing::Values(DeviceCase{"iPhone3,1", true},
                                           DeviceCase{"iPhone2,1", true},
                                           DeviceCase{"iPad1,1", true}, DeviceCase{"i386", true},
                                           DeviceCase{"iPhone4,1", false},
                                           DeviceCase{"iPod4,1", false}));

}  // namespace
}  // namespace capture::testing
