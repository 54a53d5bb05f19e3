#pragma once

#include <filesystem>

namespace platform::media {

// "Orvex" under the user's XDG Pictures folder (`xdg-user-dir PICTURES`, else ~/Pictures).
std::filesystem::path defaultAlbumFolder();

// Where a photograph that the album cannot take is kept instead: under the XDG state home.
std::filesystem::path defaultAlbumFallbackFolder();

}  // namespace platform::media
