#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "imaging/UIViewWebCache.h"

namespace brindlecue {

namespace platform {
class UIButton;
}

// Loading a button's image or background image for one control state; each state loads under a
// key of its own, so the states' loads do not cancel one another.
class UIButtonWebCache {
public:
    static void sd_setImageWithURL(const std::shared_ptr<platform::UIButton>& button,
                                   const std::optional<platform::URL>& url, uint64_t state,
                                   const std::shared_ptr<platform::UIImage>& placeholder = nullptr,
                                   KJSDWebImageOptions options = 0, KJSDExternalCompletionBlock completed = nullptr);
    static void sd_setBackgroundImageWithURL(const std::shared_ptr<platform::UIButton>& button,
                                             const std::optional<platform::URL>& url, uint64_t state,
                                             const std::shared_ptr<platform::UIImage>& placeholder = nullptr,
                                             KJSDWebImageOptions options = 0,
                                             KJSDExternalCompletionBlock completed = nullptr);

    // The URL of the button's current state, else of the normal state.
    static std::optional<platform::URL> sd_currentImageURL(const platform::UIButton& button);
    static std::optional<platform::URL> sd_imageURLForState(const platform::UIButton& button, uint64_t state);
    static std::optional<platform::URL> sd_currentBackgroundImageURL(const platform::UIButton& button);
    static std::optional<platform::URL> sd_backgroundImageURLForState(const platform::UIButton& button,
                                                                      uint64_t state);
    static void sd_cancelImageLoadForState(const std::shared_ptr<platform::UIButton>& button, uint64_t state);
    static void sd_cancelBackgroundImageLoadForState(const std::shared_ptr<platform::UIButton>& button,
                                                     uint64_t state);
};

}  // namespace brindlecue
