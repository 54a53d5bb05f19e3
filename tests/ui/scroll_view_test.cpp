#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

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
using foundation::Size;

constexpr Rect kFrame{0, 44, 320, 436};

struct Zooming : ScrollViewDelegate {
    std::shared_ptr<View> view;
    int scrolls = 0;
    std::shared_ptr<View> viewForZoomingInScrollView(ScrollView&) override { return view; }
    void scrollViewDidScroll(ScrollView&) override { ++scrolls; }
};

// A screen that, like the preview, notes what reaches it up the responder chain.
struct Screen : ViewController {
    int touches = 0;
    std::vector<Key> keys;
    void touchesBegan(const Touches&) override { ++touches; }
    bool keyDown(const KeyPress& press) override {
        keys.push_back(press.key);
        return false;
    }
};

// Content that takes touches and says where they landed.
struct Recording : View {
    using View::View;
    std::vector<Point> began;
    int ended = 0;
    void touchesBegan(const Touches& touches) override {
        began.push_back(touches.front().locationInView(this));
    }
    void touchesEnded(const Touches&) override { ++ended; }
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
    std::shared_ptr<Recording> showList(float height = 1000) {
        auto list = std::make_shared<Recording>(Rect{0, 0, 320, height});
        scroll->addSubview(list);
        scroll->setContentSize({320, height});
        return list;
    }
    // A 1600 × 1200 picture as the preview shows it: whole at the minimum zoom.
    std::shared_ptr<ImageView> showPicture() {
        auto picture = std::make_shared<ImageView>(Rect{0, 0, 1600, 2180});
        picture->setUserInteractionEnabled(false);
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
    std::shared_ptr<ScrollView> scroll = std::make_shared<ScrollView>(kFrame);
    std::shared_ptr<Zooming> delegate = std::make_shared<Zooming>();
};

TEST_F(ScrollViewTest, DragPansWithTheFingerWithinTheContentWithoutBounces) {
    showList();
    scroll->setBounces(false);
    drag({160, 400}, {150, 100});
    // The content is no wider than the frame: only the vertical axis moves.
    EXPECT_EQ(scroll->contentOffset(), (Point{0, 300}));
    EXPECT_GT(delegate->scrolls, 0);
    drag({160, 400}, {160, 100}, false);
    EXPECT_EQ(scroll->contentOffset(), (Point{0, 1000 - 436}));
    EXPECT_TRUE(scroll->isDragging());
    window->touchUp({160, 100});
    EXPECT_FALSE(scroll->isDragging() || scroll->isDecelerating());
    drag({160, 100}, {160, 470});
    EXPECT_EQ(scroll->contentOffset(), (Point{0, 194}));

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
    drag({160, 200}, {160, 300}, false);
    EXPECT_EQ(scroll->contentOffset(), (Point{0, -50}));
    window->touchUp({160, 300});
    EXPECT_TRUE(scroll->isDecelerating());
    EXPECT_EQ(scroll->contentOffset(), (Point{0, -50}));  // drawn moving, not jumping

    loop().runFor(0.15);
    EXPECT_GT(scroll->contentOffset().y, -50.0f);
    EXPECT_LT(scroll->contentOffset().y, 0.0f);
    loop().runFor(0.15);
    EXPECT_EQ(scroll->contentOffset(), (Point{0, 0}));
    EXPECT_FALSE(scroll->isDecelerating());
    EXPECT_EQ(loop().timerCount(), 0u);

    // At the bottom edge, caught again while settling: it goes on from where it is.
    scroll->setContentOffset({0, 564});
    drag({160, 400}, {160, 300});
    EXPECT_EQ(scroll->contentOffset(), (Point{0, 614}));
    loop().runFor(0.1);
    const float caught = scroll->contentOffset().y;
    ASSERT_GT(caught, 564.0f);
    window->touchDown({160, 300});
    EXPECT_FALSE(scroll->isDecelerating());
    loop().runFor(0.2);
    EXPECT_EQ(scroll->contentOffset().y, caught);
    window->touchMoved({160, 280});
    EXPECT_NEAR(scroll->contentOffset().y, caught + 10, 0.01f);  // still at half speed
    window->touchCancelled({160, 280});
    loop().runFor(0.3);
    EXPECT_EQ(scroll->contentOffset(), (Point{0, 564}));
}

TEST_F(ScrollViewTest, ATouchThatHardlyMovesIsATapForTheContentUnderIt) {
    auto list = showList();
    scroll->setContentOffset({0, 100});
    drag({100, 200}, {104, 204});  // 5.7 points
    ASSERT_EQ(list->began.size(), 1u);
    EXPECT_EQ(list->ended, 1);
    expectNear(list->began[0], {104, 204 - 44 + 100});
    EXPECT_EQ(scroll->contentOffset(), (Point{0, 100}));

    drag({100, 200}, {100, 207});  // 7 points: a drag
    EXPECT_EQ(list->began.size(), 1u);
    EXPECT_EQ(scroll->contentOffset(), (Point{0, 93}));
    EXPECT_EQ(screen->touches, 0);
}

// What is drawn under a point is what a tap there reaches, zoomed and scrolled.
TEST_F(ScrollViewTest, TapsReachTheControlWhereItIsDrawnWhenZoomedAndScrolled) {
    auto picture = showPicture();
    picture->setUserInteractionEnabled(true);  // to reach the button on it
    picture->setBackgroundColor(screen_pixels::colorOf(screen_pixels::kRed));
    auto button = std::make_shared<Control>(Rect{400, 400, 100, 100});
    button->setBackgroundColor(screen_pixels::colorOf(screen_pixels::kBlue));
    picture->addSubview(button);
    int presses = 0;
    auto target = std::make_shared<int>(0);
    button->addTarget(
        target, [&](Control*) { ++presses; }, ControlEventTouchUpInside);
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
    EXPECT_EQ(presses, 1);
    loop().runFor(1);
    window->tap(outside);  // the picture takes no touch itself: up through the scroll view
    EXPECT_EQ(presses, 1);
    EXPECT_EQ(screen->touches, 1);
    EXPECT_FALSE(scroll->isTracking());
    drag({160, 200}, {160, 300});  // a drag is the scroll view's own
    EXPECT_EQ(screen->touches, 1);
}

TEST_F(ScrollViewTest, DoubleTapZoomsInAboutThePointAndBackOutSlowOrDistantOnesAreTaps) {
    showPicture();
    expectNear(contentUnder({100, 144}), {500, 500});
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
}

TEST_F(ScrollViewTest, PinchWheelAndKeysZoomAboutAPointWithinTheLimits) {
    showPicture();
    const Point centre{200, 300};
    const Point under = contentUnder(centre);
    EXPECT_TRUE(window->magnify(centre, 2.0f));
    EXPECT_NEAR(scroll->zoomScale(), 0.4f, 1e-6);
    expectNear(contentUnder(centre), under, 0.05f);
    EXPECT_TRUE(window->scrollWheel({centre, 0, 1, true}));
    EXPECT_NEAR(scroll->zoomScale(), 0.5f, 1e-6);
    expectNear(contentUnder(centre), under, 0.05f);

    // Keys zoom about the middle of the frame.
    const Point middle{160, 44 + 218};
    const Point underMiddle = contentUnder(middle);
    EXPECT_TRUE(window->keyDown({Key::Plus}));
    EXPECT_NEAR(scroll->zoomScale(), 0.625f, 1e-6);
    expectNear(contentUnder(middle), underMiddle, 0.05f);

    window->magnify(centre, 100.0f);
    EXPECT_EQ(scroll->zoomScale(), 1.0f);
    EXPECT_FALSE(window->magnify(centre, 1.5f));  // at the maximum already
    window->keyDown({Key::Minus});
    window->magnify(centre, 0.001f);
    EXPECT_EQ(scroll->zoomScale(), 0.2f);
    EXPECT_EQ(scroll->contentOffset(), (Point{0, 0}));  // the whole picture, in range
}

TEST_F(ScrollViewTest, AMinimumAboveTheMaximumHoldsTheZoomAtTheMinimum) {
    // A 200 × 100 picture: showing it whole needs more than one to one.
    auto picture = std::make_shared<ImageView>(Rect{0, 0, 200, 272.5f});
    delegate->view = picture;
    scroll->addSubview(picture);
    scroll->setContentSize({200, 272.5f});
    scroll->setMinimumZoomScale(1.6f);
    scroll->setMaximumZoomScale(1.0f);
    scroll->setZoomScale(1.6f);
    EXPECT_EQ(scroll->zoomScale(), 1.6f);  // set as asked

    window->magnify({160, 200}, 0.5f);
    window->keyDown({Key::Minus});
    window->scrollWheel({{160, 200}, 0, -3, true});
    window->tap({160, 200});
    window->tap({160, 200});
    EXPECT_EQ(scroll->zoomScale(), 1.6f);
    EXPECT_EQ(scroll->contentOffset(), (Point{0, 0}));
}

TEST_F(ScrollViewTest, WheelAndKeysScrollByLinesAndPages) {
    showList();
    EXPECT_TRUE(window->scrollWheel({{160, 200}, 0, -2}));  // towards the user: further down
    EXPECT_EQ(scroll->contentOffset(), (Point{0, 80}));
    EXPECT_TRUE(window->scrollWheel({{160, 200}, 0, 0.5f}));  // a touchpad's half notch
    EXPECT_EQ(scroll->contentOffset(), (Point{0, 60}));
    EXPECT_FALSE(window->scrollWheel({{160, 20}, 0, -1}));  // above the scroll view

    window->keyDown({Key::Down});
    EXPECT_EQ(scroll->contentOffset().y, 100);
    window->keyDown({Key::PageDown});
    EXPECT_EQ(scroll->contentOffset().y, 100 + 436 - 40);
    window->keyDown({Key::Up});
    EXPECT_EQ(scroll->contentOffset().y, 456);
    window->keyDown({Key::End});
    EXPECT_EQ(scroll->contentOffset().y, 564);
    window->keyDown({Key::PageUp});
    EXPECT_EQ(scroll->contentOffset().y, 564 - 396);
    window->keyDown({Key::Home});
    EXPECT_EQ(scroll->contentOffset().y, 0);
    EXPECT_TRUE(screen->keys.empty());

    // What the scroll view cannot do goes on up the chain, and no one took it.
    EXPECT_FALSE(window->keyDown({Key::Up}));
    EXPECT_FALSE(window->keyDown({Key::Escape}));
    EXPECT_EQ(screen->keys, (std::vector<Key>{Key::Up, Key::Escape}));

    // Keys go to the first responder while there is one, and only to shown views.
    struct Field : Responder {
        bool keyDown(const KeyPress&) override { return true; }
    };
    auto field = std::make_shared<Field>();
    window->setFirstResponder(field);
    EXPECT_TRUE(window->keyDown({Key::Down}));
    EXPECT_EQ(scroll->contentOffset().y, 0);
    field.reset();
    EXPECT_TRUE(window->keyDown({Key::Down}));
    EXPECT_EQ(scroll->contentOffset().y, 40);
    scroll->setHidden(true);
    EXPECT_FALSE(window->keyDown({Key::Down}));
}

}  // namespace
}  // namespace platform::ui
