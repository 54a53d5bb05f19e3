#include <gtest/gtest.h>

#include "platform/display/keyboard.h"
#include "platform/foundation/log.h"
#include "platform/ui/scroll_view.h"
#include "tests/display/window_fixture.h"

namespace {

using platform::display::keyNamed;
using platform::display::keyNames;
using platform::display::pressDigit;
using platform::display::pressKey;
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

    // Every listed name is one that works, one per key.
    const std::string listed = keyNames();
    int names = 0;
    for (std::size_t start = 0; start < listed.size();) {
        const auto end = std::min(listed.find(", ", start), listed.size());
        EXPECT_TRUE(keyNamed(listed.substr(start, end - start))) << listed.substr(start, end);
        ++names;
        start = end + 2;
    }
    EXPECT_EQ(names, 16);
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

}  // namespace
