#pragma once

#include <memory>
#include <shared_mutex>
#include <vector>

#include "imaging/KJSDWebImageCoder.h"

namespace brindlecue {

// The ordered list of coders, itself a coder: each request goes to the first coder of `coders`
// (the one added last first) that accepts it. The shared manager starts with the image I/O coder
// alone. Reads of the list run in parallel and writes are exclusive, so a request never sees a
// change half done.
class KJSDWebImageCodersManager final : public KJSDWebImageCoder {
public:
    static std::shared_ptr<KJSDWebImageCodersManager> sharedInstance();
    KJSDWebImageCodersManager();

    void addCoder(const std::shared_ptr<KJSDWebImageCoder>& coder);
    void removeCoder(const std::shared_ptr<KJSDWebImageCoder>& coder);
    // A snapshot, the coder added last first.
    std::vector<std::shared_ptr<KJSDWebImageCoder>> coders() const;
    // Replaces the list (given in the order of adding: `coders` reports it reversed).
    void setCoders(std::vector<std::shared_ptr<KJSDWebImageCoder>> coders);

    bool canDecodeFromData(const platform::Data* data) override;
    std::shared_ptr<platform::UIImage> decodedImageWithData(const platform::Data* data) override;
    std::shared_ptr<platform::UIImage> decompressedImageWithImage(const std::shared_ptr<platform::UIImage>& image,
                                                                  platform::Data* data,
                                                                  const platform::Value& options) override;
    bool canEncodeToFormat(KJSDImageFormat format) override;
    std::optional<platform::Data> encodedDataWithImage(const std::shared_ptr<platform::UIImage>& image,
                                                       KJSDImageFormat format) override;

private:
    mutable std::shared_mutex mutex_;
    std::vector<std::shared_ptr<KJSDWebImageCoder>> mutableCoders_;
};

}  // namespace brindlecue
