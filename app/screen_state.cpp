#include "app/screen_state.h"

namespace app {

namespace {

nlohmann::json soundCounts(const capture::OrvexViewController& screen) {
    nlohmann::json sounds = nlohmann::json::object();
    for (const auto& p : {screen.player, screen.beep, screen.slide})
        if (p) sounds[p->name()] = p->playCount();
    return sounds;
}

bool countdownShown(const capture::OrvexViewController& screen) {
    return screen.timeRemain && screen.timeRemain->superview() == screen.main;
}
}  // namespace

std::string topScreen(const Application& application) {
    const auto& screen = application.captureScreen();
    auto library = screen.modalViewController();
    if (!library) return "capture";
    auto shown = library->modalViewController();
    if (!shown && screen.pickerP && screen.pickerP->viewControllers().size() > 0)
        shown = screen.pickerP->topViewController();
    if (!shown) return "library";
    return shown->modalViewController() ? "mail" : "preview";
}

void closeTopScreen(Application& application) {
    auto& screen = application.captureScreen();
    const auto top = topScreen(application);
    if (top == "library") {
        screen.pickerP->cancel();
    } else if (top == "preview") {
        screen.preview->close();
    } else if (top == "mail") {
        screen.preview->modalViewController()->dismissModalViewControllerAnimated(true);
    }
}

nlohmann::json describeState(const Application& application) {
    const auto& screen = application.captureScreen();
    nlohmann::json state;
    state["mode"] = screen.selectedTag();
    state["value"] = screen.value;
    state["state"] = screen.state;
    state["s"] = static_cast<int>(screen.s);
    state["aTimer"] = screen.aTimer;
    state["nTimer"] = screen.nTimer;
    state["loop"] = screen.loop;
    state["timer"] = screen.timer != nullptr;
    state["sidebar"] = screen.sidebarIsOpen() ? "open" : "closed";
    state["flash"] = screen.picker ? screen.picker->cameraFlashMode() : 0;
    state["spinner"] = screen.activityIndicator != nullptr;
    state["tabBarEnabled"] = screen.tabBar && screen.tabBar->isUserInteractionEnabled();
    state["countdown"] = countdownShown(screen) ? nlohmann::json(screen.timeRemain->text())
                                                : nlohmann::json(nullptr);
    state["saved"] = screen.savesReported();
    state["screen"] = topScreen(application);
    state["sounds"] = soundCounts(screen);
    return state;
}

}  // namespace app
