#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "feed/KJTipBaseElement.h"
#include "platform/uikit/Geometry.h"

namespace brindlecue {

namespace platform {
class Bundle;
class UIImage;
class UIImageView;
class UIView;
}  // namespace platform

class KJMASConstraint;
class KJTipElement;

// One image of a step, shown inside the tip's content view behind its texts and buttons: where
// it comes from (a URL beginning with "http", or the name of an image of the app's or the
// library's bundle), its placeholder, its style, its size (points, or a percentage of the content
// size) and one of nine alignments in the content view.
//
// Laying a step's images out makes one image view per image on the main queue and sizes each on
// a high-priority global queue, where a remote image's own size may be read from the network.
// That worker measures a copy of the record and hands its result to the main queue, which writes
// the size into the record and then sets the view's content mode, its image and its constraints,
// in that order. Every view change runs on the main queue.
class KJTipImageElement : public KJTipBaseElement {
public:
    KJ_TIP_ELEMENT(KJTipImageElement)

    // The longest a remote image's own size is waited for, in seconds of Clock.
    static constexpr double kSizeProbeTimeout = 10;
    static constexpr const char* kDefaultPlaceholder = "default-image-placeholder";
    static constexpr const char* kFailedImage = "qx_logo_white";

    // Makes the campaign model build a step's images through this class.
    static void registerWithCampaignModel();

    // Lays the images out in the content view of the given size, the last of the list first and
    // each sent to the back, so the first image ends up rearmost. The step list holds the step or
    // nothing. Returns at once: the images are sized and filled later. Main queue.
    static void layoutImageElements(const std::vector<std::shared_ptr<KJTipBaseElement>>& images,
                                    const std::shared_ptr<platform::UIView>& contentView,
                                    platform::CGSize contentSize,
                                    const std::vector<std::shared_ptr<KJTipElement>>& steps);
    // An empty image view: a remote image plays in a KJFLAnimatedImageView, except a remote SVG,
    // which gets a plain image view (and is never drawn); a local image gets a plain image view.
    static std::shared_ptr<platform::UIImageView> createImageView(const KJTipImageElement& element);
    static bool isRemote(const std::string& resource);
    static bool isRemoteSVG(const std::string& resource);

    // Computes the record's final width and height against the content size and the image's own
    // size, and sets scale. The step is not used. Reads the network for a remote image (never on
    // the main queue).
    static void setupImageElmentScale(KJTipImageElement& element, platform::CGSize containerSize,
                                      const std::shared_ptr<KJTipElement>& step);
    // The sizing rules alone, the image's own size given (none when it could not be read).
    static platform::CGSize scaledSize(const std::string& feedWidth, const std::string& feedHeight,
                                       platform::CGSize containerSize,
                                       std::optional<platform::CGSize> originalSize);
    // Fills "originalWidth" and "originalHeight" with the image's own size: pixels of a URL with a
    // scheme and a host (read within kSizeProbeTimeout), points of a local image; nothing when the
    // size cannot be read.
    static void getOriginalImageSize(const std::string& resource, platform::Dictionary& results);

    // The local image: the resource as a "png", "jpg" or "jpeg" image of the bundle that holds it
    // (the main bundle first), else the library's placeholder image; none when neither exists.
    static std::shared_ptr<platform::UIImage> getLocalImage(const std::string& resource);
    // The image of the name in the bundle (none: the main bundle), as the platform finds images by
    // name: a name without an extension is a "png"; "@3x" and "@2x" files stand for it too.
    static std::shared_ptr<platform::UIImage> imageNamed(const std::string& name,
                                                         const std::shared_ptr<platform::Bundle>& bundle);
    // Looks the local image up on the calling queue and sets it on the main queue.
    static void setLocalImage(const KJTipImageElement& element,
                              const std::shared_ptr<platform::UIImageView>& imageView);
    // Starts the remote load through the image manager (retrying URLs that failed before), with the
    // placeholder of the main bundle shown meanwhile; once it ends the view is shown, and a view left
    // without any image shows the library's logo. Main queue.
    static void setNonSVCImage(const KJTipImageElement& element,
                               const std::shared_ptr<platform::UIImageView>& imageView);
    // Installs the image view's size and alignment constraints (update mode) and places the view
    // at the frame they describe in the content view. Main queue.
    static std::vector<std::shared_ptr<KJMASConstraint>> masonryPositionSetup(
        const std::shared_ptr<platform::UIView>& contentView, const KJTipImageElement& element,
        const std::shared_ptr<platform::UIImageView>& imageView);

    // "" when the document gives none.
    std::optional<std::string> resource;
    std::optional<std::string> placeholder;
    std::optional<platform::Color> backgroundColor;
    // 0 "left-top" ... 8 "right-bottom", row by row; 3 ("center-top") when unrecognised.
    int32_t imageAlign = 3;
    // The document's value as read (a fraction for a percentage), replaced by points at layout.
    double width = 0;
    // The document's value as received, as text ("" when none).
    std::optional<std::string> feedWidth;
    double height = 0;
    std::optional<std::string> feedHeight;
    // Set at layout: the image fills its view.
    bool scale = false;
    FourSide margin;
    double boxShadow = 0;
    std::optional<platform::Color> borderColor;
    double borderWidth = 0;
    double cornerRadius = 0;
};

}  // namespace brindlecue
