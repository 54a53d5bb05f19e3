#include "capture_fixture.h"
#include "platform/ui/image_named.h"

namespace capture::testing {
namespace {

using platform::ui::imageNamed;

class ModesTest : public CaptureScreenTest {
  protected:
    void SetUp() override {
        CaptureScreenTest::SetUp();
        becomeReady();
    }
    // The countdown lengths show, or in their place the hint saying where to find them.
    bool timersShown() {
        auto& c = screen();
        int shown = 0;
        for (auto& t : {c.timer1, c.timer2, c.timer3, c.timer4, c.timer5}) shown += !t->isHidden();
        EXPECT_TRUE(shown == 0 || shown == 5) << shown;
        EXPECT_EQ(c.countdownHint->isHidden(), shown == 5);
        return shown == 5;
    }
    void openSidebar() {
        tap(40, 218);  // where `side` sticks out
        ASSERT_TRUE(sidebarOpen());
    }
    std::shared_ptr<platform::ui::Button> flashButton() {
        return std::dynamic_pointer_cast<platform::ui::Button>(screen().main->subviews().front());
    }
};

// Each mode sets its own arrangement and preset, whatever the one before left.
TEST_F(ModesTest, EachModeLeavesItsArrangementAndPreset) {
    auto& c = screen();
    openSidebar();
    tap(56, 163);  // camera7Mpx
    c.mode();      // closed again
    selectTab(2);  // Timer shoots at 3 MPX: its picture is the chosen one now
    EXPECT_EQ(c.selectedTag(), 3);
    EXPECT_TRUE(c.bSlider->isHidden());
    EXPECT_TRUE(timersShown());
    EXPECT_EQ(c.state, 1);
    EXPECT_EQ(c.camera3Mpx->backgroundImage(), imageNamed("std_.png"));
    EXPECT_EQ(c.camera7Mpx->backgroundImage(), imageNamed("8.png"));
    EXPECT_EQ(c.timer1->backgroundImage(), imageNamed("3s_.png"));
    EXPECT_EQ(c.timer5->backgroundImage(), imageNamed("30s.png"));

    selectTab(3);  // TimerLoop
    EXPECT_TRUE(timersShown());
    EXPECT_EQ(c.timer1->backgroundImage(), imageNamed("15s_.png"));
    EXPECT_EQ(c.timer5->backgroundImage(), imageNamed("15m.png"));

    selectTab(1);  // Zoom with the sidebar closed: hidden at once; it cuts, no preset is chosen
    EXPECT_TRUE(c.sidebar->isHidden());
    EXPECT_TRUE(c.side->isHidden());
    EXPECT_FALSE(c.bSlider->isHidden());
    EXPECT_FALSE(c.back->isHidden());
    EXPECT_EQ(c.state, 0);
    EXPECT_EQ(c.camera3Mpx->backgroundImage(), imageNamed("std.png"));

    selectTab(0);  // QuickShot keeps state 0
    EXPECT_FALSE(c.sidebar->isHidden());
    EXPECT_TRUE(c.bSlider->isHidden());
    EXPECT_FALSE(timersShown());
    EXPECT_EQ(c.state, 0);
    EXPECT_EQ(c.player->playCount(), 5);  // the preset's click and one per mode
}

TEST_F(ModesTest, EveryEntryButZoomResetsTheZoom) {
    auto& c = screen();
    for (int position : {0, 2, 3, 4}) {
        SCOPED_TRACE(position);
        selectTab(1);
        c.bSlider->slideTo(5.0f);
        selectTab(1);  // entering Zoom keeps the factor
        EXPECT_EQ(c.value, 5.0f);
        selectTab(position);
        if (position == 4) c.pickerP->cancel();
        EXPECT_EQ(c.value, 1.0f);
        EXPECT_EQ(c.bSlider->value(), 1.0f);
    }
}

TEST_F(ModesTest, ZoomWithTheSidebarOpenSlidesItClosedThenHidesIt) {
    auto& c = screen();
    openSidebar();
    const int slides = c.slide->playCount();
    selectTab(1);
    EXPECT_EQ(c.slide->playCount(), slides + 1);
    EXPECT_FALSE(sidebarOpen());
    EXPECT_FALSE(c.sidebar->isHidden());
    wait(0.5);
    EXPECT_TRUE(c.sidebar->isHidden());
    EXPECT_TRUE(c.side->isHidden());
    c.mode();  // in Zoom a press of the sidebar button does nothing at all
    EXPECT_EQ(c.slide->playCount(), slides + 1);

    // A mode chosen soon after Zoom cancels the delayed hide.
    selectTab(2);
    openSidebar();
    selectTab(1);
    wait(0.2);
    selectTab(2);
    wait(1.0);
    EXPECT_FALSE(c.sidebar->isHidden());
    EXPECT_FALSE(c.side->isHidden());
}

TEST_F(ModesTest, CancellingTheLibraryReturnsToQuickShot) {
    auto& c = screen();
    selectTab(2);
    selectTab(4);
    EXPECT_EQ(c.modalViewController(), c.pickerP);
    EXPECT_TRUE(timersShown());
    const int clicks = c.player->playCount();
    c.pickerP->cancel();
    EXPECT_EQ(c.modalViewController(), nullptr);
    EXPECT_EQ(c.player->playCount(), clicks + 1);
    EXPECT_EQ(c.selectedTag(), 1);
    EXPECT_FALSE(timersShown());
}

TEST_F(ModesTest, SidebarOpensAndClosesBackToItsBuiltCentresExactly) {
    auto& c = screen();
    const std::vector<std::shared_ptr<platform::ui::View>> group{
        c.sidebar, c.www,    c.side,   c.camera3Mpx, c.camera5Mpx, c.camera7Mpx,
        c.timer1,  c.timer2, c.timer3, c.timer4,     c.timer5};
    std::vector<platform::foundation::Point> built;
    for (auto& v : group) built.push_back(v->center());
    c.mode();
    EXPECT_EQ(c.side->image(), imageNamed("b_close.png"));
    c.mode();
    for (std::size_t i = 0; i < group.size(); ++i) EXPECT_EQ(group[i]->center(), built[i]) << i;
    EXPECT_EQ(c.side->image(), imageNamed("b_open.png"));
    EXPECT_EQ(c.slide->playCount(), 2);

    // During a countdown the button never pushes the group further left.
    selectTab(2);
    tap(160, 200);
    ASSERT_NE(c.timer, nullptr);
    c.mode();
    EXPECT_EQ(c.side->center(), built[2]);
}

TEST_F(ModesTest, PresetAndCountdownButtonsChooseAndMark) {
    auto& c = screen();
    selectTab(2);  // Timer: the countdown buttons show
    openSidebar();
    const int clicks = c.player->playCount();
    tap(56, 113);  // camera5Mpx, at x 5…107 when open
    EXPECT_EQ(c.state, 2);
    EXPECT_EQ(c.camera5Mpx->backgroundImage(), imageNamed("5_.png"));
    EXPECT_EQ(c.camera3Mpx->backgroundImage(), imageNamed("std.png"));
    tap(56, 285);  // timer3
    EXPECT_EQ(c.aTimer, 3);
    EXPECT_EQ(c.timer3->backgroundImage(), imageNamed("10s_.png"));
    EXPECT_EQ(c.timer1->backgroundImage(), imageNamed("3s.png"));
    tap(56, 285);  // again: the same pictures, the click still sounds
    EXPECT_EQ(c.aTimer, 3);
    EXPECT_EQ(c.player->playCount(), clicks + 3);
}

TEST_F(ModesTest, FlashCyclesAutoOnOffAuto) {
    ASSERT_NE(flashButton(), nullptr);
    tap(270, 30);
    EXPECT_EQ(screen().picker->cameraFlashMode(), 1);
    EXPECT_EQ(flashButton()->title(), "ON");
    EXPECT_EQ(flashButton()->image(), nullptr);
    tap(270, 30);
    EXPECT_EQ(flashButton()->title(), "OFF");
    EXPECT_EQ(screen().picker->cameraFlashMode(), -1);
    tap(270, 30);
    EXPECT_EQ(screen().picker->cameraFlashMode(), 0);
    EXPECT_EQ(flashButton()->title(), std::nullopt);
    EXPECT_EQ(flashButton()->image(), imageNamed("flash.png"));
}

class NoFlashTest : public ModesTest {
    bool cameraHasFlash() const override { return false; }
};

TEST_F(NoFlashTest, FlashPressChangesNothingOnACameraWithoutFlash) {
    tap(270, 30);
    EXPECT_EQ(screen().picker->cameraFlashMode(), 0);
    EXPECT_EQ(flashButton()->image(), imageNamed("flash.png"));
}

class DeviceTest : public CaptureScreenTest,
                   public ::testing::WithParamInterface<std::pair<std::string, bool>> {
    const char* deviceModel() const override { return GetParam().first.c_str(); }
};

// Models that sort, byte by byte, up to the reference "iPhone3,1" have the flash button.
TEST_P(DeviceTest, FlashButtonOnlyForModelsSortingUpToTheReference) {
    EXPECT_EQ(screen().main->subviews().front() != screen().back, GetParam().second);
}

INSTANTIATE_TEST_SUITE_P(Models, DeviceTest,
                         ::testing::Values(std::pair<std::string, bool>{"iPhone3,1", true},
                                           std::pair<std::string, bool>{"i386", true},
                                           std::pair<std::string, bool>{"iPhone4,1", false}));

}  // namespace
}  // namespace capture::testing
