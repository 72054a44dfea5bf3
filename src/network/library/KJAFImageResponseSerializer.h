#pragma once

#include <memory>

#include "network/library/KJAFHTTPResponseSerializer.h"

namespace brindlecue::platform {
class UIImage;
}

namespace brindlecue {

// Validates the answer (the image MIME types) and decodes its body into an image at imageScale.
// With automaticallyInflatesResponseImage (the default) a still image of at most 1024 x 1024
// pixels is drawn once into a new bitmap as the answer arrives, off the main thread, so that
// showing it later decodes nothing; larger images come back as decoded.
//
// The image is a platform object: it comes from imageForResponse (or platformObjectForResponse);
// responseObjectForResponse gives no value.
class KJAFImageResponseSerializer : public KJAFHTTPResponseSerializer {
public:
    // Larger images are not drawn again.
    static constexpr int64_t kMaxInflatedPixels = 1024 * 1024;

    static std::shared_ptr<KJAFImageResponseSerializer> serializer();
    // Accepts the image types of the platform ("image/png", "image/jpeg", "image/gif", ...).
    KJAFImageResponseSerializer();

    // The main screen's scale when made.
    double imageScale;
    bool automaticallyInflatesResponseImage = true;

    // Null when validation refuses the answer outright (no error out-parameter, or a wrong MIME
    // type), for an empty body, or when the body is no image; after a refused status the image
    // comes with the status error.
    std::shared_ptr<platform::UIImage> imageForResponse(const std::shared_ptr<platform::URLResponse>& response,
                                                        const std::optional<platform::Data>& data,
                                                        std::optional<platform::Error>* error);

    platform::Value responseObjectForResponse(const std::shared_ptr<platform::URLResponse>& response,
                                              const std::optional<platform::Data>& data,
                                              std::optional<platform::Error>* error) override;
    std::shared_ptr<void> platformObjectForResponse(const std::shared_ptr<platform::URLResponse>& response,
                                                    const std::optional<platform::Data>& data,
                                                    std::optional<platform::Error>* error) override {
        return imageForResponse(response, data, error);
    }
    bool answersWithPlatformObject() const override { return true; }

    std::shared_ptr<KJAFURLResponseSerialization> copy() const override;
    std::vector<std::string> archivedClassNames() const override {
        return {"KJAFImageResponseSerializer", "KJAFHTTPResponseSerializer"};
    }
    void encodeWithCoder(platform::KeyedArchiver& coder) const override;
    void decodeFromCoder(platform::KeyedUnarchiver& coder);
};

// The image made from the data while holding one process-wide lock, so that one image at a time
// is decoded from data.
std::shared_ptr<platform::UIImage> af_safeImageWithData(const platform::Data& data);
// The image of the data at the scale with the orientation it was decoded with; an image with
// frames comes back as it is. None when the data is no image.
std::shared_ptr<platform::UIImage> KJAFImageWithDataAtScale(const platform::Data& data, double scale);

}  // namespace brindlecue
