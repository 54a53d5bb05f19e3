#include <gtest/gtest.h>

#include <memory>

#include "platform/foundation/run_loop.h"
#include "platform/ui/activity_indicator.h"
#include "platform/ui/button.h"
#include "platform/ui/image_view.h"
#include "platform/ui/scroll_view.h"
#include "platform/ui/window.h"
#include "tests/ui/screen_pixels.h"

namespace {

using namespace screen_pixels;
using platform::foundation::Rect;
using platform::foundation::RunLoop;
using platform::foundation::SystemClock;
using platform::foundation::VirtualClock;
using platform::ui::ImageView;
using platform::ui::View;
using platform::ui::Window;

std::shared_ptr<View> colouredView(Rect frame, Rgb color) {
    auto view = std::make_shared<View>(frame);
    view->setBackgroundColor(colorOf(color));
    return view;
}

TEST(ViewTreeDrawing, LaterSubviewsAboveHiddenOnesNeverAndClippingParentsCutOverhangs) {
    auto window = std::make_shared<Window>();
    auto parent = colouredView({10, 10, 100, 100}, kRed);
    auto child = colouredView({50, 50, 80, 20}, kGreen);  // overhangs its parent on the right
    auto younger = colouredView({0, 0, 30, 30}, kBlue);
    parent->addSubview(child);
    window->addSubview(parent);
    window->addSubview(younger);
    auto shown = drawScreen(*window);
    EXPECT_EQ(pixelAt(*shown, 20, 20), kBlue);
    EXPECT_EQ(pixelAt(*shown, 40, 40), kRed);
    EXPECT_EQ(pixelAt(*shown, 65, 65), kGreen);  // in window points: 10 + 50 + 5
    EXPECT_EQ(pixelAt(*shown, 125, 65), kGreen);

    window->addSubview(parent);  // moves it on top
    parent->setClipsToBounds(true);
    auto clipped = drawScreen(*window);
    EXPECT_EQ(pixelAt(*clipped, 20, 20), kRed);
    EXPECT_EQ(pixelAt(*clipped, 105, 65), kGreen);
    EXPECT_EQ(pixelAt(*clipped, 125, 65), kBlack);

    parent->setHidden(true);
    auto hidden = drawScreen(*window);
    EXPECT_EQ(pixelAt(*hidden, 40, 40), kBlack);
    EXPECT_EQ(pixelAt(*hidden, 65, 65), kBlack);
}

class PictureAtScale : public testing::TestWithParam<float> {};

// The picture fills exactly its frame, its halves where they belong, at either scale,
// whether it has one pixel per point or two.
TEST_P(PictureAtScale, PictureIsDrawnAtItsFrame) {
    const float scale = GetParam();
    for (const float pictureScale : {1.0f, 2.0f}) {
        auto window = std::make_shared<Window>();
        auto view =
            std::make_shared<ImageView>(twoColourPicture(40, 30, kRed, kBlue, pictureScale));
        view->setFrame({10, 20, 40, 30});
        window->addSubview(view);
        auto screen = drawScreen(*window, scale);
        SCOPED_TRACE(testing::Message()
                     << "screen scale " << scale << ", picture scale " << pictureScale);
        EXPECT_TRUE(near(pixelAt(*screen, 10.2f, 20.2f), kRed)) << pixelAt(*screen, 10.2f, 20.2f);
        EXPECT_TRUE(near(pixelAt(*screen, 28.5f, 35), kRed));
        EXPECT_TRUE(near(pixelAt(*screen, 31.5f, 35), kBlue));
        EXPECT_TRUE(near(pixelAt(*screen, 49.8f, 49.8f), kBlue));
        EXPECT_EQ(pixelAt(*screen, 9.5f, 35), kBlack);
        EXPECT_EQ(pixelAt(*screen, 50.2f, 35), kBlack);
        EXPECT_EQ(pixelAt(*screen, 30, 19.5f), kBlack);
        EXPECT_EQ(pixelAt(*screen, 30, 50.2f), kBlack);
    }
}

INSTANTIATE_TEST_SUITE_P(Scales, PictureAtScale, testing::Values(1.0f, 2.0f));

TEST(ViewTreeDrawing, PictureKeepsItsProportionsInAspectModes) {
    auto window = std::make_shared<Window>();
    auto view = std::make_shared<ImageView>(Rect{0, 0, 100, 100});
    view->setImage(solidPicture(50, 25, kGreen));  // 2:1
    window->addSubview(view);

    view->setContentMode(platform::ui::ContentMode::ScaleAspectFit);
    auto fit = drawScreen(*window);
    EXPECT_EQ(pixelAt(*fit, 50, 20), kBlack);  // above the 100 × 50 band
    EXPECT_EQ(pixelAt(*fit, 50, 30), kGreen);

    view->setContentMode(platform::ui::ContentMode::ScaleAspectFill);
    auto fill = drawScreen(*window);
    EXPECT_EQ(pixelAt(*fill, 50, 5), kGreen);
    EXPECT_EQ(pixelAt(*fill, 50, 95), kGreen);
}

class OnVirtualClock : public testing::Test {
  protected:
    void SetUp() override { RunLoop::main().setClock(clock_); }
    void TearDown() override { RunLoop::main().setClock(std::make_shared<SystemClock>()); }
    void advanceTo(double t) { clock_->advanceTo(t); }
    double now() const { return clock_->now(); }

    std::shared_ptr<VirtualClock> clock_ = std::make_shared<VirtualClock>();
};

// Counts the pixels of the square that are not black.
int inkIn(const Surface& surface, Rect rect) {
    int ink = 0;
    for (float y = rect.y(); y < rect.maxY(); y += 1.0f)
        for (float x = rect.x(); x < rect.maxX(); x += 1.0f)
            if (pixelAt(surface, x, y) != kBlack) ++ink;
    return ink;
}

TEST_F(OnVirtualClock, SpinnerTurnsOnlyWhileAnimating) {
    auto window = std::make_shared<Window>();
    auto spinner = std::make_shared<platform::ui::ActivityIndicator>(Rect{100, 100, 20, 20});
    spinner->setActivityIndicatorViewStyle(platform::ui::ActivityIndicator::Style::White);
    window->addSubview(spinner);
    const Rect area{100, 100, 20, 20};
    EXPECT_EQ(inkIn(*drawScreen(*window, 1.0f, now()), area), 0);
    EXPECT_FALSE(platform::ui::treeIsAnimating(*window, now()));

    spinner->startAnimating();
    EXPECT_TRUE(platform::ui::treeIsAnimating(*window, now()));
    auto first = drawScreen(*window, 1.0f, now());
    EXPECT_GT(inkIn(*first, area), 20);
    advanceTo(1.0 / 12.0 + 0.001);  // one spoke on
    auto second = drawScreen(*window, 1.0f, now());
    EXPECT_FALSE(samePixels(*first, *second));
    advanceTo(1.0 + 0.001);  // a whole turn later the picture repeats
    auto turned = drawScreen(*window, 1.0f, now());
    EXPECT_TRUE(samePixels(*first, *turned));
}

}  // namespace
