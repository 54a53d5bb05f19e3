#include <gtest/gtest.h>

#include <memory>
#include <utility>

#include "platform/foundation/run_loop.h"
#include "platform/ui/control.h"
#include "platform/ui/image_view.h"
#include "platform/ui/scroll_view.h"
#include "platform/ui/view_controller.h"
#include "platform/ui/window.h"
#include "tests/ui/screen_pixels.h"

namespace platform::ui {
namespace {

using foundation::Point;
using foundation::Rect;
using foundation::RunLoop;

struct Zooming : ScrollViewDelegate {
    std::shared_ptr<View> view;
    int scrolls = 0;
    std::shared_ptr<View> viewForZoomingInScrollView(ScrollView&) override { return view; }
    void scrollViewDidScroll(ScrollView&) override { ++scrolls; }
};

// A screen that, like the preview, notes the touches that reach it up the responder chain.
struct Screen : ViewController {
    int touches = 0;
    void touchesBegan(const Touches&) override { ++touches; }
};

void expectNear(Point actual, Point expected, float tolerance = 0.01f) {
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
}

class ScrollViewTest : public testing::Test {
  protected:
    void SetUp() override {
        loop().reset();
        loop().setClock(clock_);
        window->addSubview(screen->view());
        screen->view()->addSubview(scroll);
        scroll->setDelegate(delegate);
    }
    void TearDown() override {
        loop().reset();
        loop().setClock(std::make_shared<foundation::SystemClock>());
    }
    static RunLoop& loop() { return RunLoop::main(); }

    // An album-like list: taller than the frame, nothing to zoom.
    void showList() {
        scroll->addSubview(std::make_shared<View>(Rect{0, 0, 320, 1000}));
        scroll->setContentSize({320, 1000});
    }
    // A 1600 × 1200 picture as the preview shows it: whole at the minimum zoom.
    std::shared_ptr<ImageView> showPicture() {
        auto picture = std::make_shared<ImageView>(Rect{0, 0, 1600, 2180});
        delegate->view = picture;
        scroll->addSubview(picture);
        scroll->setContentSize({1600, 2180});
        scroll->setMinimumZoomScale(0.2f);
        scroll->setMaximumZoomScale(1.0f);
        scroll->setZoomScale(0.2f);
        return picture;
    }
    // A finger moving in 1/60 s reports, the loop running between them; lifted if asked.
    void drag(Point from, Point to, bool lift = true, int steps = 10) {
        window->touchDown(from);
        for (int i = 1; i <= steps; ++i) {
            loop().runFor(1.0 / 60.0);
            const float t = static_cast<float>(i) / static_cast<float>(steps);
            window->touchMoved({from.x + (to.x - from.x) * t, from.y + (to.y - from.y) * t});
        }
        if (lift) window->touchUp(to);
    }
    // The content point (of the zooming view) under a window point.
    Point contentUnder(Point inWindow) const { return delegate->view->convertFromWindow(inWindow); }

