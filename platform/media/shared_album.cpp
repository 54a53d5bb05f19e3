#include "platform/media/shared_album.h"

namespace platform::media {

PhotoAlbum& sharedAlbum() {
    static PhotoAlbum album;
    return album;
}

}  // namespace platform::media
