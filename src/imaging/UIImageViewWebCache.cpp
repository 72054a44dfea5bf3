#include "imaging/UIImageViewWebCache.h"

#include <mutex>

#include "imaging/KJFLAnimatedImageView.h"
#include "imaging/KJFLAnimatedImageViewWebCache.h"
#include "imaging/KJSDWebImageCompat.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UIImageView.h"

namespace brindlecue {

using platform::Data;
using platform::UIImage;
using platform::UIImageView;
using platform::URL;

namespace {

constexpr const char* kAnimationLoadOperationKey = "animationLoadOperationKey";

struct AnimationLoads {
    std::mutex mutex;
    std::vector<std::weak_ptr<KJSDWebImageOperation>> operations;
};

std::shared_ptr<AnimationLoads> animationLoads(const UIImageView& view) {
    static std::mutex creation;
    std::lock_guard lock(creation);
    auto loads = view.associatedObject<AnimationLoads>(kAnimationLoadOperationKey);
    if (!loads) {
        loads = std::make_shared<AnimationLoads>();
        const_cast<UIImageView&>(view).setAssociatedObject(kAnimationLoadOperationKey, loads);
    }
    return loads;
}

}  // namespace

void UIImageViewWebCache::sd_setImageWithURL(const std::shared_ptr<UIImageView>& imageView,
                                             const std::optional<URL>& url, const std::shared_ptr<UIImage>& placeholder,
                                             KJSDWebImageOptions options, KJSDWebImageDownloaderProgressBlock progress,
                                             KJSDExternalCompletionBlock completed) {
    if (auto animated = std::dynamic_pointer_cast<KJFLAnimatedImageView>(imageView))
        return KJFLAnimatedImageViewWebCache::sd_setImageWithURL(animated, url, placeholder, options,
                                                                 std::move(progress), std::move(completed));
    UIViewWebCache::sd_internalSetImageWithURL(imageView, url, placeholder, options, std::nullopt, nullptr,
                                               std::move(progress), std::move(completed));
}

void UIImageViewWebCache::sd_setImageWithPreviousCachedImageWithURL(
    const std::shared_ptr<UIImageView>& imageView, const std::optional<URL>& url,
    const std::shared_ptr<UIImage>& placeholder, KJSDWebImageOptions options,
    KJSDWebImageDownloaderProgressBlock progress, KJSDExternalCompletionBlock completed) {
    auto manager = KJSDWebImageManager::sharedManager();
    auto cached = manager->imageCache()->imageFromCacheForKey(manager->cacheKeyForURL(url));
    sd_setImageWithURL(imageView, url, cached ? cached : placeholder, options, std::move(progress),
                       std::move(completed));
}

void UIImageViewWebCache::sd_setAnimationImagesWithURLs(const std::shared_ptr<UIImageView>& imageView,
                                                        const std::vector<URL>& urls) {
    if (!imageView) return;
    sd_cancelCurrentAnimationImagesLoad(imageView);
    std::weak_ptr<UIImageView> weakView = imageView;
    auto loads = animationLoads(*imageView);
    for (size_t index = 0; index < urls.size(); ++index) {
        auto operation = KJSDWebImageManager::sharedManager()->loadImageWithURL(
            urls[index], 0, nullptr,
            [weakView, index](std::shared_ptr<UIImage> image, std::optional<Data>, std::optional<platform::Error>,
                              KJSDImageCacheType, bool, const std::optional<URL>&) {
                if (!weakView.lock()) return;
                KJSDDispatchMainAsyncSafe([weakView, index, image] {
                    auto view = weakView.lock();
                    if (!view) return;
                    view->stopAnimating();
                    if (image) {
                        auto images = view->animationImages();
                        while (images.size() < index) images.push_back(image);
                        if (index < images.size())
                            images[index] = image;
                        else
                            images.push_back(image);
                        view->setAnimationImages(std::move(images));
                        view->setNeedsLayout();
                    }
                    view->startAnimating();
                });
            });
        std::lock_guard lock(loads->mutex);
        loads->operations.push_back(operation);
    }
}

void UIImageViewWebCache::sd_cancelCurrentAnimationImagesLoad(const std::shared_ptr<UIImageView>& imageView) {
    if (!imageView) return;
    auto loads = animationLoads(*imageView);
    std::vector<std::weak_ptr<KJSDWebImageOperation>> operations;
    {
        std::lock_guard lock(loads->mutex);
        operations.swap(loads->operations);
    }
    for (const auto& weak : operations)
        if (auto operation = weak.lock()) operation->cancel();
}

std::vector<std::shared_ptr<KJSDWebImageOperation>> UIImageViewWebCache::sd_animationOperationArray(
    const UIImageView& imageView) {
    auto loads = animationLoads(imageView);
    std::vector<std::shared_ptr<KJSDWebImageOperation>> out;
    std::lock_guard lock(loads->mutex);
    for (const auto& weak : loads->operations)
        if (auto operation = weak.lock()) out.push_back(operation);
    return out;
}

void UIImageViewHighlightedWebCache::sd_setHighlightedImageWithURL(const std::shared_ptr<UIImageView>& imageView,
                                                                   const std::optional<URL>& url,
                                                                   KJSDWebImageOptions options,
                                                                   KJSDWebImageDownloaderProgressBlock progress,
                                                                   KJSDExternalCompletionBlock completed) {
    std::weak_ptr<UIImageView> weakView = imageView;
    UIViewWebCache::sd_internalSetImageWithURL(
        imageView, url, nullptr, options, std::string("UIImageViewImageOperationHighlighted"),
        [weakView](std::shared_ptr<UIImage> image, std::optional<Data>) {
            if (auto view = weakView.lock()) view->setHighlightedImage(image);
        },
        std::move(progress), std::move(completed));
}

}  // namespace brindlecue
