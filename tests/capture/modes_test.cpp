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
    std::vector<std::shared_ptr<platform::ui::Button>> timers() {
        auto& c = screen();
        return {c.timer1, c.timer2, c.timer3, c.timer4, c.timer5};
    }
    // Where the countdown lengths are hidden, the hint saying where to find them shows.
    bool timersHidden() {
        for (auto& t : timers())
            if (!t->isHidden()) return false;
        return !screen().countdownHint->isHidden();
    }
    bool timersShown() {
        for (auto& t : timers())
            if (t->isHidden()) return false;
        return screen().countdownHint->isHidden();
    }
    void openSidebar() {
        tap(40, 218);  // the part of `side` that sticks out
        ASSERT_GT(screen().side->center().x, 50.0f);
    }
};

TEST_F(ModesTest, EachModeLeavesItsArrangement) {
    auto& c = screen();
    selectTab(2);  // Timer
    EXPECT_EQ(c.selectedTag(), 3);
    EXPECT_FALSE(c.sidebar->isHidden());
    EXPECT_TRUE(c.bSlider->isHidden());
    EXPECT_TRUE(timersShown());
    EXPECT_EQ(c.state, 1);
    EXPECT_EQ(c.aTimer, 1);
    EXPECT_EQ(c.timer1->backgroundImage(), imageNamed("3s_.png"));
    EXPECT_EQ(c.timer5->backgroundImage(), imageNamed("30s.png"));

    selectTab(3);  // TimerLoop
    EXPECT_TRUE(timersShown());
    EXPECT_EQ(c.timer1->backgroundImage(), imageNamed("15s_.png"));
    EXPECT_EQ(c.timer3->backgroundImage(), imageNamed("1m.png"));
    EXPECT_EQ(c.timer5->backgroundImage(), imageNamed("15m.png"));

    selectTab(1);  // Zoom with the sidebar closed: hidden at once
    EXPECT_TRUE(c.sidebar->isHidden());
    EXPECT_TRUE(c.side->isHidden());
    EXPECT_FALSE(c.bSlider->isHidden());
    EXPECT_FALSE(c.back->isHidden());
    EXPECT_TRUE(timersShown());  // left as they were
    EXPECT_EQ(c.state, 0);

    selectTab(0);  // QuickShot keeps state 0
    EXPECT_FALSE(c.sidebar->isHidden());
    EXPECT_TRUE(c.bSlider->isHidden());
    EXPECT_TRUE(timersHidden());
    EXPECT_EQ(c.state, 0);
    EXPECT_EQ(c.aTimer, 1);
    for (int tag = 3; tag >= 1; --tag) EXPECT_EQ(log.count("selected: " + std::to_string(tag)), 1);
    EXPECT_EQ(plays(c.player), 4);
    EXPECT_EQ(c.main->frame(), (platform::foundation::Rect{0, 0, 320, 480}));
    EXPECT_EQ(c.main->superview(), c.view());
}

TEST_F(ModesTest, EveryEntryButZoomResetsTheZoom) {
    auto& c = screen();
    for (int position : {0, 2, 3, 4}) {
        SCOPED_TRACE(position);
        selectTab(1);
        c.bSlider->slideTo(5.0f);
        selectTab(1);  // entering Zoom keeps the factor
        EXPECT_EQ(c.value, 5.0f);
        if (position == 4) {
            selectTab(4);
            c.pickerP->cancel();
        } else {
            selectTab(position);
        }
        EXPECT_EQ(c.value, 1.0f);
        EXPECT_EQ(c.bSlider->value(), 1.0f);
    }
}

TEST_F(ModesTest, ZoomWithTheSidebarOpenSlidesItClosedThenHidesIt) {
    auto& c = screen();
    openSidebar();
    const int slides = plays(c.slide);
    selectTab(1);
    EXPECT_EQ(plays(c.slide), slides + 1);
    EXPECT_LT(c.side->center().x, 50.0f);
    EXPECT_FALSE(c.sidebar->isHidden());
    EXPECT_EQ(c.selectedTag(), 2);
    wait(0.5);
    EXPECT_TRUE(c.sidebar->isHidden());
    EXPECT_TRUE(c.side->isHidden());
    // In Zoom a press of the sidebar button does nothing at all.
    c.mode();
    EXPECT_EQ(plays(c.slide), slides + 1);
}

TEST_F(ModesTest, AModeChosenSoonAfterZoomCancelsTheDelayedHide) {
    auto& c = screen();
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
    EXPECT_EQ(c.state, 1);
    const int clicks = plays(c.player);
    c.pickerP->cancel();
    EXPECT_EQ(c.modalViewController(), nullptr);
    EXPECT_EQ(plays(c.player), clicks + 1);
    EXPECT_EQ(log.lines().back(), "selected: 1");
    EXPECT_EQ(c.selectedTag(), 1);
    EXPECT_TRUE(timersHidden());
}

