#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "imaging/UIViewWebCache.h"

namespace brindlecue {

namespace platform {
class UIImageView;
}

// Loading into image views. On a KJFLAnimatedImageView the animated view's loading runs (GIFs
// play).
class UIImageViewWebCache {
public:
    static void sd_setImageWithURL(const std::shared_ptr<platform::UIImageView>& imageView,
                                   const std::optional<platform::URL>& url,
                                   const std::shared_ptr<platform::UIImage>& placeholder = nullptr,
                                   KJSDWebImageOptions options = 0,
                                   KJSDWebImageDownloaderProgressBlock progress = nullptr,
                                   KJSDExternalCompletionBlock completed = nullptr);
    // The image the cache holds for the URL, when it has one, stands for the placeholder.
    static void sd_setImageWithPreviousCachedImageWithURL(const std::shared_ptr<platform::UIImageView>& imageView,
                                                          const std::optional<platform::URL>& url,
                                                          const std::shared_ptr<platform::UIImage>& placeholder,
                                                          KJSDWebImageOptions options,
                                                          KJSDWebImageDownloaderProgressBlock progress,
                                                          KJSDExternalCompletionBlock completed);

    // Loads each URL into the animation images, at its own index, and starts the animation as
    // each arrives.
    static void sd_setAnimationImagesWithURLs(const std::shared_ptr<platform::UIImageView>& imageView,
                                              const std::vector<platform::URL>& urls);
    static void sd_cancelCurrentAnimationImagesLoad(const std::shared_ptr<platform::UIImageView>& imageView);
    // The animation loads still alive.
    static std::vector<std::shared_ptr<KJSDWebImageOperation>> sd_animationOperationArray(
        const platform::UIImageView& imageView);
};

// Loading an image view's highlighted image (operation key "UIImageViewImageOperationHighlighted").
class UIImageViewHighlightedWebCache {
public:
    static void sd_setHighlightedImageWithURL(const std::shared_ptr<platform::UIImageView>& imageView,
                                              const std::optional<platform::URL>& url, KJSDWebImageOptions options = 0,
                                              KJSDWebImageDownloaderProgressBlock progress = nullptr,
                                              KJSDExternalCompletionBlock completed = nullptr);
};

}  // namespace brindlecue
