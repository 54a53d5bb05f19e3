#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <thread>

#include "platform/graphics/decode_image.h"
#include "platform/graphics/jpeg_codec.h"
#include "platform/graphics/png_codec.h"
#include "run_orvex.h"
#include "tests/display/virtual_display.h"

namespace e2e {
namespace {

using namespace std::chrono_literals;

// The real binary in a real window on a virtual X display, clicked with xdotool as a user's
// mouse would.
class WindowClicksTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!commandExists("Xvfb") || !commandExists("xdotool"))
            GTEST_SKIP() << "needs Xvfb and xdotool (scripts/install-deps installs them)";
        folder = scratchFolder(::testing::UnitTest::GetInstance()->current_test_info()->name());
        const auto name = display.start();
        ASSERT_TRUE(name) << "Xvfb did not start";
        displayName = *name;
        start();
    }
    void TearDown() override {
        if (pid > 0) {
            kill(pid, SIGTERM);  // SDL turns it into a quit
            int status = 0;
            waitpid(pid, &status, 0);
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << log();
        }
        std::filesystem::remove_all(folder);
    }

    void start() {
        pid = fork();
        if (pid == 0) {
            setenv("DISPLAY", displayName.c_str(), 1);
            setenv("SDL_AUDIODRIVER", "dummy", 1);
            setenv("SDL_RENDER_DRIVER", "software", 1);
            setenv("XDG_CACHE_HOME", (folder / "cache").c_str(), 1);
            const auto err = (folder / "log").string();
            freopen(err.c_str(), "w", stderr);
            const std::string album = (folder / "album").string();
            const std::string outbox = (folder / "outbox").string();
            execl(ORVEX_TEST_BINARY_DIR "/orvex", "orvex", "--camera", "test", "--scale", "1",
                  "--album", album.c_str(), "--outbox", outbox.c_str(), "--sendmail", "none",
                  static_cast<char*>(nullptr));
            _exit(127);
        }
        const auto id = commandOutput(
            "DISPLAY=" + displayName +
            " timeout 20 xdotool search --sync --onlyvisible --classname '^orvex$' | head -1");
        ASSERT_TRUE(id && !id->empty()) << "no window appeared:\n" << log();
        window = *id;
        waitFor("Camera:");
        std::this_thread::sleep_for(300ms);  // the start-up timer has shown the live picture
    }

    std::string log() const { return readFile(folder / "log"); }

    void click(int x, int y) {
        const auto command = "DISPLAY=" + displayName + " xdotool mousemove --window " + window +
                             " " + std::to_string(x) + " " + std::to_string(y) + " click 1";
        ASSERT_EQ(std::system(command.c_str()), 0);
        std::this_thread::sleep_for(150ms);
    }

    // Waits, a few seconds at most, until the log holds the line `count` times.
    bool waitFor(const std::string& text, int count = 1, std::chrono::seconds limit = 15s) {
        const auto giveUp = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < giveUp) {
            const auto l = log();
            int found = 0;
            for (auto at = l.find(text); at != std::string::npos; at = l.find(text, at + 1))
                ++found;
            if (found >= count) return true;
            std::this_thread::sleep_for(50ms);
        }
        return false;
    }

    std::size_t photographs() const { return picturesIn(folder / "album").size(); }

    void xdotool(const std::string& actions) {
        const auto command = "DISPLAY=" + displayName + " xdotool " + actions;
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
        std::this_thread::sleep_for(300ms);
    }

    // The window as the X server shows it, read back through ImageMagick's `import`.
    std::optional<platform::graphics::ImagePtr> windowPicture() {
        const auto path = folder / "window.png";
        const auto command = "DISPLAY=" + displayName + " import -window " + window +
                             " png:" + path.string() + " 2>/dev/null";
        if (std::system(command.c_str()) != 0) return std::nullopt;
        const auto bytes = readFile(path);
        auto decoded = platform::graphics::decodePng(
            {reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()});
        if (!decoded) return std::nullopt;
        return decoded.value();
    }

    VirtualDisplay display;

    std::string displayName;
    std::filesystem::path folder;
    std::string window;
    pid_t pid = -1;
};

TEST_F(WindowClicksTest, TimerTabThenAClickOnThePictureGivesOnePhotograph) {
    click(160, 452);
    EXPECT_TRUE(waitFor(": selected: 3")) << log();
    click(160, 200);
    EXPECT_TRUE(waitFor(": 3 loop")) << log();
    EXPECT_TRUE(waitFor(": Should save", 1, 10s)) << log();
    std::this_thread::sleep_for(1500ms);
    EXPECT_EQ(photographs(), 1u);
}

