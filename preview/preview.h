#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/foundation/run_loop.h"
#include "platform/foundation/work_queue.h"
#include "platform/graphics/image.h"
#include "platform/media/mail_compose_view_controller.h"
#include "platform/ui/activity_indicator.h"
#include "platform/ui/image_view.h"
#include "platform/ui/interface_loader.h"
#include "platform/ui/navigation_bar.h"
#include "platform/ui/scroll_view.h"
#include "platform/ui/view_controller.h"

namespace preview {

// The preview screen: one album picture, zoomable, under a 44-point bar, with the
// e-mail control. Made once from the interface resource "Preview".
class Preview : public platform::ui::ViewController,
                public platform::ui::ScrollViewDelegate,
                public platform::ui::NavigationBarDelegate,
                public platform::media::MailComposeDelegate,
                public platform::ui::InterfaceConnectable {
  public:
    static std::shared_ptr<Preview> fromInterfaceResource(const std::string& name);
    ~Preview() override;

    void addImage(const platform::graphics::ImagePtr& picture);
    void addActivityIndicator();
    void removeActivityIndicator();
    void check();
    platform::graphics::ImagePtr scaleAndRotateImage(const platform::graphics::ImagePtr& picture);

    void viewDidLoad() override;
    void viewDidAppear(bool animated) override;
    void viewDidDisappear(bool animated) override;

    void close();
    void back();
    void emailImage(platform::ui::Control* sender);
    void mailComposeControllerDidFinishWithResult(
        platform::media::MailComposeViewController& composer,
        platform::media::MailComposeResult result,
        const std::optional<std::string>& error) override;

    std::shared_ptr<platform::ui::View> viewForZoomingInScrollView(
        platform::ui::ScrollView& scrollView) override;
    bool navigationBarShouldPopItem(platform::ui::NavigationBar& bar,
                                    platform::ui::NavigationItem& item) override;
    void touchesBegan(const platform::ui::Touches& touches) override;

    const std::shared_ptr<platform::ui::ImageView>& getImageView() const { return imageView; }
    void setImageView(std::shared_ptr<platform::ui::ImageView> view) {
        imageView = std::move(view);
    }
    std::shared_ptr<void> getParent() const { return parent.lock(); }
    // Held weakly: the parent holds this screen for its whole life.
    void setParent(const std::shared_ptr<void>& p) { parent = p; }

    bool setOutlet(std::string_view name, const platform::ui::InterfaceObject& value) override;
    std::function<void(platform::ui::Control*)> actionNamed(std::string_view name) override;

    std::shared_ptr<platform::ui::BarButtonItem> mail;
    std::shared_ptr<platform::ui::ScrollView> scrollView;
    std::shared_ptr<platform::ui::ImageView> imageView;
    std::weak_ptr<void> parent;
    std::vector<std::uint8_t> data;
    std::shared_ptr<platform::ui::ActivityIndicator> activityIndicator;
    std::shared_ptr<platform::foundation::Timer> timer;

    // Starts turning the picture upright and encoding it before it is handed over with
    // addImage, which then shows it as soon as that work is done.
    void getReadyFor(const platform::graphics::ImagePtr& picture);
    // A picture handed over is still being prepared off the main thread.
    bool isPreparingPicture() const;

  private:
    struct PreparedPicture;
    struct Preparation;
    static PreparedPicture preparePicture(platform::graphics::ImagePtr picture);
    void showWhenPrepared(std::uint64_t generation);
    void showPicture(PreparedPicture prepared);
    void prepareForDrawing(const platform::graphics::ImagePtr& picture);
    void logGeometry();
    void keepBarOnTop();
    platform::foundation::WorkQueue& pictureWork();
    void setNavigationBarInteraction(bool enabled);

    std::weak_ptr<platform::ui::View> bar_;
    // Every addImage counts; prepared pictures of an earlier one are not shown.
    std::uint64_t pictureGeneration_ = 0;
    std::shared_ptr<Preparation> preparation_;
    // Made on first use, so that a screen that never shows a picture starts no thread.
    std::unique_ptr<platform::foundation::WorkQueue> pictureWork_;
};

}  // namespace preview
