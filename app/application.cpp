#include "app/application.h"

#include <fstream>
#include <nlohmann/json.hpp>

#include "app/interface_classes.h"
#include "platform/foundation/bundle.h"
#include "platform/media/save_problem_notice.h"
#include "platform/media/services.h"

namespace app {

namespace {
using platform::ui::InterfaceError;

std::string mainInterfaceName() {
    const auto path = platform::foundation::Bundle::main().pathForResource("Info", "json");
    if (!path)
        throw InterfaceError(
            "application settings \"Info.json\": not found among the application's resources");
    try {
        std::ifstream in(*path);
        const auto settings = nlohmann::json::parse(in);
        return settings.at("MainInterface").get<std::string>();
    } catch (const nlohmann::json::exception& e) {
        throw InterfaceError(std::string("application settings \"Info.json\" are malformed: ") +
                             e.what());
    }
}

// The capture screen says why photographs cannot be saved, from the first failed save until
// one is saved again (also by a later attempt of the album's own).
void showSaveProblems(const std::shared_ptr<capture::OrvexViewController>& screen) {
    auto& album = platform::media::Services::current().album();
    std::weak_ptr<capture::OrvexViewController> weak = screen;
    album.setProblemHandler([weak](const std::optional<std::string>& cause) {
        if (auto shown = weak.lock(); shown && shown->main)
            platform::media::showSaveProblem(*shown->main, cause);
    });
    if (screen->main) platform::media::showSaveProblem(*screen->main, album.saveProblem());
}
}  // namespace

std::unique_ptr<Application> Application::launch() {
    registerInterfaceClasses();
    auto application = std::unique_ptr<Application>(new Application);
    const auto name = mainInterfaceName();
    application->objects_ = platform::ui::InterfaceLoader::load(name);
    for (const auto& [id, object] : application->objects_) {
        if (dynamic_cast<OrvexAppDelegate*>(object.connectable))
            application->delegate_ = std::static_pointer_cast<OrvexAppDelegate>(object.object);
    }
    auto& delegate = application->delegate_;
    if (!delegate || !delegate->window || !delegate->viewController)
        throw InterfaceError(
            "interface resource \"" + name +
            ".json\": no application delegate connected to a window and a capture screen");
    delegate->applicationDidFinishLaunchingWithOptions();
    showSaveProblems(delegate->viewController);
    return application;
}

}  // namespace app
