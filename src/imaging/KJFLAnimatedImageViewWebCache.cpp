#include "imaging/KJFLAnimatedImageViewWebCache.h"

#include "imaging/KJFLAnimatedImageView.h"
#include "imaging/NSDataImageContentType.h"
#include "imaging/UIImageKJFLAnimatedImage.h"
#include "platform/dispatch/DispatchGroup.h"
#include "platform/dispatch/DispatchQueue.h"
#include "platform/uikit/UIImage.h"

namespace brindlecue {

using platform::Data;
using platform::DispatchQueue;
using platform::UIImage;

void KJFLAnimatedImageViewWebCache::sd_setImageWithURL(const std::shared_ptr<KJFLAnimatedImageView>& view,
                                                       const std::optional<platform::URL>& url,
                                                       const std::shared_ptr<UIImage>& placeholder,
                                                       KJSDWebImageOptions options,
                                                       KJSDWebImageDownloaderProgressBlock progress,
                                                       KJSDExternalCompletionBlock completed) {
    if (!view) return;
    auto group = platform::DispatchGroup::create();
    std::weak_ptr<KJFLAnimatedImageView> weakView = view;
    KJSDSetImageBlock setImage = [weakView, group](std::shared_ptr<UIImage> image, std::optional<Data> data) {
        auto view = weakView.lock();
        if (!view) {
            group->leave();
            return;
        }
        if (auto animated = image ? UIImageKJFLAnimatedImage::sd_KJFLAnimatedImage(*image) : nullptr) {
            view->setAnimatedImage(animated);
            view->setImage(nullptr);
            group->leave();
            return;
        }
        if (image && data && NSDataImageContentType::sd_imageFormatForImageData(*data) == KJSDImageFormat::GIF) {
            view->setImage(image->images().empty() ? image : image->images().front());
            view->setAnimatedImage(nullptr);
            DispatchQueue::global(DispatchQueue::Priority::High)->async([weakView, group, image, data = std::move(*data)] {
                auto animated = KJFLAnimatedImage::animatedImageWithGIFData(data);
                DispatchQueue::main()->async([weakView, group, image, animated] {
                    auto view = weakView.lock();
                    if (animated) {
                        UIImageKJFLAnimatedImage::setSd_KJFLAnimatedImage(*image, animated);
                        if (view) {
                            view->setAnimatedImage(animated);
                            view->setImage(nullptr);
                        }
                    }
                    // Without an animated image the first frame shown stays.
                    group->leave();
                });
            });
            return;
        }
        view->setImage(image);
        view->setAnimatedImage(nullptr);
        group->leave();
    };
    KJSDWebImageContext context;
    context.setImageGroup = group;
    UIViewWebCache::sd_internalSetImageWithURL(view, url, placeholder, options, std::nullopt, std::move(setImage),
                                               std::move(progress), std::move(completed), context);
}

}  // namespace brindlecue
