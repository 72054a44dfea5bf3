#include "imaging/UIViewWebCache.h"

#include <mutex>

#include "imaging/KJSDWebImageCompat.h"
#include "imaging/UIViewWebCacheOperation.h"
#include "platform/dispatch/DispatchGroup.h"
#include "platform/dispatch/DispatchQueue.h"
#include "platform/foundation/Progress.h"
#include "platform/uikit/NSLayoutConstraint.h"
#include "platform/uikit/UIActivityIndicatorView.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UIView.h"

namespace brindlecue {

using platform::Data;
using platform::UIImage;
using platform::UIView;
using platform::URL;

namespace {

constexpr const char* kImageURLKey = "imageURLKey";
constexpr const char* kProgressKey = "sd_imageProgress";
constexpr const char* kActivityIndicatorKey = "TAG_ACTIVITY_INDICATOR";
constexpr const char* kActivityShowKey = "TAG_ACTIVITY_SHOW";
constexpr const char* kActivityStyleKey = "TAG_ACTIVITY_STYLE";

std::mutex& progressCreation() {
    static std::mutex mutex;
    return mutex;
}

}  // namespace

void UIViewWebCache::sd_internalSetImageWithURL(const std::shared_ptr<UIView>& view, const std::optional<URL>& url,
                                                const std::shared_ptr<UIImage>& placeholder,
                                                KJSDWebImageOptions options,
                                                const std::optional<std::string>& operationKey,
                                                KJSDSetImageBlock setImageBlock,
                                                KJSDWebImageDownloaderProgressBlock progress,
                                                KJSDExternalCompletionBlock completed,
                                                const KJSDWebImageContext& context) {
    if (!view) return;
    const std::string validOperationKey = operationKey ? *operationKey : view->className();
    UIViewWebCacheOperation::sd_cancelImageLoadOperationWithKey(view, validOperationKey);
    view->setAssociatedObject(kImageURLKey, url ? std::make_shared<URL>(*url) : nullptr);

    auto group = context.setImageGroup;
    if (!(options & KJSDImageLoadDelayPlaceholder)) {
        if (group) group->enter();
        KJSDDispatchMainAsyncSafe(
            [view, placeholder, setImageBlock] { sd_setImage(view, placeholder, std::nullopt, setImageBlock); });
    }

    if (!url) {
        KJSDDispatchMainAsyncSafe([view, completed] {
            sd_removeActivityIndicator(view);
            if (completed)
                completed(nullptr, platform::Error::withDescription(KJSDWebImageErrorDomain, -1, "Trying to load a nil url"),
                          KJSDImageCacheType::None, std::nullopt);
        });
        return;
    }

    if (sd_showActivityIndicatorView(*view)) sd_addActivityIndicator(view);
    {
        auto viewProgress = sd_imageProgress(*view);
        viewProgress->setTotalUnitCount(0);
        viewProgress->setCompletedUnitCount(0);
    }
    auto manager = context.customManager ? context.customManager : KJSDWebImageManager::sharedManager();
    std::weak_ptr<UIView> weakView = view;
    auto operation = manager->loadImageWithURL(
        url, options,
        [weakView, progress](int64_t receivedSize, int64_t expectedSize, const std::optional<URL>& targetURL) {
            if (auto view = weakView.lock()) {
                auto viewProgress = sd_imageProgress(*view);
                viewProgress->setTotalUnitCount(expectedSize);
                viewProgress->setCompletedUnitCount(receivedSize);
            }
            if (progress) progress(receivedSize, expectedSize, targetURL);
        },
        [weakView, url, options, placeholder, setImageBlock, completed, group](
            std::shared_ptr<UIImage> image, std::optional<Data> data, std::optional<platform::Error> error,
            KJSDImageCacheType cacheType, bool finished, const std::optional<URL>&) {
            auto view = weakView.lock();
            if (!view) return;
            sd_removeActivityIndicator(view);
            auto viewProgress = sd_imageProgress(*view);
            if (finished && !error && viewProgress->totalUnitCount() == 0 && viewProgress->completedUnitCount() == 0) {
                viewProgress->setTotalUnitCount(KJSDWebImageProgressUnitCountUnknown);
                viewProgress->setCompletedUnitCount(KJSDWebImageProgressUnitCountUnknown);
            }
            const bool shouldCallCompletedBlock = finished || (options & KJSDImageLoadAvoidAutoSetImage);
            const bool shouldNotSetImage = (image && (options & KJSDImageLoadAvoidAutoSetImage)) ||
                                           (!image && !(options & KJSDImageLoadDelayPlaceholder));
            auto callCompletedBlock = [weakView, shouldNotSetImage, shouldCallCompletedBlock, completed, image, error,
                                       cacheType, url] {
                auto view = weakView.lock();
                if (!view) return;
                if (!shouldNotSetImage) sd_setNeedsLayout(*view);
                if (completed && shouldCallCompletedBlock) completed(image, error, cacheType, url);
            };
            if (shouldNotSetImage) {
                KJSDDispatchMainAsyncSafe(callCompletedBlock);
                return;
            }
            // Only with the delayed placeholder does a failed load come here: the placeholder goes in now.
            auto targetImage = image ? image : placeholder;
            std::optional<Data> targetData = image ? std::move(data) : std::nullopt;
            if (group) {
                group->enter();
                KJSDDispatchMainAsyncSafe([view, targetImage, targetData, setImageBlock] {
                    sd_setImage(view, targetImage, targetData, setImageBlock);
                });
                group->notify(platform::DispatchQueue::main(), callCompletedBlock);
            } else {
                KJSDDispatchMainAsyncSafe([view, targetImage, targetData, setImageBlock, callCompletedBlock] {
                    sd_setImage(view, targetImage, targetData, setImageBlock);
                    callCompletedBlock();
                });
            }
        });
    UIViewWebCacheOperation::sd_setImageLoadOperation(view, operation, validOperationKey);
}

void UIViewWebCache::sd_setImage(const std::shared_ptr<UIView>& view, const std::shared_ptr<UIImage>& image,
                                 const std::optional<Data>& data, const KJSDSetImageBlock& setImageBlock) {
    if (setImageBlock) {
        setImageBlock(image, data);
    } else if (auto imageView = std::dynamic_pointer_cast<platform::UIImageView>(view)) {
        imageView->setImage(image);
    } else if (auto button = std::dynamic_pointer_cast<platform::UIButton>(view)) {
        button->setImage(image, platform::UIControlStateNormal);
    }
}

void UIViewWebCache::sd_cancelCurrentImageLoad(const std::shared_ptr<UIView>& view) {
    if (view) UIViewWebCacheOperation::sd_cancelImageLoadOperationWithKey(view, view->className());
}

std::optional<URL> UIViewWebCache::sd_imageURL(const UIView& view) {
    auto url = view.associatedObject<URL>(kImageURLKey);
    return url ? std::optional<URL>(*url) : std::nullopt;
}

std::shared_ptr<platform::Progress> UIViewWebCache::sd_imageProgress(const UIView& view) {
    std::lock_guard lock(progressCreation());
    auto progress = view.associatedObject<platform::Progress>(kProgressKey);
    if (!progress) {
        progress = std::make_shared<platform::Progress>(0);
        const_cast<UIView&>(view).setAssociatedObject(kProgressKey, progress);
    }
    return progress;
}

void UIViewWebCache::setSd_imageProgress(UIView& view, std::shared_ptr<platform::Progress> progress) {
    std::lock_guard lock(progressCreation());
    view.setAssociatedObject(kProgressKey, std::move(progress));
}

void UIViewWebCache::sd_setNeedsLayout(UIView& view) { view.setNeedsLayout(); }

void UIViewWebCache::sd_setShowActivityIndicatorView(UIView& view, bool show) {
    view.setAssociatedValue(kActivityShowKey, platform::Value(show));
}

bool UIViewWebCache::sd_showActivityIndicatorView(const UIView& view) {
    platform::Value show = view.associatedValue(kActivityShowKey);
    return show.isBool() && show.boolValue();
}

void UIViewWebCache::sd_setIndicatorStyle(UIView& view, int64_t style) {
    view.setAssociatedValue(kActivityStyleKey, platform::Value(style));
}

int64_t UIViewWebCache::sd_getIndicatorStyle(const UIView& view) {
    platform::Value style = view.associatedValue(kActivityStyleKey);
    return style.isNumber() ? style.integerValue() : 0;
}

std::shared_ptr<platform::UIActivityIndicatorView> UIViewWebCache::activityIndicator(const UIView& view) {
    return view.associatedObject<platform::UIActivityIndicatorView>(kActivityIndicatorKey);
}

void UIViewWebCache::sd_addActivityIndicator(const std::shared_ptr<UIView>& view) {
    if (!view) return;
    KJSDDispatchMainAsyncSafe([view] {
        auto indicator = activityIndicator(*view);
        if (!indicator) {
            indicator = platform::make<platform::UIActivityIndicatorView>();
            view->setAssociatedObject(kActivityIndicatorKey, indicator);
            indicator->setTranslatesAutoresizingMaskIntoConstraints(false);
            view->addSubview(indicator);
            using platform::NSLayoutAttribute;
            using platform::NSLayoutConstraint;
            view->addConstraint(NSLayoutConstraint::constraintWithItem(indicator, NSLayoutAttribute::CenterX,
                                                                       platform::NSLayoutRelation::Equal, view,
                                                                       NSLayoutAttribute::CenterX, 1.0, 0.0));
            view->addConstraint(NSLayoutConstraint::constraintWithItem(indicator, NSLayoutAttribute::CenterY,
                                                                       platform::NSLayoutRelation::Equal, view,
                                                                       NSLayoutAttribute::CenterY, 1.0, 0.0));
        }
        indicator->startAnimating();
    });
}

void UIViewWebCache::sd_removeActivityIndicator(const std::shared_ptr<UIView>& view) {
    if (!view) return;
    KJSDDispatchMainAsyncSafe([view] {
        if (auto indicator = activityIndicator(*view)) {
            indicator->removeFromSuperview();
            view->setAssociatedObject(kActivityIndicatorKey, nullptr);
        }
    });
}

}  // namespace brindlecue
