#include <gtest/gtest.h>

#include "platform/display/keyboard.h"
#include "platform/display/keyboard_touches.h"
#include "platform/foundation/log.h"
#include "tests/display/window_fixture.h"

namespace {

using platform::display::keyNamed;
using platform::display::keyNames;
using platform::display::livePictureTouchPoint;
using platform::display::pressDigit;
using platform::display::pressKey;
using platform::display::tabItemTouchPoint;
using platform::foundation::Point;
using platform::foundation::SystemLog;
using platform::ui::Key;
using window_fixture::ProbeScreen;

// Names are whole words in any case; every name keyNames() lists is one that works.
TEST(KeyNames, AreFoundInAnyCaseAndEveryListedNameWorks) {
    EXPECT_EQ(keyNamed("pagedown").value().key, Key::PageDown);
    EXPECT_EQ(keyNamed("+").value().key, Key::Plus);
    EXPECT_EQ(keyNamed("Enter").value().key, Key::Return);
    for (const char* unknown : {"", "Pag", "PageDownX", "F1", "1"})
        EXPECT_FALSE(keyNamed(unknown)) << unknown;
    const std::string listed = keyNames();
    for (std::size_t start = 0, end = 0; start < listed.size(); start = end + 2) {
        end = std::min(listed.find(", ", start), listed.size());
        EXPECT_TRUE(keyNamed(listed.substr(start, end - start))) << listed.substr(start, end);
    }
}

// A key stands in for a finger only while none is down, and only for what no responder takes.
TEST(PressingKeys, AKeyNeitherLiftsAFingerThatIsDownNorPassesAResponderThatTakesIt) {
    ProbeScreen screen;
    SystemLog::Capture log;
    int escapes = 0;
    const std::function<void()> escape = [&] { ++escapes; };
    screen.window->touchDown({274, 35});
    EXPECT_FALSE(pressKey(*screen.window, {Key::Space}, escape));
    EXPECT_FALSE(pressDigit(*screen.window, 2));
    EXPECT_TRUE(screen.flash->isHighlighted());
    screen.window->touchUp({274, 35});
    EXPECT_EQ(log.lines(), std::vector<std::string>{"flash pressed"});

    struct Field : platform::ui::Responder {
        bool keyDown(const platform::ui::KeyPress&) override { return true; }
    };
    const auto field = std::make_shared<Field>();
    screen.window->setFirstResponder(field);
    EXPECT_TRUE(pressKey(*screen.window, {Key::Escape}, escape));
    EXPECT_TRUE(pressKey(*screen.window, {Key::Space}, escape));
    EXPECT_EQ(escapes, 0);
    EXPECT_EQ(log.lines().size(), 1u);
}

// The picture is touched in the middle of what shows above the tab bar, an item in its
// middle; both where the window shows them, and only while they are shown.
TEST(KeyboardTouches, PointsAreTheCentresOfThePictureAboveTheBarAndOfTheItems) {
    ProbeScreen screen;
    screen.tabBar->setFrame({0, 380, 320, 55});
    screen.live().setFrame({0, 20, 320, 460});
    // The bar lies in the live picture's overlay: at 20 + 380 in the window.
    EXPECT_EQ(tabItemTouchPoint(*screen.window, 1), (Point{96, 427.5f}));
    EXPECT_EQ(tabItemTouchPoint(*screen.window, 5), std::nullopt);
    EXPECT_EQ(livePictureTouchPoint(*screen.window), (Point{160, 210}));  // 20 .. 400
    screen.overlay->setHidden(true);
    EXPECT_EQ(tabItemTouchPoint(*screen.window, 0), std::nullopt);
    EXPECT_EQ(livePictureTouchPoint(*screen.window), (Point{160, 250}));  // no bar now
    screen.live().setHidden(true);
    EXPECT_EQ(livePictureTouchPoint(*screen.window), std::nullopt);
}

}  // namespace
