#include "presentation/KJTipImageElement.h"

#include <algorithm>
#include <cctype>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>

#include "feed/KJDocumentReader.h"
#include "feed/KJTipElement.h"
#include "feed/KJTipUtil.h"
#include "feed/KJTipUtilFunctions.h"
#include "foundation/BLQDeviceUtils.h"
#include "foundation/KJLog.h"
#include "imaging/KJFLAnimatedImageView.h"
#include "imaging/UIImageViewWebCache.h"
#include "platform/Bundle.h"
#include "platform/dispatch/DispatchQueue.h"
#include "platform/dispatch/DispatchSemaphore.h"
#include "platform/foundation/HTTPURLResponse.h"
#include "platform/foundation/URLRequest.h"
#include "platform/foundation/URLSession.h"
#include "platform/graphics/CGImageSource.h"
#include "platform/uikit/CALayer.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UIImageView.h"
#include "uikit-support/KJMASConstraintMaker.h"
#include "uikit-support/UIViewKJMASAdditions.h"

namespace brindlecue {

using platform::CGRect;
using platform::CGSize;
using platform::Value;

namespace {

std::string lowercase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string extensionOf(const std::string& resource) {
    if (auto url = platform::URL::fromString(resource)) return url->pathExtension();
    const std::string ext = std::filesystem::path(resource).extension().string();
    return ext.empty() ? ext : ext.substr(1);
}

std::optional<platform::Data> readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    return platform::Data(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The pixel size of the image at the URL, or none when it cannot be read in time.
std::optional<CGSize> remotePixelSize(const platform::URL& url) {
    platform::URLRequest request(url, platform::URLRequest::CachePolicy::UseProtocolCachePolicy,
                                 KJTipImageElement::kSizeProbeTimeout);
    struct Probe {
        std::mutex mutex;
        std::optional<platform::Data> bytes;
    };
    auto probe = std::make_shared<Probe>();
    auto done = std::make_shared<platform::DispatchSemaphore>(0);
    auto task = platform::URLSession::shared()->dataTaskWithRequest(
        request,
        [probe, done](std::optional<platform::Data> data, std::shared_ptr<platform::URLResponse> response,
                      std::optional<platform::Error> error) {
            auto http = std::dynamic_pointer_cast<platform::HTTPURLResponse>(response);
            const bool ok = !error && (!http || (http->statusCode() >= 200 && http->statusCode() < 300));
            if (ok) {
                std::lock_guard lock(probe->mutex);
                probe->bytes = std::move(data);
            }
            done->signal();
        });
    task->resume();
    if (!done->wait(KJTipImageElement::kSizeProbeTimeout)) {
        task->cancel();
        KJLog(1, "image size not read from %@ within %f seconds", url.absoluteString(),
              KJTipImageElement::kSizeProbeTimeout);
        return std::nullopt;
    }
    std::optional<platform::Data> bytes;
    {
        std::lock_guard lock(probe->mutex);
        bytes = std::move(probe->bytes);
    }
    if (!bytes) return std::nullopt;
    auto source = platform::CGImageSource::createWithData(std::move(*bytes));
    if (!source || source->pixelWidth() <= 0 || source->pixelHeight() <= 0) return std::nullopt;
    return CGSize{double(source->pixelWidth()), double(source->pixelHeight())};
}

std::optional<platform::UIColor> uiColor(const std::optional<platform::Color>& color) {
    return color ? std::optional<platform::UIColor>(*color) : std::nullopt;
}

}  // namespace

const KJElementClass& KJTipImageElement::elementClass() {
    static const KJElementClass cls("KJTipImageElement", &KJTipBaseElement::elementClass(),
                                    KJPropertyTable<KJTipImageElement>()
                                        .text("resource", &KJTipImageElement::resource)
                                        .text("placeholder", &KJTipImageElement::placeholder)
                                        .color("backgroundColor", &KJTipImageElement::backgroundColor)
                                        .int32("imageAlign", &KJTipImageElement::imageAlign)
                                        .real("width", &KJTipImageElement::width)
                                        .text("feedWidth", &KJTipImageElement::feedWidth)
                                        .real("height", &KJTipImageElement::height)
                                        .text("feedHeight", &KJTipImageElement::feedHeight)
                                        .boolean("scale", &KJTipImageElement::scale)
                                        .fourSide("margin", &KJTipImageElement::margin)
                                        .real("boxShadow", &KJTipImageElement::boxShadow)
                                        .color("borderColor", &KJTipImageElement::borderColor)
                                        .real("borderWidth", &KJTipImageElement::borderWidth)
                                        .real("cornerRadius", &KJTipImageElement::cornerRadius)
                                        .build());
    return cls;
}

void KJTipImageElement::registerWithCampaignModel() {
    KJElementClass::registerFactories(
        KJTipElement::kImageClassName,
        {[](const Value& v) { return KJTipImageElement::createFromFeed(v); },
         [](const Value& v) { return KJTipImageElement::deserializeFromDictionary(v); }});
}

std::shared_ptr<KJTipImageElement> KJTipImageElement::createFromFeed(const Value& object) {
    if (!object.isDictionary()) return nullptr;
    auto record = std::make_shared<KJTipImageElement>();
    KJDocumentReader in(object, "KJTipImageElement");
    record->resource = in.textOrEmpty("resource");
    record->placeholder = in.textOrEmpty("placeholder");
    record->backgroundColor = in.color("background-color");
    record->imageAlign = KJTipUtil::convertImageAlignmentFromString(in.word("image-align"));
    record->width = KJTipUtil::parseDPOrPercentage(in.value("width"));
    record->feedWidth = in.textOrEmpty("width");
    record->height = KJTipUtil::parseDPOrPercentage(in.value("height"));
    record->feedHeight = in.textOrEmpty("height");
    record->margin = {in.number("margin-top"), in.number("margin-bottom"), in.number("margin-left"),
                      in.number("margin-right")};
    record->boxShadow = in.number("box-shadow");
    record->borderColor = in.color("border-color");
    record->borderWidth = in.number("border-width");
    record->cornerRadius = in.number("corner-radius");
    return record;
}

bool KJTipImageElement::storedForm(KJStoredForm& out) const {
    storedProperties(out);
    return true;
}

std::shared_ptr<KJTipImageElement> KJTipImageElement::deserializeFromDictionary(const Value& stored) {
    return deserializeProperties<KJTipImageElement>(stored);
}

bool KJTipImageElement::isEqual(const platform::NSObject* other) const {
    return isEqualWithExcludeProperties(other);
}

// ---------------------------------------------------------------- kinds of resource

bool KJTipImageElement::isRemote(const std::string& resource) {
    return lowercase(resource).starts_with("http");
}

bool KJTipImageElement::isRemoteSVG(const std::string& resource) {
    return isRemote(resource) && lowercase(extensionOf(resource)) == "svg";
}

std::shared_ptr<platform::UIImageView> KJTipImageElement::createImageView(const KJTipImageElement& element) {
    const std::string resource = element.resource.value_or("");
    if (isRemote(resource) && !isRemoteSVG(resource)) return platform::make<KJFLAnimatedImageView>();
    return platform::make<platform::UIImageView>();
}

// ---------------------------------------------------------------- laying out

void KJTipImageElement::layoutImageElements(const std::vector<std::shared_ptr<KJTipBaseElement>>& images,
                                            const std::shared_ptr<platform::UIView>& contentView,
                                            CGSize contentSize,
                                            const std::vector<std::shared_ptr<KJTipElement>>& steps) {
    const std::shared_ptr<KJTipElement> step = steps.empty() ? nullptr : steps.front();
    if (images.empty() || !contentView) return;
    const auto reversed = reverseArray(std::optional(images));
    for (const auto& entry : *reversed) {
        auto element = std::dynamic_pointer_cast<KJTipImageElement>(entry);
        if (!element) continue;
        auto imageView = createImageView(*element);
        const bool remoteSVG = isRemoteSVG(element->resource.value_or(""));
        contentView->addSubview(imageView);
        contentView->sendSubviewToBack(imageView);

        if (element->backgroundColor)
            imageView->setBackgroundColor(platform::UIColor(*element->backgroundColor));
        auto layer = imageView->layer();
        layer->borderWidth = element->borderWidth;
        layer->borderColor = uiColor(element->borderColor);
        layer->cornerRadius = element->cornerRadius;
        if (element->boxShadow != 0) {
            layer->shadowOffset = {element->boxShadow, element->boxShadow};
            layer->shadowOpacity = 0.5;
            layer->shadowRadius = element->cornerRadius;
        } else {
            imageView->setClipsToBounds(true);
        }

        // The worker measures a copy: the record itself changes on the main queue only, where the
        // view gets its content mode, then its image, then its constraints.
        auto copy = deserializeFromDictionary(element->serializeToDictionary());
        platform::DispatchQueue::global(platform::DispatchQueue::Priority::High)
            ->async([element, copy, step, imageView, contentView, contentSize, remoteSVG]() mutable {
                setupImageElmentScale(*copy, contentSize, step);
                // Without a size on one side, the placeholder's proportions give the height.
                if (copy->width == 0 || copy->height == 0) {
                    if (auto placeholder =
                            imageNamed(copy->placeholder.value_or(""), platform::Bundle::main())) {
                        const CGSize size = placeholder->size();
                        copy->height = copy->width / size.width * size.height;
                    }
                }
                auto main = platform::DispatchQueue::main();
                main->async([element, copy, imageView] {
                    element->width = copy->width;
                    element->height = copy->height;
                    element->scale = copy->scale;
                    imageView->setContentMode(copy->scale ? platform::UIViewContentMode::ScaleToFill
                                                          : platform::UIViewContentMode::ScaleAspectFit);
                    if (std::dynamic_pointer_cast<KJFLAnimatedImageView>(imageView))
                        setNonSVCImage(*element, imageView);
                });
                if (!remoteSVG && !std::dynamic_pointer_cast<KJFLAnimatedImageView>(imageView))
                    setLocalImage(*copy, imageView);
                // The last step takes the views and the step along, so that none of them is let go of
                // on this queue.
                main->async([element, imageView = std::move(imageView), contentView = std::move(contentView),
                             step = std::move(step)] {
                    try {
                        masonryPositionSetup(contentView, *element, imageView);
                    } catch (const std::exception& e) {
                        KJLog(5, "unable to setup mosonry position, due to: %@", std::string(e.what()));
                    }
                });
            });
    }
}

// ---------------------------------------------------------------- sizing

CGSize KJTipImageElement::scaledSize(const std::string& feedWidth, const std::string& feedHeight,
                                     CGSize containerSize, std::optional<CGSize> originalSize) {
    const double CW = containerSize.width;
    const double CH = containerSize.height;
    double width = KJTipUtil::getSizeFromDPOrPercentage(Value(feedWidth), CW);
    double height = KJTipUtil::getSizeFromDPOrPercentage(Value(feedHeight), CH);
    // An unknown size has no proportions: 0 / 0 is not a number, and a not-a-number side loses
    // both limit tests below, so it takes the container's length.
    const double OW = originalSize ? originalSize->width : 0;
    const double OH = originalSize ? originalSize->height : 0;
    if (width <= 0 && height <= 0) {
        width = OW < CW ? OW : CW;
        height = width / (OW / OH);
    }
    const double ratio = width > 0 && height > 0 ? width / height : OW / OH;
    width = width > 0 ? width : ratio * height;
    if (!(width < CW)) width = CW;
    height = height > 0 ? height : width / ratio;
    if (!(height < CH)) height = CH;
    return {width, height};
}

void KJTipImageElement::setupImageElmentScale(KJTipImageElement& element, CGSize containerSize,
                                              const std::shared_ptr<KJTipElement>&) {
    element.scale = true;
    platform::Dictionary results;
    getOriginalImageSize(element.resource.value_or(""), results);
    std::optional<CGSize> original;
    const Value* originalWidth = results.find("originalWidth");
    const Value* originalHeight = results.find("originalHeight");
    if (originalWidth && originalHeight)
        original = CGSize{originalWidth->doubleValue(), originalHeight->doubleValue()};
    const CGSize size =
        scaledSize(element.feedWidth.value_or(""), element.feedHeight.value_or(""), containerSize, original);
    element.width = size.width;
    element.height = size.height;
}

void KJTipImageElement::getOriginalImageSize(const std::string& resource, platform::Dictionary& results) {
    auto url = platform::URL::fromString(resource);
    if (url && url->scheme() && url->host() && !url->host()->empty()) {
        KJLog(1, "received feed include a url image, reading image size from its header");
        if (auto size = remotePixelSize(*url)) {
            results.set("originalWidth", Value(size->width));
            results.set("originalHeight", Value(size->height));
            KJLog(1, "preload image size from url header as width: %@, height: %@", size->width,
                  size->height);
        }
        return;
    }
    KJLog(1, "received feed include a local image, loading image from local bundle");
    auto image = getLocalImage(resource);
    if (!image) {
        KJLog(1, "Local image not found by searching the resource name: %@", resource);
        return;
    }
    KJLog(1, "Image found, reading its size");
    results.set("originalWidth", Value(image->size().width));
    results.set("originalHeight", Value(image->size().height));
    KJLog(1, "load image size from local image as width: %@, height: %@", image->size().width,
          image->size().height);
}

// ---------------------------------------------------------------- images

std::shared_ptr<platform::UIImage> KJTipImageElement::imageNamed(
    const std::string& name, const std::shared_ptr<platform::Bundle>& bundle) {
    if (name.empty()) return nullptr;
    auto in = bundle ? bundle : platform::Bundle::main();
    if (!in) return nullptr;
    std::filesystem::path file(name);
    const bool typed = file.has_extension();
    const std::string ext = typed ? file.extension().string().substr(1) : "png";
    const std::string stem = typed ? file.replace_extension().string() : name;
    for (const auto& [suffix, scale] : {std::pair<const char*, double>{"", 1}, {"@3x", 3}, {"@2x", 2}}) {
        auto path = in->pathForResource(stem + suffix, ext);
        if (!path) continue;
        auto data = readFile(*path);
        if (auto image = data ? platform::UIImage::imageWithData(*data, scale) : nullptr) return image;
    }
    return nullptr;
}

std::shared_ptr<platform::UIImage> KJTipImageElement::getLocalImage(const std::string& resource) {
    if (auto image = imageNamed(resource, blqFindBundleForResource(resource, "png", false))) return image;
    if (auto image = imageNamed(resource + ".jpg", blqFindBundleForResource(resource, "jpg", false)))
        return image;
    if (auto image = imageNamed(resource + ".jpeg", blqFindBundleForResource(resource, "jpeg", false)))
        return image;
    return imageNamed(kDefaultPlaceholder, blqFindBundleForResource(kDefaultPlaceholder, "png", false));
}

void KJTipImageElement::setLocalImage(const KJTipImageElement& element,
                                      const std::shared_ptr<platform::UIImageView>& imageView) {
    auto image = getLocalImage(element.resource.value_or(""));
    platform::DispatchQueue::main()->async([imageView, image] { imageView->setImage(image); });
}

void KJTipImageElement::setNonSVCImage(const KJTipImageElement& element,
                                       const std::shared_ptr<platform::UIImageView>& imageView) {
    auto url = platform::URL::fromString(element.resource.value_or(""));
    auto placeholder = imageNamed(element.placeholder.value_or(""), platform::Bundle::main());
    std::weak_ptr<platform::UIImageView> weak = imageView;
    UIImageViewWebCache::sd_setImageWithURL(
        imageView, url, placeholder, KJSDImageLoadRetryFailedURL, nullptr,
        [weak](std::shared_ptr<platform::UIImage>, std::optional<platform::Error> error, KJSDImageCacheType,
               const std::optional<platform::URL>&) {
            // The image manager calls back on the main thread.
            auto view = weak.lock();
            if (!view) return;
            view->setHidden(false);
            if (error && !view->image())
                view->setImage(imageNamed(std::string(kFailedImage) + ".png",
                                          blqFindBundleForResource(kFailedImage, "png", false)));
        });
}

// ---------------------------------------------------------------- constraints

std::vector<std::shared_ptr<KJMASConstraint>> KJTipImageElement::masonryPositionSetup(
    const std::shared_ptr<platform::UIView>& contentView, const KJTipImageElement& element,
    const std::shared_ptr<platform::UIImageView>& imageView) {
    const FourSide& m = element.margin;
    const int32_t align = element.imageAlign;
    const double width = element.width;
    const double height = element.height;
    // Columns: 0 left, 1 centre, 2 right; rows: 0 top, 1 middle, 2 bottom.
    const int32_t column = align / 3;
    const int32_t row = align % 3;
    const bool aligned = align >= 0 && align <= 8;
    auto installed = UIViewKJMASAdditions::mas_updateConstraints(imageView, [&](KJMASConstraintMaker& make) {
        make.width()->equalTo(width);
        make.height()->equalTo(height);
        if (!aligned) return;
        if (column == 0) {
            make.leading()->equalTo(m.left);
        } else if (column == 2) {
            make.trailing()->equalTo(-m.right);
        } else {
            auto centre = make.centerX()->equalTo(UIViewKJMASAdditions::mas_centerX(contentView));
            if (align == 5) {
                if (m.left != 0) {
                    centre->offset(m.left);
                } else if (m.right != 0) {
                    centre->offset(-m.right);
                }
            } else if (m.left != 0 || m.right != 0) {
                centre->offset(m.left - m.right);
            }
        }
        if (row == 0) {
            make.top()->equalTo(m.top);
        } else if (row == 2) {
            make.bottom()->equalTo(-m.bottom);
        } else {
            auto centre = make.centerY()->equalTo(UIViewKJMASAdditions::mas_centerY(contentView));
            if (m.top != 0) {
                centre->offset(m.top);
            } else if (m.bottom != 0) {
                centre->offset(-m.bottom);
            }
        }
    });

    // The frame those constraints describe (layout is recorded, not solved).
    const CGSize box = contentView->bounds().size;
    CGRect frame = imageView->frame();
    frame.size = {width, height};
    if (aligned) {
        if (column == 0) {
            frame.origin.x = m.left;
        } else if (column == 2) {
            frame.origin.x = box.width - m.right - width;
        } else {
            double offset = m.left - m.right;
            if (align == 5) offset = m.left != 0 ? m.left : -m.right;
            frame.origin.x = (box.width - width) / 2 + offset;
        }
        if (row == 0) {
            frame.origin.y = m.top;
        } else if (row == 2) {
            frame.origin.y = box.height - m.bottom - height;
        } else {
            frame.origin.y = (box.height - height) / 2 + (m.top != 0 ? m.top : -m.bottom);
        }
    }
    imageView->setFrame(frame);
    return installed;
}

}  // namespace brindlecue