TEST_F(ModesTest, SidebarOpensAndClosesBackToItsBuiltCentresExactly) {
    auto& c = screen();
    const std::vector<std::shared_ptr<platform::ui::View>> group{
        c.sidebar, c.www,    c.side,   c.camera3Mpx, c.camera5Mpx, c.camera7Mpx,
        c.timer1,  c.timer2, c.timer3, c.timer4,     c.timer5};
    std::vector<platform::foundation::Point> built;
    for (auto& v : group) built.push_back(v->center());
    c.mode();
    EXPECT_EQ(c.side->center().x, 128.0f);
    EXPECT_EQ(c.side->image(), imageNamed("b_close.png"));
    c.mode();
    for (std::size_t i = 0; i < group.size(); ++i) EXPECT_EQ(group[i]->center(), built[i]) << i;
    EXPECT_EQ(c.side->image(), imageNamed("b_open.png"));
    EXPECT_EQ(plays(c.slide), 2);
}

TEST_F(ModesTest, SidebarButtonDuringACountdownNeverPushesTheGroupFurtherLeft) {
    auto& c = screen();
    selectTab(2);
    tap(160, 200);  // starts a countdown
    ASSERT_NE(c.timer, nullptr);
    const auto closed = c.side->center();
    c.mode();
    EXPECT_EQ(c.side->center(), closed);
    EXPECT_EQ(c.side->image(), imageNamed("b_open.png"));
    EXPECT_EQ(plays(c.slide), 1);
}

TEST_F(ModesTest, PresetAndCountdownButtonsChooseAndMark) {
    auto& c = screen();
    openSidebar();
    selectTab(2);  // Timer: the countdown buttons show
    openSidebar();
    const int clicks = plays(c.player);
    tap(56, 113);  // camera5Mpx, at x 5…107 when open
    EXPECT_EQ(c.state, 2);
    EXPECT_TRUE(log.contains("5 MPX"));
    EXPECT_EQ(c.camera5Mpx->backgroundImage(), imageNamed("5_.png"));
    EXPECT_EQ(c.camera3Mpx->backgroundImage(), imageNamed("std.png"));
    tap(56, 285);  // timer3
    EXPECT_EQ(c.aTimer, 3);
    EXPECT_EQ(c.timer3->backgroundImage(), imageNamed("10s_.png"));
    EXPECT_EQ(c.timer1->backgroundImage(), imageNamed("3s.png"));
    tap(56, 285);  // again: the same pictures, the click still sounds
    EXPECT_EQ(c.aTimer, 3);
    EXPECT_EQ(plays(c.player), clicks + 3);
    EXPECT_EQ(c.nTimer, 0);
}

TEST_F(ModesTest, PresetPicturesShowThePresetAModeSets) {
    auto& c = screen();
    openSidebar();
    tap(56, 163);  // camera7Mpx
    ASSERT_EQ(c.state, 3);
    EXPECT_EQ(c.camera7Mpx->backgroundImage(), imageNamed("8_.png"));
    selectTab(2);  // Timer shoots at 3 MPX: its picture is the chosen one now
    EXPECT_EQ(c.state, 1);
    EXPECT_EQ(c.camera3Mpx->backgroundImage(), imageNamed("std_.png"));
    EXPECT_EQ(c.camera7Mpx->backgroundImage(), imageNamed("8.png"));
    selectTab(1);  // Zoom cuts the zoomed region: no preset is chosen
    EXPECT_EQ(c.state, 0);
    for (const auto& [button, plain] :
         {std::pair{c.camera3Mpx, "std.png"}, {c.camera5Mpx, "5.png"}, {c.camera7Mpx, "8.png"}})
        EXPECT_EQ(button->backgroundImage(), imageNamed(plain));
}

TEST_F(ModesTest, FlashCyclesAutoOnOffAuto) {
    auto& c = screen();
    auto flashButton = std::dynamic_pointer_cast<platform::ui::Button>(c.main->subviews().front());
    ASSERT_NE(flashButton, nullptr);
    tap(270, 30);
    EXPECT_EQ(c.picker->cameraFlashMode(), 1);
    EXPECT_EQ(flashButton->title(), "ON");
    EXPECT_EQ(flashButton->image(), nullptr);
    tap(270, 30);
    EXPECT_EQ(flashButton->title(), "OFF");
    EXPECT_EQ(c.picker->cameraFlashMode(), -1);
    tap(270, 30);
    EXPECT_EQ(c.picker->cameraFlashMode(), 0);
    EXPECT_EQ(flashButton->title(), std::nullopt);
    EXPECT_EQ(flashButton->image(), imageNamed("flash.png"));
}

class NoFlashTest : public ModesTest {
    bool cameraHasFlash() const override { return false; }
};

TEST_F(NoFlashTest, FlashPressChangesNothingOnACameraWithoutFlash) {
    auto flashButton =
        std::dynamic_pointer_cast<platform::ui::Button>(screen().main->subviews().front());
    ASSERT_NE(flashButton, nullptr);
    tap(270, 30);
    EXPECT_EQ(screen().picker->cameraFlashMode(), 0);
    EXPECT_EQ(flashButton->image(), imageNamed("flash.png"));
}

}  // namespace
}  // namespace capture::testing
