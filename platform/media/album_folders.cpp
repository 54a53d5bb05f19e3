#include "platform/media/album_folders.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace platform::media {

namespace {

std::filesystem::path home() {
    const char* value = std::getenv("HOME");
    return value && *value ? std::filesystem::path(value) : std::filesystem::path("/tmp");
}

// xdg-user-dir answers the home folder itself when no Pictures folder is configured.
std::filesystem::path configuredPicturesFolder() {
    FILE* pipe = popen("xdg-user-dir PICTURES 2>/dev/null", "r");
    if (!pipe) return {};
    std::string answer;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe)) answer += buffer;
    pclose(pipe);
    while (!answer.empty() && (answer.back() == '\n' || answer.back() == '\r')) answer.pop_back();
    if (answer.empty() || std::filesystem::path(answer) == home()) return {};
    return answer;
}

}  // namespace

std::filesystem::path defaultAlbumFolder() {
    std::filesystem::path pictures = configuredPicturesFolder();
    if (pictures.empty()) pictures = home() / "Pictures";
    return pictures / "Orvex";
}

std::filesystem::path defaultAlbumFallbackFolder() {
    const char* state = std::getenv("XDG_STATE_HOME");
    const std::filesystem::path base =
        state && *state ? std::filesystem::path(state) : home() / ".local" / "state";
    return base / "orvex" / "unsaved-photos";
}

}  // namespace platform::media
