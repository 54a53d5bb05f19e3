#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <map>
#include <sstream>
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
        const auto name = display.start(screenSize());
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

    virtual std::string screenSize() const { return "1280x1024x24"; }
    virtual std::vector<std::string> scaleArguments() const { return {"--scale", "1"}; }

    void start() {
        const std::string album = (folder / "album").string();
        const std::string outbox = (folder / "outbox").string();
        // The screens' own lines, which these tests follow, are debug lines.
        std::vector<std::string> arguments{"orvex",      "--verbose", "--camera", "test",
                                           "--album",    album,       "--outbox", outbox,
                                           "--sendmail", "none"};
        for (const auto& argument : scaleArguments()) arguments.push_back(argument);
        std::vector<char*> argv;
        for (auto& argument : arguments) argv.push_back(argument.data());
        argv.push_back(nullptr);
        pid = fork();
        if (pid == 0) {
            setenv("DISPLAY", displayName.c_str(), 1);
            setenv("SDL_AUDIODRIVER", "dummy", 1);
            setenv("SDL_RENDER_DRIVER", "software", 1);
            setenv("XDG_CACHE_HOME", (folder / "cache").c_str(), 1);
            const auto err = (folder / "log").string();
            freopen(err.c_str(), "w", stderr);
            execv(ORVEX_TEST_BINARY_DIR "/orvex", argv.data());
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

// A desktop of 1024 × 768 with the scale left to Orvex.
class DesktopWindowTest : public WindowClicksTest {
  protected:
    std::string screenSize() const override { return "1024x768x24"; }
    std::vector<std::string> scaleArguments() const override { return {}; }

    std::map<std::string, int> geometry() {
        const auto shell = commandOutput("DISPLAY=" + displayName +
                                         " xdotool getwindowgeometry --shell " + window);
        std::map<std::string, int> values;
        std::istringstream lines(shell.value_or(""));
        for (std::string line; std::getline(lines, line);)
            if (const auto equals = line.find('='); equals != std::string::npos)
                values[line.substr(0, equals)] = std::atoi(line.c_str() + equals + 1);
        return values;
    }
};

TEST_F(DesktopWindowTest, OpensWhollyOnTheScreenLetterboxesWhenResizedAndQuitsOnControlQ) {
    auto shown = geometry();
    EXPECT_EQ(shown["WIDTH"], 480);  // 1.5 pixels a point: 2 would not fit 768 pixels
    EXPECT_EQ(shown["HEIGHT"], 720);
    EXPECT_GE(shown["X"], 0);
    EXPECT_GE(shown["Y"], 0);
    EXPECT_LE(shown["Y"] + shown["HEIGHT"], 768);

    xdotool("windowmove --sync " + window + " 0 40 windowsize --sync " + window + " 900 600");
    std::this_thread::sleep_for(300ms);
    const auto picture = windowPicture();
    ASSERT_TRUE(picture);
    const auto& pixels = (*picture)->pixels();
    ASSERT_EQ(pixels.width(), 900);
    EXPECT_EQ(pixels.pixel(100, 300) & 0xFFFFFF, 0u);  // the bars are black
    EXPECT_EQ(pixels.pixel(800, 300) & 0xFFFFFF, 0u);
    EXPECT_NE(pixels.pixel(450, 300) & 0xFFFFFF, 0u);  // the live picture between them
    click(450, 250);  // the picture's centre, 250 points down at 1.25 pixels a point
    EXPECT_TRUE(waitFor("TOUCH!")) << log();

    xdotool("windowfocus --sync " + window + " key ctrl+q");
    int status = 0;
    for (int i = 0; i < 100 && waitpid(pid, &status, WNOHANG) == 0; ++i)
        std::this_thread::sleep_for(50ms);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << log();
    pid = -1;
}

}  // namespace
}  // namespace e2e
