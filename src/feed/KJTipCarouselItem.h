#pragma once

#include <memory>
#include <optional>
#include <string>

#include "feed/KJTipBaseElement.h"
#include "platform/uikit/UIFont.h"

namespace brindlecue {

namespace platform {
class UIImage;
}

class KJTipButtonElement;

// One page of a carousel: image, icon, title, text and an optional button. Its image and icon are
// loaded when the page is made (and again when it is read back from the stored form); each loaded
// one is assigned on the main queue and announced at once with the notification "KJ_PrepareImage"
// (object: the page; user info {"source": the source text}; objects {"image": the image}).
class KJTipCarouselItem : public KJTipBaseElement {
public:
    KJ_TIP_ELEMENT(KJTipCarouselItem)

    static constexpr const char* kPrepareImageNotification = "KJ_PrepareImage";

    // Starts loading the image and the icon; returns at once.
    void prepareImages();
    // The fonts of the title and content fields, computed on every read.
    platform::UIFont titleFont() const;
    platform::UIFont contentFont() const;

    std::optional<std::string> suid;
    std::optional<std::string> imageSource;
    std::shared_ptr<platform::UIImage> image;
    std::optional<std::string> iconSource;
    std::shared_ptr<platform::UIImage> icon;
    std::optional<platform::Color> backgroundColor;
    std::optional<std::string> titleText;
    std::optional<platform::Color> titleColor;
    std::optional<std::string> titleFontName;
    double titleFontSize = 0;
    std::optional<std::string> titleFontWeight;
    std::optional<std::string> contentText;
    std::optional<platform::Color> contentColor;
    std::optional<std::string> contentFontName;
    double contentFontSize = 0;
    std::optional<std::string> contentFontWeight;
    // Present only when the page gives a non-empty "button-text".
    std::shared_ptr<KJTipButtonElement> button;
};

}  // namespace brindlecue
