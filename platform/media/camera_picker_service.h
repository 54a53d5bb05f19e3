#pragma once

#include <map>
#include <memory>
#include <string>

#include "platform/foundation/geometry.h"
#include "platform/graphics/image.h"
#include "platform/media/camera_source.h"
#include "platform/ui/navigation_controller.h"

namespace platform::media {

class AlbumBrowser;
class CameraPickerService;
class LivePictureView;
class SoundPlayer;

// What a picker delivers; the original picture is under this key.
using MediaInfo = std::map<std::string, graphics::ImagePtr>;
inline constexpr const char* kOriginalImageKey = "UIImagePickerControllerOriginalImage";

class ImagePickerDelegate {
  public:
    virtual ~ImagePickerDelegate() = default;
    virtual void imagePickerControllerDidFinishPickingMediaWithInfo(CameraPickerService& picker,
                                                                    const MediaInfo& info) = 0;
    virtual void imagePickerControllerDidCancel(CameraPickerService& picker) = 0;
};

enum class SourceType { PhotoLibrary = 0, Camera = 1 };

// The picker in its two forms. As a camera its view is the live picture, which carries
// the preview transform, and takePicture answers with exactly one delegate call. As the
// photo library it is a navigation stack showing the album, presented modally.
class CameraPickerService : public ui::NavigationController {
  public:
    CameraPickerService() = default;
    ~CameraPickerService() override;

    // Every camera picker of the process uses the camera of the services in force.
    static bool isFlashAvailableForCameraDevice(int device);
    // The camera in use, as the log names it; empty before one is opened.
    static std::string cameraDescription();

    void setDelegate(std::weak_ptr<ImagePickerDelegate> delegate) {
        delegate_ = std::move(delegate);
    }
    std::shared_ptr<ImagePickerDelegate> delegate() const { return delegate_.lock(); }
    SourceType sourceType() const { return sourceType_; }
    void setSourceType(SourceType type);
    bool showsCameraControls() const { return showsCameraControls_; }
    void setShowsCameraControls(bool shows) { showsCameraControls_ = shows; }

    foundation::AffineTransform cameraViewTransform() const;
    void setCameraViewTransform(foundation::AffineTransform transform);
    int cameraFlashMode() const { return flashMode_; }
    void setCameraFlashMode(int mode);
    void takePicture();
    // The camera works but the live view has no frame to show yet.
    bool isAwaitingFirstFrame() const;
    // Pictures taken and not yet delivered.
    int picturesPending() const { return picturesPending_; }
    // The sound takePicture plays; null until the first picture is taken.
    const std::shared_ptr<SoundPlayer>& shutterSound() const { return shutterSound_; }

    // The library's choices, as a user makes them in the album.
    void pickImage(graphics::ImagePtr image);
    void cancel();
    // The photo library's album grid; null for a camera.
    const std::shared_ptr<AlbumBrowser>& albumBrowser() const { return albumBrowser_; }

    void loadView() override;
    // The album is read afresh each time the library is shown.
    void viewDidAppear(bool animated) override;

  private:
    std::shared_ptr<LivePictureView> liveView();
    void startCamera();
    // What a camera gives at the moment of a shot: the shutter's sound and a flash of the
    // live picture, neither of which holds the picture back.
    void showShutter();

    std::weak_ptr<ImagePickerDelegate> delegate_;
    SourceType sourceType_ = SourceType::PhotoLibrary;
    bool showsCameraControls_ = true;
    int flashMode_ = 0;
    int picturesPending_ = 0;
    foundation::AffineTransform transform_;
    std::shared_ptr<LivePictureView> liveView_;
    std::shared_ptr<AlbumBrowser> albumBrowser_;
    std::shared_ptr<SoundPlayer> shutterSound_;
};

}  // namespace platform::media