TEST_F(WindowClicksTest, PresetChosenOnTheSidebarSetsThePhotographSize) {
    click(30, 218);  // the sidebar button
    std::this_thread::sleep_for(700ms);
    click(56, 112);  // "5 MPX"
    EXPECT_TRUE(waitFor(": 5 MPX")) << log();
    click(250, 200);  // closes the sidebar and shoots
    EXPECT_TRUE(waitFor(": TOUCH!")) << log();
    ASSERT_TRUE(waitFor(": Should save", 1, 10s)) << log();
    const auto pictures = picturesIn(folder / "album");
    ASSERT_EQ(pictures.size(), 1u);
    auto decoded = platform::graphics::decodeImageFile(pictures[0]);
    ASSERT_TRUE(decoded.ok());
    EXPECT_EQ(decoded.value()->size(), (platform::foundation::Size{1936, 2584}));
}

// Four quadrants, red, green, blue and white, in the proportions of the preview's frame.
void writeQuadrantPhoto(const std::filesystem::path& path) {
    using platform::graphics::PixelBuffer;
    PixelBuffer pixels(640, 872, PixelBuffer::Format::Rgb24);
    const std::uint32_t colours[] = {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFFFFFFFFu};
    for (int y = 0; y < 872; ++y)
        for (int x = 0; x < 640; ++x) pixels.setPixel(x, y, colours[(y >= 436) * 2 + (x >= 320)]);
    const auto jpeg = platform::graphics::encodeJpeg(pixels, 95).value();
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(jpeg.data()),
               static_cast<std::streamsize>(jpeg.size()));
}

// The colour a pixel is closest to among the four.
char colourAt(const platform::graphics::Image& picture, int x, int y) {
    const std::uint32_t p = picture.pixels().pixel(x, y);
    const int r = p >> 16 & 0xFF, g = p >> 8 & 0xFF, b = p & 0xFF;
    if (r > 200 && g > 200 && b > 200) return 'W';
    if (r > 200) return 'R';
    if (g > 200) return 'G';
    if (b > 200) return 'B';
    return '?';
}

TEST_F(WindowClicksTest, AlbumPhotoClickedZoomedWithTheWheelAndDragged) {
    if (!commandExists("import")) GTEST_SKIP() << "needs ImageMagick's import";
    std::filesystem::create_directories(folder / "album");
    writeQuadrantPhoto(folder / "album" / "IMG_quadrants.jpg");
    click(288, 452);  // Library
    ASSERT_TRUE(waitFor(": selected: 5")) << log();
    std::this_thread::sleep_for(500ms);
    click(39, 83);  // the first cell
    ASSERT_TRUE(waitFor(": done")) << log();
    auto whole = windowPicture();
    ASSERT_TRUE(whole) << "no window picture";
    // Fully zoomed out, the photo fills the frame below the bar.
    EXPECT_EQ(colourAt(**whole, 80, 150), 'R');
    EXPECT_EQ(colourAt(**whole, 240, 400), 'W');

    // Ctrl + wheel zooms in about the pointer, up to the photo's own size: about the frame's
    // top-left corner, the red quadrant fills the frame.
    xdotool("mousemove --window " + window +
            " 1 45 keydown ctrl click 4 click 4 click 4 "
            "click 4 keyup ctrl");
    auto zoomed = windowPicture();
    ASSERT_TRUE(zoomed);
    EXPECT_EQ(colourAt(**zoomed, 20, 60), 'R');
    EXPECT_EQ(colourAt(**zoomed, 300, 470), 'R');

    // Dragging to the left brings the green quadrant in from the right.
    xdotool("mousemove --window " + window + " 300 250 mousedown 1 mousemove --window " + window +
            " 200 250 mousemove --window " + window + " 100 250 mouseup 1");
    std::this_thread::sleep_for(500ms);  // settled
    auto dragged = windowPicture();
    ASSERT_TRUE(dragged);
    EXPECT_EQ(colourAt(**dragged, 20, 250), 'R');
    EXPECT_EQ(colourAt(**dragged, 300, 250), 'G');
}

TEST_F(WindowClicksTest, AnAddressTypedIntoTheComposerGoesIntoTheMessage) {
    std::filesystem::create_directories(folder / "album");
    writeQuadrantPhoto(folder / "album" / "IMG_quadrants.jpg");
    click(288, 452);  // Library
    ASSERT_TRUE(waitFor(": selected: 5")) << log();
    std::this_thread::sleep_for(500ms);
    click(39, 83);
    ASSERT_TRUE(waitFor(": done")) << log();
    click(276, 22);  // E-mail
    ASSERT_TRUE(waitFor(": asd>>>")) << log();
    std::this_thread::sleep_for(500ms);
    xdotool("type --window " + window + " 'carol@example.com'");
    click(290, 22);  // Send
    ASSERT_TRUE(waitFor("queue")) << log();
    std::vector<std::filesystem::path> messages;
    for (const auto& entry : std::filesystem::directory_iterator(folder / "outbox" / "queue"))
        messages.push_back(entry.path());
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(readFile(messages[0]).find("To: carol@example.com"), std::string::npos);
}

}  // namespace
}  // namespace e2e
