#pragma once

#include "platform/media/photo_album.h"

namespace platform::media {

// The photo album of the process, in the user's default folders until told otherwise.
PhotoAlbum& sharedAlbum();

}  // namespace platform::media
