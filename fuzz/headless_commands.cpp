// Headless command scripts, line by line through HeadlessDriver::execute, over the whole
// application as `orvex --headless --virtual-clock` runs it: a fresh launch per input, a
// scripted camera, and an album, cache, outbox and home folder of the fuzzer's own, so
// that no input touches the user's files or sends a message.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>

#include "app/application.h"
#include "app/headless_driver.h"
#include "fuzz/scratch_folder.h"
#include "platform/display/headless_screen.h"
#include "platform/foundation/clock.h"
#include "platform/foundation/run_loop.h"
#include "platform/graphics/image.h"
#include "platform/media/camera_picker_service.h"
#include "platform/media/mail_transport.h"
#include "platform/media/services.h"
#include "platform/ui/image_named.h"
#include "tests/support/scripted_camera_source.h"

namespace fs = std::filesystem;
using platform::foundation::RunLoop;
using platform::graphics::Image;
using platform::graphics::ImageOrientation;
using platform::graphics::ImagePtr;
using platform::graphics::PixelBuffer;

namespace {

fs::path gScratch;

// ORVEX_FUZZ_VERBOSE=1 shows what the driver printed, for a look at one input.
bool verbose() {
    static const bool shown = std::getenv("ORVEX_FUZZ_VERBOSE") != nullptr;
    return shown;
}

fs::path album() {
    return gScratch / "album";
}

// The camera's frames: small, so that a photograph costs little, and stored sideways as a
// phone held upright stores them.
ImagePtr cameraFrame() {
    static const ImagePtr frame = [] {
        auto pixels = std::make_shared<PixelBuffer>(64, 48, PixelBuffer::Format::Rgb24);
        for (int y = 0; y < 48; ++y)
            for (int x = 0; x < 64; ++x)
                pixels->setPixel(x, y, 0xFF000000u | std::uint32_t(x * 4) << 16 | y * 5u << 8);
        return std::make_shared<const Image>(pixels, ImageOrientation::Right, 1.0f);
    }();
    return frame;
}

// Virtual time costs nothing, but what happens in it does: a time-lapse takes a photograph
// every 15 seconds of it, and `wait` allows a month. Each input stops at this much.
constexpr double kSecondsPerInput = 300;

// Whether the script goes on: it ends before a `wait` that would take the clock past the
// input's time, or once the clock has got there by other means.
bool withinTime(std::string_view line) {
    const double now = RunLoop::main().now();
    if (now >= kSecondsPerInput) return false;
    std::istringstream words{std::string(line)};
    std::string command, argument, extra;
    if (!(words >> command >> argument) || command != "wait" || words >> extra) return true;
    return !(now + std::strtod(argument.c_str(), nullptr) > kSecondsPerInput);
}

// A command that cannot run says so in one line that names its line, whatever it held: what
// a script's author reads, and what a program driving Orvex parses.
bool oneLinePerError(const std::string& errors, int lines) {
    std::istringstream reported(errors);
    int count = 0;
    for (std::string line; std::getline(reported, line); ++count) {
        if (!line.starts_with("orvex: line ")) return false;
    }
    return count <= lines;
}

// Every folder the application would take from the environment is the fuzzer's own.
void isolate() {
    gScratch = fuzz::scratchFolder(fs::temp_directory_path(), "orvex-fuzz-headless");
    setenv("HOME", gScratch.c_str(), 1);
    for (const char* name : {"XDG_CACHE_HOME", "XDG_STATE_HOME", "XDG_DATA_HOME"})
        setenv(name, (gScratch / name).c_str(), 1);
    setenv("ORVEX_DEVICE_MODEL", "iPhone3,1", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    unsetenv("ORVEX_SENDMAIL");
    unsetenv("EMAIL");
}

// Messages are only ever queued in the outbox: nothing leaves the machine.
void configureMail() {
    platform::media::MailSettings settings;
    settings.sendmail.reset();
    settings.outbox = gScratch / "outbox";
    platform::media::MailTransport::configure(std::move(settings));
}

// State that one input leaves behind must not change what the next one does.
void clearFolders() {
    std::error_code ignored;
    for (const char* folder : {"album", "XDG_CACHE_HOME", "XDG_STATE_HOME", "outbox"})
        fs::remove_all(gScratch / folder, ignored);
}

struct Session {
    Session() {
        clearFolders();
        camera = std::make_shared<platform::media::ScriptedCameraSource>(RunLoop::main());
        world = std::make_unique<platform::media::Services>(platform::media::ServiceSettings{
            .clock = std::make_shared<platform::foundation::VirtualClock>(),
            .cameraSource = camera,
            .album = album()});
        application = app::Application::launch();
        screen = std::make_unique<platform::display::HeadlessScreen>(application->delegate().window,
                                                                     platform::ui::screenScale());
        camera->deliverFrame(cameraFrame());
    }
    ~Session() {
        RunLoop::main().runFor(0.0);  // saves under way finish
        screen.reset();
        application.reset();
        world.reset();
    }

    // Script names are not paths to write to: every screenshot goes to the same scratch file.
    std::optional<std::string> screenshot(const std::string&) {
        return screen->screenshot(gScratch / "screenshot.png");
    }

    std::shared_ptr<platform::media::ScriptedCameraSource> camera;
    std::unique_ptr<platform::media::Services> world;
    std::unique_ptr<app::Application> application;
    std::unique_ptr<platform::display::HeadlessScreen> screen;
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    isolate();
    configureMail();
    platform::ui::setScreenScale(1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Session session;
    std::ostringstream out, errors;
    app::HeadlessDriver driver(
        *session.application, out, errors,
        [&session](const std::string& path) { return session.screenshot(path); });
    // Lines as std::getline splits them, numbered from 1.
    const std::string_view script(reinterpret_cast<const char*>(data), size);
    int lineNumber = 0;
    for (std::size_t start = 0; start < script.size();) {
        std::size_t end = script.find('\n', start);
        if (end == std::string_view::npos) end = script.size();
        const std::string_view line = script.substr(start, end - start);
        ++lineNumber;
        if (!withinTime(line)) break;
        if (!driver.execute(std::string(line), lineNumber)) break;
        if (RunLoop::main().quitRequested()) break;
        // A camera streams: after a command that started it again, a frame comes.
        session.camera->deliverFrame(cameraFrame());
        start = end + 1;
    }
    if (verbose()) std::fprintf(stderr, "%s%s", out.str().c_str(), errors.str().c_str());
    if (!oneLinePerError(errors.str(), lineNumber)) __builtin_trap();
    return 0;
}
