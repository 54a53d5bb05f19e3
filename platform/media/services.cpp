#include "platform/media/services.h"

#include "platform/foundation/run_loop.h"
#include "platform/media/album_folders.h"

namespace platform::media {

namespace {
Services* newest = nullptr;

std::unique_ptr<PhotoAlbum> makeAlbum(const ServiceSettings& settings) {
    if (settings.album.empty() && settings.albumFallback.empty())
        return std::make_unique<PhotoAlbum>();
    return std::make_unique<PhotoAlbum>(
        settings.album.empty() ? defaultAlbumFolder() : settings.album,
        settings.albumFallback.empty() ? defaultAlbumFallbackFolder() : settings.albumFallback);
}
}  // namespace

Services::Services(ServiceSettings settings)
    : previous_(newest),
      cameraOptions_(std::move(settings.camera)),
      camera_(std::move(settings.cameraSource)) {
    if (settings.clock) foundation::RunLoop::main().setClock(std::move(settings.clock));
    album_ = makeAlbum(settings);
    newest = this;
}

Services::~Services() {
    camera_ = nullptr;
    album_ = nullptr;
    auto& loop = foundation::RunLoop::main();
    loop.reset();
    loop.setClock(std::make_shared<foundation::SystemClock>());
    newest = previous_;
}

Services& Services::current() {
    if (newest) return *newest;
    // Code that runs without an application (a tool, a test of one part) gets the defaults.
    static Services defaults;
    return defaults;
}

const std::shared_ptr<CameraSource>& Services::camera() {
    if (!camera_) camera_ = CameraSource::open(cameraOptions_, foundation::RunLoop::main());
    return camera_;
}

}  // namespace platform::media
