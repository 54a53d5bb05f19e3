#include <gtest/gtest.h>

#include "platform/display/keyboard.h"
#include "platform/display/keyboard_touches.h"
#include "platform/foundation/log.h"
#include "platform/ui/scroll_view.h"
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

TEST(KeyNames, AreFoundInAnyCaseAndEveryKeyIsListedOnce) {
    const std::pair<const char*, Key> named[] = {{"pagedown", Key::PageDown},
                                                 {"HOME", Key::Home},
                                                 {"+", Key::Plus},
                                                 {"Enter", Key::Return},
                                                 {"space", Key::Space}};
    for (const auto& [name, key] : named) {
        SCOPED_TRACE(name);
        const auto found = keyNamed(name);
        ASSERT_TRUE(found);
        EXPECT_EQ(found->key, key);
        EXPECT_FALSE(found->ctrl || found->shift);
    }
    for (const char* unknown : {"", "Pag", "PageDownX", "F1", "1"})
        EXPECT_FALSE(keyNamed(unknown)) << unknown;

    // Every listed name is one that works.
    const std::string listed = keyNames();
    for (std::size_t start = 0, end = 0; start < listed.size(); start = end + 2) {
        end = std::min(listed.find(", ", start), listed.size());
        EXPECT_TRUE(keyNamed(listed.substr(start, end - start))) << listed.substr(start, end);
    }
}

class PressingKeys : public testing::Test {
  protected:
    ProbeScreen screen_;
    SystemLog::Capture log_;
    int escapes_ = 0;
    std::function<void()> escape_ = [this] { ++escapes_; };
};

TEST_F(PressingKeys, AKeyNeverLiftsAFingerThatIsDown) {
    screen_.window->touchDown({274, 35});
    EXPECT_FALSE(pressKey(*screen_.window, {Key::Space}, escape_));
    EXPECT_FALSE(pressDigit(*screen_.window, 2));
    EXPECT_TRUE(screen_.flash->isHighlighted());
    screen_.window->touchUp({274, 35});
    EXPECT_EQ(log_.lines(), std::vector<std::string>{"flash pressed"});
}

TEST_F(PressingKeys, AResponderThatTakesTheKeyKeepsItFromTheKeyboard) {
    struct Field : platform::ui::Responder {
        std::vector<Key> keys;
        bool keyDown(const platform::ui::KeyPress& press) override {
            keys.push_back(press.key);
            return press.key != Key::Tab;
        }
    };
    auto field = std::make_shared<Field>();
    screen_.window->setFirstResponder(field);
    EXPECT_TRUE(pressKey(*screen_.window, {Key::Escape}, escape_));
    EXPECT_TRUE(pressKey(*screen_.window, {Key::Space}, escape_));
    EXPECT_FALSE(pressKey(*screen_.window, {Key::Tab}, escape_));  // nothing else takes Tab
    EXPECT_EQ(field->keys, (std::vector<Key>{Key::Escape, Key::Space, Key::Tab}));
    EXPECT_EQ(escapes_, 0);
    EXPECT_TRUE(log_.lines().empty());
}

TEST(KeyboardTouches, PointsAreTheCentresOfThePictureAboveTheBarAndOfTheItems) {
    ProbeScreen screen;
    EXPECT_EQ(livePictureTouchPoint(*screen.window), (Point{160, 212.5f}));
    for (std::size_t i = 0; i < 5; ++i)
        EXPECT_EQ(tabItemTouchPoint(*screen.window, i), (Point{32.0f + 64.0f * i, 452.5f}));
    EXPECT_EQ(tabItemTouchPoint(*screen.window, 5), std::nullopt);

    screen.tabBar->setFrame({0, 380, 320, 55});
    screen.live().setFrame({0, 20, 320, 460});
    // The bar lies in the live picture's overlay: at 20 + 380 in the window.
    EXPECT_EQ(tabItemTouchPoint(*screen.window, 1), (Point{96, 427.5f}));
    EXPECT_EQ(livePictureTouchPoint(*screen.window), (Point{160, 210}));  // 20 .. 400
    // Only what is shown counts.
    screen.overlay->setHidden(true);
    EXPECT_EQ(tabItemTouchPoint(*screen.window, 0), std::nullopt);
    EXPECT_EQ(livePictureTouchPoint(*screen.window), (Point{160, 250}));  // no bar now
    screen.live().setHidden(true);
    EXPECT_EQ(livePictureTouchPoint(*screen.window), std::nullopt);
}

}  // namespace
