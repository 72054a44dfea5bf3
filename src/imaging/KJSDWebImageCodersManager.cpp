#include "imaging/KJSDWebImageCodersManager.h"

#include <algorithm>
#include <mutex>

#include "imaging/KJSDWebImageImageIOCoder.h"

namespace brindlecue {

std::shared_ptr<KJSDWebImageCodersManager> KJSDWebImageCodersManager::sharedInstance() {
    static const auto manager = std::make_shared<KJSDWebImageCodersManager>();
    return manager;
}

KJSDWebImageCodersManager::KJSDWebImageCodersManager() : mutableCoders_{KJSDWebImageImageIOCoder::sharedCoder()} {}

void KJSDWebImageCodersManager::addCoder(const std::shared_ptr<KJSDWebImageCoder>& coder) {
    if (!coder) return;
    std::unique_lock lock(mutex_);
    mutableCoders_.push_back(coder);
}

void KJSDWebImageCodersManager::removeCoder(const std::shared_ptr<KJSDWebImageCoder>& coder) {
    std::unique_lock lock(mutex_);
    std::erase(mutableCoders_, coder);
}

std::vector<std::shared_ptr<KJSDWebImageCoder>> KJSDWebImageCodersManager::coders() const {
    std::shared_lock lock(mutex_);
    return {mutableCoders_.rbegin(), mutableCoders_.rend()};
}

void KJSDWebImageCodersManager::setCoders(std::vector<std::shared_ptr<KJSDWebImageCoder>> coders) {
    std::erase(coders, nullptr);
    std::unique_lock lock(mutex_);
    mutableCoders_ = std::move(coders);
}

bool KJSDWebImageCodersManager::canDecodeFromData(const platform::Data* data) {
    for (const auto& coder : coders())
        if (coder->canDecodeFromData(data)) return true;
    return false;
}

std::shared_ptr<platform::UIImage> KJSDWebImageCodersManager::decodedImageWithData(const platform::Data* data) {
    if (!data) return nullptr;
    for (const auto& coder : coders())
        if (coder->canDecodeFromData(data)) return coder->decodedImageWithData(data);
    return nullptr;
}

std::shared_ptr<platform::UIImage> KJSDWebImageCodersManager::decompressedImageWithImage(
    const std::shared_ptr<platform::UIImage>& image, platform::Data* data, const platform::Value& options) {
    if (!image) return nullptr;
    for (const auto& coder : coders())
        if (coder->canDecodeFromData(data)) return coder->decompressedImageWithImage(image, data, options);
    return nullptr;
}

bool KJSDWebImageCodersManager::canEncodeToFormat(KJSDImageFormat format) {
    for (const auto& coder : coders())
        if (coder->canEncodeToFormat(format)) return true;
    return false;
}

std::optional<platform::Data> KJSDWebImageCodersManager::encodedDataWithImage(
    const std::shared_ptr<platform::UIImage>& image, KJSDImageFormat format) {
    if (!image) return std::nullopt;
    for (const auto& coder : coders())
        if (coder->canEncodeToFormat(format)) return coder->encodedDataWithImage(image, format);
    return std::nullopt;
}

}  // namespace brindlecue
