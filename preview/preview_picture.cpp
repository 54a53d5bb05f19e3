#include "imaging/scale_and_rotate_image.h"
#include "platform/foundation/log.h"
#include "platform/graphics/png_codec.h"
#include "preview/preview.h"

namespace preview {

using platform::foundation::log;
using platform::foundation::Rect;
using platform::foundation::Size;

namespace {
constexpr Rect kScrollFrame{0, 44, 320, 436};
}

platform::graphics::ImagePtr Preview::scaleAndRotateImage(
    const platform::graphics::ImagePtr& picture) {
    return picture ? imaging::scaleAndRotateImage(*picture) : nullptr;
}

// Replaces the scroll view and image view with new ones; with a picture, shows it zoomable
// at the size that fits the screen, and keeps its PNG encoding for sharing.
void Preview::addImage(const platform::graphics::ImagePtr& picture) {
    if (imageView) {
        imageView->setImage(nullptr);
        imageView->removeFromSuperview();
        imageView = nullptr;
    }
    imageView = std::make_shared<platform::ui::ImageView>();
    imageView->setContentMode(platform::ui::ContentMode::ScaleAspectFit);
    if (scrollView) {
        scrollView->removeFromSuperview();
        scrollView = nullptr;
    }
    scrollView = std::make_shared<platform::ui::ScrollView>(kScrollFrame);
    navigationItem().setRightBarButtonItem(mail);
    data.clear();
    if (picture) showPicture(picture);
    view()->addSubview(scrollView);
    log("%f %f %f %f %f", imageView->frame().width(), imageView->frame().height(),
        scrollView->contentSize().width, scrollView->contentSize().height, 1.0);
}

void Preview::showPicture(const platform::graphics::ImagePtr& picture) {
    auto upright = scaleAndRotateImage(picture);
    if (!upright) return;
    auto shown = platform::graphics::Image::withPixels(upright->pixelBuffer());
    const float w = shown->size().width;
    const float h = shown->size().height;
    const float fw = kScrollFrame.width();
    const float fh = kScrollFrame.height();
    const Size content = w > h ? Size{w, fh * (w / fw)} : Size{fw * (h / fh), h};
    scrollView->setContentSize(content);
    imageView->setFrame({0, 0, content.width, content.height});
    imageView->setFrame({0, 0, scrollView->contentSize().width, scrollView->contentSize().height});
    scrollView->setBounces(true);
    scrollView->setMaximumZoomScale(1.0f);
    const float ratio = w > h ? w / fw : h / fh;
    scrollView->setMinimumZoomScale(static_cast<float>(1.0 / static_cast<double>(ratio)));
    scrollView->setClipsToBounds(false);
    scrollView->setDelegate(std::static_pointer_cast<platform::ui::ScrollViewDelegate>(
        std::static_pointer_cast<Preview>(shared_from_this())));
    scrollView->setZoomScale(scrollView->minimumZoomScale());
    scrollView->addSubview(imageView);
    auto encoded = platform::graphics::encodePng(shown->pixels());
    if (!encoded) {
        log("could not encode the picture as PNG: %@", encoded.error());
        return;
    }
    data = std::move(encoded.value());
    auto decoded = platform::graphics::decodePng(data);
    if (decoded) imageView->setImage(decoded.value());
}

}  // namespace preview
