#include "app/application_main.h"

#include <clocale>
#include <fstream>
#include <iostream>

#include "app/application.h"
#include "app/headless_driver.h"
#include "app/options.h"
#include "platform/foundation/clock.h"
#include "platform/foundation/run_loop.h"
#include "platform/media/camera_picker_service.h"
#include "platform/media/shared_album.h"
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

void configureAlbum(const Options& options) {
    if (!options.album.empty()) platform::media::sharedAlbum().setFolder(options.album);
}

void configurePlatform(const Options& options) {
    auto& loop = platform::foundation::RunLoop::main();
    if (options.virtualClock) loop.setClock(std::make_shared<platform::foundation::VirtualClock>());
    platform::media::CameraPickerService::setCameraOptions(
        {options.camera, orientationNamed(options.cameraOrientation)});
    configureAlbum(options);
}

HeadlessDriver::Screenshot headlessScreenshot(Application&, const Options&) {
    return {};
}

int runWindow(Application&, const Options&) {
    std::cerr << "orvex: no window back end yet; use --headless" << std::endl;
    return 1;
}

int runHeadless(Application& application, const Options& options) {
    HeadlessDriver driver(application, std::cout, std::cerr,
                          headlessScreenshot(application, options));
    if (options.script.empty()) return driver.run(std::cin);
    std::ifstream script(options.script);
    return driver.run(script);
}

}  // namespace

int applicationMain(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    const auto parsed = parseOptions(argc, argv);
    if (parsed.exitStatus) return *parsed.exitStatus;
    const Options& options = parsed.options;
    configurePlatform(options);
    std::unique_ptr<Application> application;
    try {
        application = Application::launch();
    } catch (const platform::ui::InterfaceError& e) {
        std::cerr << "orvex: cannot start: " << e.what() << std::endl;
        return 1;
    }
    const int status =
        options.headless ? runHeadless(*application, options) : runWindow(*application, options);
    // The camera's threads post to the main loop: close it while the loop still exists.
    platform::media::CameraPickerService::useCamera(nullptr);
    return status;
}

}  // namespace app
