#include "app/application_main.h"

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <iostream>

#include "app/application.h"
#include "app/headless_driver.h"
#include "app/options.h"
#include "app/screen_state.h"
#include "platform/display/headless_screen.h"
#include "platform/display/sdl_window.h"
#include "platform/foundation/bundle.h"
#include "platform/foundation/clock.h"
#include "platform/foundation/language.h"
#include "platform/foundation/log.h"
#include "platform/foundation/run_loop.h"
#include "platform/graphics/memory_budget.h"
#include "platform/media/camera_picker_service.h"
#include "platform/media/mail_transport.h"
#include "platform/media/services.h"
#include "platform/ui/image_named.h"

namespace app {

namespace {

std::optional<platform::graphics::ImageOrientation> orientationNamed(const std::string& name) {
    using platform::graphics::ImageOrientation;
    if (name == "up") return ImageOrientation::Up;
    if (name == "down") return ImageOrientation::Down;
    if (name == "left") return ImageOrientation::Left;
    if (name == "right") return ImageOrientation::Right;
    return std::nullopt;
}

void configureMail(const Options& options) {
    auto settings = platform::media::MailTransport::defaultSettings();
    if (options.sendmail == "none")
        settings.sendmail.reset();
    else if (!options.sendmail.empty())
        settings.sendmail = options.sendmail;
    if (!options.outbox.empty()) settings.outbox = options.outbox;
    if (!options.from.empty()) settings.from = options.from;
    platform::media::MailTransport::configure(std::move(settings));
}

// Developer lines are for whoever asks for them; warnings and errors always show.
void configureLog(const Options& options) {
    const char* debug = std::getenv("ORVEX_DEBUG");
    const bool verbose = options.verbose || (debug && *debug && std::string(debug) != "0");
    if (verbose)
        platform::foundation::SystemLog::setThreshold(platform::foundation::LogLevel::Debug);
    const auto& bundle = platform::foundation::Bundle::main();
    platform::foundation::logDebug("resources: %@; translations: %@",
                                   bundle.folders().front().string(), bundle.catalogues().string());
}

void configurePlatform(const Options& options) {
    configureLog(options);
    if (options.memoryBudget != 0)
        platform::graphics::setMemoryBudget(std::uint64_t{options.memoryBudget} << 20);
    configureMail(options);
}

// The camera, the album and the clock of this run.
platform::media::ServiceSettings serviceSettings(const Options& options) {
    platform::media::ServiceSettings settings;
    if (options.virtualClock)
        settings.clock = std::make_shared<platform::foundation::VirtualClock>();
    settings.camera.device = options.camera;
    settings.camera.orientation = orientationNamed(options.cameraOrientation);
    settings.album = options.album;
    return settings;
}

int runHeadless(Application& application, const Options& options) {
    platform::display::HeadlessScreen screen(application.delegate().window,
                                             platform::ui::screenScale());
    HeadlessDriver driver(application, std::cout, std::cerr,
                          [&screen](const std::string& path) { return screen.screenshot(path); });
    if (options.script.empty()) return driver.run(std::cin);
    std::ifstream script(options.script);
    return driver.run(script);
}

int runWindow(Application& application, platform::display::SdlWindow& window) {
    window.setEscapeHandler([&application] { closeTopScreen(application); });
    window.show(application.delegate().window);
    return platform::foundation::RunLoop::main().run();
}

}  // namespace

int applicationMain(int argc, char** argv) {
    // A write beyond the file-size limit is then an ordinary failed write, which the album
    // reports and recovers from, instead of a signal that ends the process mid-save.
    std::signal(SIGXFSZ, SIG_IGN);
    platform::foundation::chooseLanguageFromEnvironment();
    const auto parsed = parseOptions(argc, argv);
    if (parsed.exitStatus) return *parsed.exitStatus;
    const Options& options = parsed.options;
    configurePlatform(options);
    platform::media::Services services(serviceSettings(options));
    // The window decides the scale of the pictures, so it opens before anything loads them.
    std::unique_ptr<platform::display::SdlWindow> window;
    if (options.headless) {
        platform::ui::setScreenScale(options.scale == 0 ? 1.0f : static_cast<float>(options.scale));
    } else {
        std::string error;
        platform::display::WindowOptions windowOptions;
        if (options.scale != 0) windowOptions.scale = static_cast<float>(options.scale);
        window = platform::display::SdlWindow::open(windowOptions, error);
        if (!window) {
            std::cerr << "orvex: cannot open a window: " << error << " (try --headless)"
                      << std::endl;
            return 1;
        }
    }
    std::unique_ptr<Application> application;
    try {
        application = Application::launch();
    } catch (const platform::ui::InterfaceError& e) {
        std::cerr << "orvex: cannot start: " << e.what() << std::endl;
        return 1;
    }
    platform::foundation::logInfo("Orvex " ORVEX_VERSION ": camera %@; photos go to %@",
                                  platform::media::CameraPickerService::cameraDescription(),
                                  services.album().folder().string());
    return window ? runWindow(*application, *window) : runHeadless(*application, options);
}

}  // namespace app