    std::shared_ptr<foundation::VirtualClock> clock_ = std::make_shared<foundation::VirtualClock>();
    std::shared_ptr<Window> window = std::make_shared<Window>();
    std::shared_ptr<Screen> screen = std::make_shared<Screen>();
    std::shared_ptr<ScrollView> scroll = std::make_shared<ScrollView>(Rect{0, 44, 320, 436});
    std::shared_ptr<Zooming> delegate = std::make_shared<Zooming>();
};

TEST_F(ScrollViewTest, AFingerThatHardlyMovesTapsTheContentAndOneThatMovesPansItWithin) {
    showList();
    scroll->setBounces(false);
    drag({100, 200}, {104, 204});  // 5.7 points: a tap, up the chain from the content
    EXPECT_EQ(screen->touches, 1);
    drag({100, 207}, {100, 200});  // 7 points: a drag, the scroll view's own
    EXPECT_EQ(scroll->contentOffset(), (Point{0, 7}));
    EXPECT_GT(delegate->scrolls, 0);

    drag({160, 400}, {150, 100});
    // The content is no wider than the frame: only the vertical axis moves.
    EXPECT_EQ(scroll->contentOffset(), (Point{0, 307}));
    drag({160, 400}, {160, 100});
    EXPECT_EQ(scroll->contentOffset(), (Point{0, 1000 - 436}));
    EXPECT_FALSE(scroll->isDragging() || scroll->isDecelerating());
    EXPECT_EQ(screen->touches, 1);

    scroll->setContentOffset({-5, 2000});
    EXPECT_EQ(scroll->contentOffset(), (Point{0, 564}));
    scroll->setContentSize({320, 500});  // a shorter listing
    EXPECT_EQ(scroll->contentOffset(), (Point{0, 64}));
    scroll->setBounces(true);
    scroll->setContentSize({320, 300});  // it fits: nothing to pull, even with bounces
    drag({160, 200}, {100, 400}, false);
    EXPECT_EQ(scroll->contentOffset(), (Point{0, 0}));
}

TEST_F(ScrollViewTest, PulledPastAnEdgeTheContentMovesAtHalfSpeedAndSettlesBack) {
    showList();
    scroll->setContentOffset({0, 564});
    drag({160, 400}, {160, 300}, false);
    EXPECT_EQ(scroll->contentOffset(), (Point{0, 614}));
    window->touchUp({160, 300});
    EXPECT_EQ(scroll->contentOffset(), (Point{0, 614}));  // drawn moving, not jumping

    // Caught again while settling: it goes on from where it is, still at half speed.
    loop().runFor(0.1);
    const float caught = scroll->contentOffset().y;
    ASSERT_GT(caught, 564.0f);
    ASSERT_LT(caught, 614.0f);
    window->touchDown({160, 300});
    loop().runFor(0.2);
    EXPECT_EQ(scroll->contentOffset().y, caught);
    window->touchMoved({160, 280});
    EXPECT_NEAR(scroll->contentOffset().y, caught + 10, 0.01f);
    window->touchCancelled({160, 280});
    loop().runFor(0.3);
    EXPECT_EQ(scroll->contentOffset(), (Point{0, 564}));
    EXPECT_FALSE(scroll->isDecelerating());
    EXPECT_EQ(loop().timerCount(), 0u);
}

// What is drawn under a point is what a tap there reaches, zoomed and scrolled.
TEST_F(ScrollViewTest, TapsReachTheControlWhereItIsDrawnWhenZoomedAndScrolled) {
    auto picture = showPicture();
    picture->setUserInteractionEnabled(true);  // to reach the button on it
    picture->setBackgroundColor(screen_pixels::colorOf(screen_pixels::kRed));
    auto button = std::make_shared<Control>(Rect{400, 400, 100, 100});
    button->setBackgroundColor(screen_pixels::colorOf(screen_pixels::kBlue));
    picture->addSubview(button);
    auto presses = std::make_shared<int>(0);
    button->addTarget(
        presses, [&](Control*) { ++*presses; }, ControlEventTouchUpInside);
    scroll->setZoomScale(0.5f);
    scroll->setContentOffset({50, 30});
    // The button: 400 · 0.5 − 50 = 150 across, 400 · 0.5 − 30 + 44 = 214 down, 50 points wide.
    const Point inside{152, 262}, outside{147, 262};

    auto drawn = screen_pixels::drawScreen(*window);
    EXPECT_EQ(screen_pixels::pixelAt(*drawn, inside.x, inside.y), screen_pixels::kBlue);
    EXPECT_EQ(screen_pixels::pixelAt(*drawn, outside.x, outside.y), screen_pixels::kRed);
    expectNear(button->convertFromWindow(inside), {4, 96});
    expectNear(button->convertToWindow({4, 96}), inside);
    expectNear(button->originInWindow(), {150, 214});

    window->tap(inside);
    EXPECT_EQ(*presses, 1);
    loop().runFor(1);
    window->tap(outside);  // the picture takes no touch itself: up through the scroll view
    EXPECT_EQ(*presses, 1);
    EXPECT_EQ(screen->touches, 1);
}

// A double tap zooms in about its point and back out; slow or distant taps are taps. Pinches
// and keys zoom about a point too, never beyond the limits.
TEST_F(ScrollViewTest, DoubleTapPinchAndKeysZoomAboutAPointWithinTheLimits) {
    showPicture();
    window->tap({100, 144});
    loop().runFor(0.2);
    window->tap({110, 150});
    EXPECT_EQ(scroll->zoomScale(), 1.0f);
    expectNear(contentUnder({110, 150}), {550, 530});
    EXPECT_EQ(screen->touches, 1);  // the second tap was the zoom's
    loop().runFor(1);
    window->tap({100, 144});
    window->tap({100, 144});
    EXPECT_EQ(scroll->zoomScale(), 0.2f);
    EXPECT_EQ(scroll->contentOffset(), (Point{0, 0}));

    loop().runFor(1);
    window->tap({100, 144});
    loop().runFor(0.35);
    window->tap({100, 144});
    window->tap({100, 170});  // 26 points away
    EXPECT_EQ(scroll->zoomScale(), 0.2f);
    EXPECT_EQ(screen->touches, 5);

    const Point middle{160, 44 + 218};
    const Point under = contentUnder(middle);
    EXPECT_TRUE(window->keyDown({Key::Plus}));  // keys zoom about the middle of the frame
    EXPECT_NEAR(scroll->zoomScale(), 0.25f, 1e-6);
    expectNear(contentUnder(middle), under, 0.05f);

    const Point centre{200, 300};
    window->magnify(centre, 100.0f);
    EXPECT_EQ(scroll->zoomScale(), 1.0f);
    EXPECT_FALSE(window->magnify(centre, 1.5f));  // at the maximum already
    window->magnify(centre, 0.001f);
    EXPECT_EQ(scroll->zoomScale(), 0.2f);
    EXPECT_EQ(scroll->contentOffset(), (Point{0, 0}));  // the whole picture, in range

    // A small picture shown whole needs a minimum above the maximum: nothing zooms it out.
    scroll->setMinimumZoomScale(1.6f);
    scroll->setZoomScale(1.6f);
    window->magnify(centre, 0.5f);
    window->keyDown({Key::Minus});
    window->scrollWheel({centre, 0, -3, true});
    window->tap(centre);
    window->tap(centre);
    EXPECT_EQ(scroll->zoomScale(), 1.6f);
}

TEST_F(ScrollViewTest, WheelAndKeysScrollByLinesAndPages) {
    showList();
    EXPECT_TRUE(window->scrollWheel({{160, 200}, 0, -2}));  // towards the user: further down
    EXPECT_EQ(scroll->contentOffset(), (Point{0, 80}));
    EXPECT_FALSE(window->scrollWheel({{160, 20}, 0, -1}));  // above the scroll view

    // A line is 40 points; a page keeps the last line of the one before in view.
    const std::pair<Key, float> steps[] = {{Key::Down, 120}, {Key::PageDown, 516}, {Key::Up, 476},
                                           {Key::End, 564},  {Key::PageUp, 168},   {Key::Home, 0}};
    for (const auto& [key, y] : steps) {
        EXPECT_TRUE(window->keyDown({key}));
        EXPECT_EQ(scroll->contentOffset(), (Point{0, y}));
    }
    EXPECT_FALSE(window->keyDown({Key::Up}));  // nothing above the top to go to
    scroll->setHidden(true);                   // only shown views take keys
    EXPECT_FALSE(window->keyDown({Key::Down}));
}

}  // namespace
}  // namespace platform::ui
