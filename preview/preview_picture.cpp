#include <new>
#include <utility>

#include "imaging/scale_and_rotate_image.h"
#include "platform/foundation/log.h"
#include "platform/graphics/png_codec.h"
#include "platform/graphics/reduced_copies.h"
#include "preview/preview.h"

namespace preview {

using platform::foundation::logDebug;
using platform::foundation::Rect;
using platform::foundation::Size;

namespace {
constexpr Rect kScrollFrame{0, 44, 320, 436};
}  // namespace

// What the picture work hands back to the main thread: the upright size, its PNG bytes
// and the picture decoded from them, or why there is none.
struct Preview::PreparedPicture {
    Size size;
    std::vector<std::uint8_t> png;
    platform::graphics::ImagePtr decoded;
    std::string error;
};

// The work for one picture: under way, or done and waiting to be shown. The picture is held
// weakly, so that the work can let it go once it has its upright copy.
struct Preview::Preparation {
    std::weak_ptr<const platform::graphics::Image> source;
    std::optional<PreparedPicture> result;
    std::uint64_t awaitedBy = 0;  // the addImage that shows it when done

    bool isFor(const platform::graphics::ImagePtr& picture) const {
        return !source.owner_before(picture) && !picture.owner_before(source);
    }
};

// The picture upright, its PNG and the picture decoded from that. The round trip through PNG
// is meant: what the preview shows is exactly what an e-mail attaches (the same bytes), so a
// picture the encoder would spoil is seen spoiled before it is sent. Each copy is let go as
// soon as the next is made, so that a large picture holds as little as it can at once; out
// of memory, the picture is not shown and the log says why.
Preview::PreparedPicture Preview::preparePicture(platform::graphics::ImagePtr picture) {
    PreparedPicture prepared;
    try {
        auto upright = imaging::scaleAndRotateImage(*picture);
        picture = nullptr;
        if (!upright) {
            prepared.error = "the picture could not be turned upright";
            return prepared;
        }
        prepared.size = upright->size();
        auto encoded = platform::graphics::encodePng(upright->pixels());
        upright = nullptr;
        if (!encoded) {
            prepared.error = "could not encode the picture as PNG: " + encoded.error();
            return prepared;
        }
        prepared.png = std::move(encoded.value());
        auto decoded = platform::graphics::decodePng(prepared.png);
        if (decoded)
            prepared.decoded = decoded.value();
        else
            prepared.error = "could not decode the picture's PNG: " + decoded.error();
    } catch (const std::bad_alloc&) {
        prepared = {};
        prepared.error = "not enough memory to show the picture";
    } catch (const std::exception& e) {
        prepared = {};
        prepared.error = std::string("could not show the picture: ") + e.what();
    }
    return prepared;
}

platform::graphics::ImagePtr Preview::scaleAndRotateImage(
    const platform::graphics::ImagePtr& picture) {
    return picture ? imaging::scaleAndRotateImage(*picture) : nullptr;
}

// Replaces the scroll view and image view with new ones. With a picture, the picture is
// turned upright, encoded as PNG and decoded again off the main thread, and shown zoomable
// at the size that fits the screen once that work is done; the screen stays responsive
// meanwhile, and only the newest picture is ever shown.
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
    const auto generation = ++pictureGeneration_;
    view()->addSubview(scrollView);
    keepBarOnTop();
    if (picture) {
        if (!preparation_ || !preparation_->isFor(picture)) getReadyFor(picture);
        showWhenPrepared(generation);
    } else {
        preparation_ = nullptr;
        logGeometry();
    }
}

// Starts the picture work at once, before the picture is handed over: the hand-over then
// finds it under way or done. Work for an earlier picture is no longer wanted.
void Preview::getReadyFor(const platform::graphics::ImagePtr& picture) {
    auto preparation = std::make_shared<Preparation>();
    preparation->source = picture;
    preparation_ = preparation;
    std::weak_ptr<Preview> weak = std::static_pointer_cast<Preview>(shared_from_this());
    // Taken out by the work, so that nothing here holds the picture while it is done.
    auto handed = std::make_shared<platform::graphics::ImagePtr>(picture);
    pictureWork().async<PreparedPicture>(
        [handed] { return preparePicture(std::exchange(*handed, nullptr)); },
        [weak, preparation](PreparedPicture prepared) {
            auto self = weak.lock();
            if (!self || self->preparation_ != preparation) return;
            preparation->result = std::move(prepared);
            if (preparation->awaitedBy) self->showWhenPrepared(preparation->awaitedBy);
        });
}

bool Preview::isPreparingPicture() const {
    return preparation_ && preparation_->awaitedBy != 0;
}

void Preview::showWhenPrepared(std::uint64_t generation) {
    auto preparation = preparation_;
    if (!preparation->result) {
        preparation->awaitedBy = generation;
        return;
    }
    preparation_ = nullptr;
    if (generation != pictureGeneration_) return;
    const auto shown = preparation->result->decoded;
    showPicture(std::move(*preparation->result));
    if (shown) prepareForDrawing(shown);
}

// The first frames show the whole picture small, drawn from reduced copies of it: they are
// made right after the picture is handed to the screen (the user waits for the picture, not
// for them), and a frame drawn before they are ready waits for them rather than making them
// twice.
void Preview::prepareForDrawing(const platform::graphics::ImagePtr& picture) {
    pictureWork().async<bool>(
        [picture] {
            platform::graphics::prepareReducedCopies(*picture);
            return true;
        },
        [](bool) {});
}

platform::foundation::WorkQueue& Preview::pictureWork() {
    if (!pictureWork_) pictureWork_ = std::make_unique<platform::foundation::WorkQueue>();
    return *pictureWork_;
}

// The picture fills the 320 × 436 frame at the minimum zoom; the content keeps the frame's
// proportions, as wide as a landscape picture or as tall as any other.
void Preview::showPicture(PreparedPicture prepared) {
    if (prepared.size.width <= 0 || prepared.size.height <= 0) {
        platform::foundation::logWarning("%@", prepared.error);
        logGeometry();
        return;
    }
    const float w = prepared.size.width;
    const float h = prepared.size.height;
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
    if (!prepared.error.empty()) platform::foundation::logWarning("%@", prepared.error);
    data = std::move(prepared.png);
    if (prepared.decoded) imageView->setImage(prepared.decoded);
    logGeometry();
}

void Preview::logGeometry() {
    logDebug("%f %f %f %f %f", imageView->frame().width(), imageView->frame().height(),
             scrollView->contentSize().width, scrollView->contentSize().height, 1.0);
}

}  // namespace preview
