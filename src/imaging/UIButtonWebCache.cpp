#include "imaging/UIButtonWebCache.h"

#include <map>
#include <mutex>
#include <string>

#include "imaging/UIViewWebCacheOperation.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIImage.h"

namespace brindlecue {

using platform::UIButton;
using platform::URL;

namespace {

constexpr const char* kImageURLStorageKey = "imageURLStorageKey";

struct URLStorage {
    std::mutex mutex;
    std::map<std::string, URL> urls;
};

std::shared_ptr<URLStorage> storage(const UIButton& button) {
    static std::mutex creation;
    std::lock_guard lock(creation);
    auto urls = button.associatedObject<URLStorage>(kImageURLStorageKey);
    if (!urls) {
        urls = std::make_shared<URLStorage>();
        const_cast<UIButton&>(button).setAssociatedObject(kImageURLStorageKey, urls);
    }
    return urls;
}

std::string imageKey(uint64_t state) { return "image_" + std::to_string(state); }
std::string backgroundKey(uint64_t state) { return "backgroundImage_" + std::to_string(state); }
std::string imageOperationKey(uint64_t state) { return "UIButtonImageOperation" + std::to_string(state); }
std::string backgroundOperationKey(uint64_t state) {
    return "UIButtonBackgroundImageOperation" + std::to_string(state);
}

void remember(const UIButton& button, const std::string& key, const std::optional<URL>& url) {
    auto urls = storage(button);
    std::lock_guard lock(urls->mutex);
    if (url)
        urls->urls.insert_or_assign(key, *url);
    else
        urls->urls.erase(key);
}

std::optional<URL> recalled(const UIButton& button, const std::string& key) {
    auto urls = storage(button);
    std::lock_guard lock(urls->mutex);
    auto it = urls->urls.find(key);
    return it == urls->urls.end() ? std::nullopt : std::optional<URL>(it->second);
}

}  // namespace

void UIButtonWebCache::sd_setImageWithURL(const std::shared_ptr<UIButton>& button, const std::optional<URL>& url,
                                          uint64_t state, const std::shared_ptr<platform::UIImage>& placeholder,
                                          KJSDWebImageOptions options, KJSDExternalCompletionBlock completed) {
    if (!button) return;
    remember(*button, imageKey(state), url);
    std::weak_ptr<UIButton> weakButton = button;
    UIViewWebCache::sd_internalSetImageWithURL(
        button, url, placeholder, options, imageOperationKey(state),
        [weakButton, state](std::shared_ptr<platform::UIImage> image, std::optional<platform::Data>) {
            if (auto button = weakButton.lock()) button->setImage(image, state);
        },
        nullptr, std::move(completed));
}

void UIButtonWebCache::sd_setBackgroundImageWithURL(const std::shared_ptr<UIButton>& button,
                                                    const std::optional<URL>& url, uint64_t state,
                                                    const std::shared_ptr<platform::UIImage>& placeholder,
                                                    KJSDWebImageOptions options,
                                                    KJSDExternalCompletionBlock completed) {
    if (!button) return;
    remember(*button, backgroundKey(state), url);
    std::weak_ptr<UIButton> weakButton = button;
    UIViewWebCache::sd_internalSetImageWithURL(
        button, url, placeholder, options, backgroundOperationKey(state),
        [weakButton, state](std::shared_ptr<platform::UIImage> image, std::optional<platform::Data>) {
            if (auto button = weakButton.lock()) button->setBackgroundImage(image, state);
        },
        nullptr, std::move(completed));
}

std::optional<URL> UIButtonWebCache::sd_currentImageURL(const UIButton& button) {
    auto url = recalled(button, imageKey(button.state()));
    return url ? url : recalled(button, imageKey(platform::UIControlStateNormal));
}

std::optional<URL> UIButtonWebCache::sd_imageURLForState(const UIButton& button, uint64_t state) {
    return recalled(button, imageKey(state));
}

std::optional<URL> UIButtonWebCache::sd_currentBackgroundImageURL(const UIButton& button) {
    auto url = recalled(button, backgroundKey(button.state()));
    return url ? url : recalled(button, backgroundKey(platform::UIControlStateNormal));
}

std::optional<URL> UIButtonWebCache::sd_backgroundImageURLForState(const UIButton& button, uint64_t state) {
    return recalled(button, backgroundKey(state));
}

void UIButtonWebCache::sd_cancelImageLoadForState(const std::shared_ptr<UIButton>& button, uint64_t state) {
    UIViewWebCacheOperation::sd_cancelImageLoadOperationWithKey(button, imageOperationKey(state));
}

void UIButtonWebCache::sd_cancelBackgroundImageLoadForState(const std::shared_ptr<UIButton>& button, uint64_t state) {
    UIViewWebCacheOperation::sd_cancelImageLoadOperationWithKey(button, backgroundOperationKey(state));
}

}  // namespace brindlecue
