#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "imaging/KJSDWebImageCompat.h"
#include "imaging/KJSDWebImageManager.h"
#include "platform/Error.h"
#include "platform/Value.h"
#include "platform/foundation/URL.h"

namespace brindlecue {

namespace platform {
class DispatchGroup;
class Progress;
class UIActivityIndicatorView;
class UIImage;
class UIView;
}  // namespace platform

// Puts an image (with the bytes it was decoded from, when known) into a view.
using KJSDSetImageBlock =
    std::function<void(std::shared_ptr<platform::UIImage> image, std::optional<platform::Data> data)>;
// What the caller of a view load hears: the image or the error, where it came from, the URL asked for.
using KJSDExternalCompletionBlock =
    std::function<void(std::shared_ptr<platform::UIImage> image, std::optional<platform::Error> error,
                       KJSDImageCacheType cacheType, const std::optional<platform::URL>& imageURL)>;

// What a load may carry besides its options.
struct KJSDWebImageContext {
    // Entered while an image is being put into the view and left once it is there; the caller's
    // completion waits until the group is empty.
    std::shared_ptr<platform::DispatchGroup> setImageGroup;
    // Used instead of the shared manager.
    std::shared_ptr<KJSDWebImageManager> customManager;
};

// Total and completed units of a load's progress while nothing is known of its size.
inline constexpr int64_t KJSDWebImageProgressUnitCountUnknown = 1;

// Loading the image at a URL into any view: the view's previous load under the same key is
// cancelled, the placeholder shown, the shared image manager asked, and the result put into the
// view on the main queue before the caller hears of it. Callbacks hold the view weakly: a view
// that has gone gets nothing and its caller is not called.
class UIViewWebCache {
public:
    // The operation key defaults to the view's class name. Without a URL the caller gets the
    // error "Trying to load a nil url" (KJSDWebImageErrorDomain, -1).
    static void sd_internalSetImageWithURL(const std::shared_ptr<platform::UIView>& view,
                                           const std::optional<platform::URL>& url,
                                           const std::shared_ptr<platform::UIImage>& placeholder,
                                           KJSDWebImageOptions options, const std::optional<std::string>& operationKey,
                                           KJSDSetImageBlock setImageBlock,
                                           KJSDWebImageDownloaderProgressBlock progress,
                                           KJSDExternalCompletionBlock completed,
                                           const KJSDWebImageContext& context = {});

    // Runs the step; without one an image view's image, or a button's image for the normal state,
    // is set.
    static void sd_setImage(const std::shared_ptr<platform::UIView>& view,
                            const std::shared_ptr<platform::UIImage>& image, const std::optional<platform::Data>& data,
                            const KJSDSetImageBlock& setImageBlock);

    // Cancels the load under the view's class name.
    static void sd_cancelCurrentImageLoad(const std::shared_ptr<platform::UIView>& view);
    // The URL of the latest request (none after a request without one).
    static std::optional<platform::URL> sd_imageURL(const platform::UIView& view);
    // Made on first read.
    static std::shared_ptr<platform::Progress> sd_imageProgress(const platform::UIView& view);
    static void setSd_imageProgress(platform::UIView& view, std::shared_ptr<platform::Progress> progress);
    static void sd_setNeedsLayout(platform::UIView& view);

    // A spinner in the middle of the view while it loads (off unless set).
    static void sd_setShowActivityIndicatorView(platform::UIView& view, bool show);
    static bool sd_showActivityIndicatorView(const platform::UIView& view);
    // The spinner style kept with the view; this platform's spinner has a single look.
    static void sd_setIndicatorStyle(platform::UIView& view, int64_t style);
    static int64_t sd_getIndicatorStyle(const platform::UIView& view);
    static std::shared_ptr<platform::UIActivityIndicatorView> activityIndicator(const platform::UIView& view);
    static void sd_addActivityIndicator(const std::shared_ptr<platform::UIView>& view);
    static void sd_removeActivityIndicator(const std::shared_ptr<platform::UIView>& view);
};

}  // namespace brindlecue
