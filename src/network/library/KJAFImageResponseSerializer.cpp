#include "network/library/KJAFImageResponseSerializer.h"

#include <mutex>

#include "network/library/KJAFXMLParserResponseSerializer.h"
#include "platform/graphics/CGContext.h"
#include "platform/graphics/CGImageSource.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UIScreen.h"

namespace brindlecue {

using platform::CGImage;
using platform::Data;
using platform::UIImage;
using platform::Value;

namespace {

// Made on first use and never destroyed: decoding threads may still hold it while the process exits.
std::mutex& imageDecodingLock() {
    static auto* lock = new std::mutex();
    return *lock;
}

// The bitmap the platform's PNG or JPEG decoder makes of the data when the answer says it is one
// (the decoders of this build always give RGB, so no CMYK bitmap is ever set aside).
std::shared_ptr<const CGImage> directBitmap(const std::optional<std::string>& mimeType, const Data& data) {
    platform::ImageFormat format;
    if (mimeType == "image/png")
        format = platform::ImageFormat::PNG;
    else if (mimeType == "image/jpeg")
        format = platform::ImageFormat::JPEG;
    else
        return nullptr;
    auto source = platform::CGImageSource::createWithData(data);
    if (!source || source->format() != format) return nullptr;
    return source->imageAtIndex(0);
}

// Decodes the answer's image and, when it is a still image no larger than the limit, draws its
// bitmap once into a new bitmap context (opaque when the bitmap has no alpha, premultiplied
// otherwise), at the scale and with the orientation of the decoded image.
std::shared_ptr<UIImage> inflatedImage(const std::shared_ptr<platform::URLResponse>& response, const Data& data,
                                       double scale) {
    if (data.empty()) return nullptr;
    std::shared_ptr<const CGImage> bitmap =
        directBitmap(response ? response->mimeType() : std::optional<std::string>(), data);
    std::shared_ptr<UIImage> image = KJAFImageWithDataAtScale(data, scale);
    if (!bitmap) {
        if (!image || !image->images().empty()) return image;
        bitmap = image->cgImage();  // bitmaps are immutable: the copy is the same bitmap
        if (!bitmap) return nullptr;
    }
    // Every bitmap of this build has 8 bits per component; only the size can rule drawing out.
    if (int64_t(bitmap->width()) * bitmap->height() > KJAFImageResponseSerializer::kMaxInflatedPixels) return image;
    auto context = platform::CGContext::createBitmap(bitmap->width(), bitmap->height(), !bitmap->hasAlpha());
    if (!context) return image;
    context->drawImage(platform::CGRect{0, 0, double(bitmap->width()), double(bitmap->height())}, *bitmap);
    return UIImage::imageWithCGImage(context->makeImage(), scale,
                                     image ? image->imageOrientation() : platform::UIImageOrientation::Up);
}

}  // namespace

std::shared_ptr<UIImage> af_safeImageWithData(const Data& data) {
    std::lock_guard lock(imageDecodingLock());
    return UIImage::imageWithData(data);
}

std::shared_ptr<UIImage> KJAFImageWithDataAtScale(const Data& data, double scale) {
    auto image = af_safeImageWithData(data);
    if (!image || !image->images().empty()) return image;
    return UIImage::imageWithCGImage(image->cgImage(), scale, image->imageOrientation());
}

std::shared_ptr<KJAFImageResponseSerializer> KJAFImageResponseSerializer::serializer() {
    return std::make_shared<KJAFImageResponseSerializer>();
}

KJAFImageResponseSerializer::KJAFImageResponseSerializer()
    : imageScale(platform::UIScreen::mainScreen()->scale()) {
    acceptableContentTypes =
        std::set<std::string>{"image/tiff",       "image/jpeg",      "image/gif",        "image/png",
                              "image/ico",        "image/x-icon",    "image/bmp",        "image/x-bmp",
                              "image/x-xbitmap",  "image/x-win-bitmap"};
}

std::shared_ptr<UIImage> KJAFImageResponseSerializer::imageForResponse(
    const std::shared_ptr<platform::URLResponse>& response, const std::optional<Data>& data,
    std::optional<platform::Error>* error) {
    if (!KJAFResponseShouldBeDecoded(validateResponse(response, data, error), error)) return nullptr;
    if (!data) return nullptr;
    if (automaticallyInflatesResponseImage) return inflatedImage(response, *data, imageScale);
    return KJAFImageWithDataAtScale(*data, imageScale);
}

Value KJAFImageResponseSerializer::responseObjectForResponse(const std::shared_ptr<platform::URLResponse>& response,
                                                             const std::optional<Data>& data,
                                                             std::optional<platform::Error>* error) {
    // Validation still reports through the error; the answer itself is the image.
    validateResponse(response, data, error);
    return Value();
}

std::shared_ptr<KJAFURLResponseSerialization> KJAFImageResponseSerializer::copy() const {
    auto serializer = KJAFImageResponseSerializer::serializer();
    serializer->imageScale = imageScale;
    serializer->automaticallyInflatesResponseImage = automaticallyInflatesResponseImage;
    return serializer;
}

void KJAFImageResponseSerializer::encodeWithCoder(platform::KeyedArchiver& coder) const {
    KJAFHTTPResponseSerializer::encodeWithCoder(coder);
    coder.encodeObject(Value(imageScale), "imageScale");
    coder.encodeBool(automaticallyInflatesResponseImage, "automaticallyInflatesResponseImage");
}

void KJAFImageResponseSerializer::decodeFromCoder(platform::KeyedUnarchiver& coder) {
    KJAFHTTPResponseSerializer::decodeFromCoder(coder);
    if (coder.containsValueForKey("imageScale")) imageScale = coder.decodeObjectForKey("imageScale").doubleValue();
    if (coder.containsValueForKey("automaticallyInflatesResponseImage"))
        automaticallyInflatesResponseImage = coder.decodeBoolForKey("automaticallyInflatesResponseImage");
}

}  // namespace brindlecue
