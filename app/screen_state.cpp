#include "app/screen_state.h"

#include "platform/media/album_browser.h"
#include "platform/media/save_problem_notice.h"
#include "platform/media/services.h"

namespace app {

namespace {

nlohmann::json soundCounts(const capture::OrvexViewController& screen) {
    nlohmann::json sounds = nlohmann::json::object();
    for (const auto& p : {screen.player, screen.beep, screen.slide})
        if (p) sounds[p->name()] = p->playCount();
    if (screen.picker && screen.picker->shutterSound())
        sounds["shutter"] = screen.picker->shutterSound()->playCount();
    return sounds;
}

// The album grid as the library shows it; null until the library is first shown.
nlohmann::json libraryState(const capture::OrvexViewController& screen) {
    const auto browser = screen.pickerP ? screen.pickerP->albumBrowser() : nullptr;
    if (!browser) return nullptr;
    return {{"count", browser->count()}, {"thumbnails", browser->thumbnailsReady()}};
}

nlohmann::json previewState(const capture::OrvexViewController& screen) {
    const auto& preview = screen.preview;
    if (!preview || !preview->scrollView) return nullptr;
    const auto& scroll = *preview->scrollView;
    const auto& shown = preview->imageView ? preview->imageView->image() : nullptr;
    return {{"zoom", scroll.zoomScale()},
            {"minZoom", scroll.minimumZoomScale()},
            {"maxZoom", scroll.maximumZoomScale()},
            {"offset", {scroll.contentOffset().x, scroll.contentOffset().y}},
            {"content", {scroll.contentSize().width, scroll.contentSize().height}},
            {"picture", shown ? nlohmann::json{shown->size().width, shown->size().height}
                              : nlohmann::json(nullptr)},
            {"busy", preview->activityIndicator != nullptr || preview->isPreparingPicture()}};
}

// The mail composer over the preview, as the user has filled it; null when none shows.
nlohmann::json mailState(const capture::OrvexViewController& screen) {
    const auto composer =
        screen.preview ? std::dynamic_pointer_cast<platform::media::MailComposeViewController>(
                             screen.preview->modalViewController())
                       : nullptr;
    if (!composer) return nullptr;
    nlohmann::json attachment = nullptr;
    if (const auto info = composer->attachment())
        attachment = {{"name", info->name}, {"type", info->type}, {"bytes", info->bytes}};
    return {{"to", composer->to()},           {"subject", composer->subject()},
            {"body", composer->body()},       {"attachment", attachment},
            {"canSend", composer->canSend()}, {"sending", composer->isSending()}};
}

// The notice of photographs that cannot be saved, as the capture screen shows it; null when none.
nlohmann::json saveNotice(const capture::OrvexViewController& screen) {
    const auto notice = screen.main ? platform::media::saveProblemNotice(*screen.main) : nullptr;
    return notice ? nlohmann::json(notice->text()) : nlohmann::json(nullptr);
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
    // Photographs in the album or the fallback folder, held in memory for another attempt,
    // and lost.
    const auto& album = platform::media::Services::current().album();
    state["saved"] = album.savedCount();
    state["pending"] = album.pendingCount();
    state["failed"] = album.failedCount();
    state["saveNotice"] = saveNotice(screen);
    state["screen"] = topScreen(application);
    state["sounds"] = soundCounts(screen);
    state["library"] = libraryState(screen);
    state["preview"] = previewState(screen);
    state["mail"] = mailState(screen);
    return state;
}

}  // namespace app
