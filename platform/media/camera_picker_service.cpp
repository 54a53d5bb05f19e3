#include "platform/media/camera_picker_service.h"

#include <algorithm>

#include "platform/foundation/bundle.h"
#include "platform/foundation/log.h"
#include "platform/foundation/run_loop.h"
#include "platform/media/album_browser.h"
#include "platform/media/live_picture_view.h"
#include "platform/media/services.h"
#include "platform/media/sound_player.h"
#include "platform/ui/image_named.h"
#include "platform/ui/label.h"

namespace platform::media {

namespace {
constexpr foundation::Rect kScreen{0, 0, 320, 480};
constexpr foundation::Rect kBelowBar{0, 44, 320, 436};

std::string localized(const char* key) {
    return foundation::Bundle::main().localizedStringForKey(key);
}

bool isAway(CameraState state) {
    return state == CameraState::Failed || state == CameraState::NoCamera;
}

// What the live picture says while it has no frame: what is wrong, in the user's language,
// then the cause as the camera gave it.
std::string statusText(CameraState state, const std::string& detail,
                       const std::string& description) {
    switch (state) {
        case CameraState::Loading:
            return localized("Starting camera…");
        case CameraState::Ready:
            return {};
        case CameraState::NoCamera:
            return localized("No camera found") + "\n" + detail + "\n" +
                   localized("--camera test starts the built-in test camera");
        case CameraState::Failed:
            return foundation::detail::format(localized("No picture from %@"), description) + "\n" +
                   detail;
    }
    return {};
}
}  // namespace

CameraPickerService::~CameraPickerService() = default;

bool CameraPickerService::isAwaitingFirstFrame() const {
    const auto& camera = Services::current().openCamera();
    if (!camera || !liveView_ || liveView_->cameraFrame()) return false;
    return camera->state() == CameraState::Loading || camera->state() == CameraState::Ready;
}

std::string CameraPickerService::cameraDescription() {
    const auto& camera = Services::current().openCamera();
    return camera ? camera->description() : std::string();
}

bool CameraPickerService::isFlashAvailableForCameraDevice(int device) {
    if (device != 0) return false;
    const auto& camera = Services::current().camera();
    return camera && camera->hasFlash();
}

void CameraPickerService::setSourceType(SourceType type) {
    sourceType_ = type;
    if (type == SourceType::Camera) startCamera();
}

void CameraPickerService::startCamera() {
    const auto& camera = Services::current().camera();
    if (!camera) return;
    std::weak_ptr<LivePictureView> view = liveView();
    std::weak_ptr<CameraSource> source = camera;
    // Where no camera was found, the built-in scene stands in; it says it is not real.
    if (Services::current().cameraOptions().device == "auto" &&
        camera->description().starts_with("test camera"))
        liveView()->setCaption(localized("Test camera"));
    camera->start(
        [view](graphics::ImagePtr frame) {
            if (auto v = view.lock()) v->setCameraFrame(std::move(frame));
        },
        [view, source](CameraState state, const std::string& detail) {
            auto v = view.lock();
            auto c = source.lock();
            if (!v || !c) return;
            // The last frame of a camera that went away is not shown as if it were live.
            if (isAway(state)) v->setCameraFrame(nullptr);
            v->setStatusText(statusText(state, detail, c->description()));
        });
}

std::shared_ptr<LivePictureView> CameraPickerService::liveView() {
    if (!liveView_) {
        liveView_ = std::make_shared<LivePictureView>(kScreen);
        liveView_->setPreviewTransform(transform_);
    }
    return liveView_;
}

void CameraPickerService::loadView() {
    if (sourceType_ == SourceType::Camera) {
        setView(liveView());
        return;
    }
    NavigationController::loadView();
    view()->setBackgroundColor({0.08f, 0.08f, 0.09f, 1.0f});
    auto item = std::make_shared<ui::NavigationItem>();
    item->setTitle(localized("Photos"));
    auto cancelItem = std::make_shared<ui::BarButtonItem>(localized("Cancel"));
    std::weak_ptr<CameraPickerService> weak =
        std::static_pointer_cast<CameraPickerService>(shared_from_this());
    cancelItem->setAction([weak] {
        if (auto self = weak.lock()) self->cancel();
    });
    item->setRightBarButtonItem(cancelItem);
    navigationBar()->setItems({item});
    // Large thumbnails where a point is two pixels, as the thumbnail standard sizes them.
    albumBrowser_ = AlbumBrowser::make(
        kBelowBar, ThumbnailCache::defaultRoot(),
        ui::screenScale() >= 2 ? ThumbnailCache::Flavor::Large : ThumbnailCache::Flavor::Normal);
    albumBrowser_->setPickHandler([weak](graphics::ImagePtr picture) {
        if (auto self = weak.lock()) self->pickImage(std::move(picture));
    });
    view()->addSubview(albumBrowser_->view());
    view()->addSubview(navigationBar());
}

void CameraPickerService::viewDidAppear(bool) {
    if (sourceType_ != SourceType::PhotoLibrary || !albumBrowser_) return;
    auto photos = Services::current().album().pictures();
    std::reverse(photos.begin(), photos.end());
    albumBrowser_->reload(std::move(photos), Services::current().album().folder());
}

foundation::AffineTransform CameraPickerService::cameraViewTransform() const {
    return transform_;
}

void CameraPickerService::setCameraViewTransform(foundation::AffineTransform transform) {
    transform_ = transform;
    if (liveView_) liveView_->setPreviewTransform(transform);
}

void CameraPickerService::setCameraFlashMode(int mode) {
    if (mode < -1 || mode > 1) return;
    flashMode_ = mode;
}

void CameraPickerService::showShutter() {
    if (!shutterSound_) {
        const auto path = foundation::Bundle::main().pathForResource("shutter", "wav");
        shutterSound_ = SoundPlayer::withContentsOfFile(path.value_or("shutter.wav"));
        shutterSound_->prepareToPlay();
    }
    shutterSound_->play();
    if (liveView_) liveView_->flash(foundation::RunLoop::main().now());
}

void CameraPickerService::takePicture() {
    showShutter();
    auto camera = Services::current().openCamera();
    std::weak_ptr<CameraPickerService> weak =
        std::static_pointer_cast<CameraPickerService>(shared_from_this());
    ++picturesPending_;
    // A time-lapse goes on while the camera is away; its shots are missed, not faked.
    const bool away = camera && isAway(camera->state());
    if (away) foundation::logWarning("missed photo: camera unavailable (%@)", camera->failure());
    auto deliver = [weak, away](graphics::ImagePtr picture) {
        auto self = weak.lock();
        if (!self) return;
        --self->picturesPending_;
        // A camera that gave no frame answers with no picture; the delegate gets the
        // answer all the same, so the screen does not wait for ever.
        if (!picture && !away) foundation::logWarning("camera: no picture could be taken");
        MediaInfo info{{kOriginalImageKey, picture}};
        if (auto delegate = self->delegate())
            delegate->imagePickerControllerDidFinishPickingMediaWithInfo(*self, info);
    };
    if (!camera) {
        foundation::RunLoop::main().post([deliver] { deliver(nullptr); });
        return;
    }
    camera->takePicture(deliver);
}

void CameraPickerService::pickImage(graphics::ImagePtr image) {
    MediaInfo info{{kOriginalImageKey, std::move(image)}};
    if (auto delegate = this->delegate())
        delegate->imagePickerControllerDidFinishPickingMediaWithInfo(*this, info);
}

void CameraPickerService::cancel() {
    if (auto delegate = this->delegate()) delegate->imagePickerControllerDidCancel(*this);
}

}  // namespace platform::media
