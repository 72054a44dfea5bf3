#pragma once

#include <memory>
#include <optional>

#include "imaging/UIViewWebCache.h"

namespace brindlecue {

class KJFLAnimatedImageView;

// Loading into the animated image view: GIF data becomes a KJFLAnimatedImage that the view plays.
// The GIF's first frame shows at once, the animated image is built off the main thread and kept
// on the decoded image (so the same image from the memory cache plays at once), and the caller's
// completion runs only once the animation is in place. When the data makes no animated image the
// view keeps showing the decoded still image.
class KJFLAnimatedImageViewWebCache {
public:
    static void sd_setImageWithURL(const std::shared_ptr<KJFLAnimatedImageView>& view,
                                   const std::optional<platform::URL>& url,
                                   const std::shared_ptr<platform::UIImage>& placeholder = nullptr,
                                   KJSDWebImageOptions options = 0,
                                   KJSDWebImageDownloaderProgressBlock progress = nullptr,
                                   KJSDExternalCompletionBlock completed = nullptr);
};

}  // namespace brindlecue
