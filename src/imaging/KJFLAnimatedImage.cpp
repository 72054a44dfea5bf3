#include "imaging/KJFLAnimatedImage.h"

#include <algorithm>
#include <cfloat>
#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <vector>

#include "platform/NotificationCenter.h"
#include "platform/dispatch/DispatchQueue.h"
#include "platform/dispatch/DispatchWorkItem.h"
#include "platform/graphics/CGContext.h"
#include "platform/graphics/CGImageSource.h"
#include "platform/uikit/UIApplication.h"

namespace brindlecue {

using platform::CGImage;
using platform::UIImage;

namespace {

constexpr double kDefaultDelay = 0.1;
constexpr double kMegabyte = 1024 * 1024;
constexpr double kSizeCategoryAll = 10;      // MB: every frame is cached
constexpr double kSizeCategoryDefault = 75;  // MB: 5 frames; above it 1
constexpr uint64_t kFramesOfDefaultCategory = 5;
constexpr uint64_t kFramesAboveDefaultCategory = 1;
constexpr uint64_t kFrameCacheSizeAfterMemoryWarning = 1;
constexpr uint64_t kFrameCacheSizeGrowAfterMemoryWarning = 2;
constexpr double kGrowDelay = 2.0;
constexpr double kResetDelay = 3.0;
constexpr uint64_t kGrowAttemptsMax = 3;

std::string format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string format(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    va_list again;
    va_copy(again, args);
    int n = std::vsnprintf(nullptr, 0, fmt, args);
    va_end(args);
    std::string out(size_t(std::max(n, 0)), '\0');
    std::vsnprintf(out.data(), out.size() + 1, fmt, again);
    va_end(again);
    return out;
}

// The platform's image source over GIF data.
class ImageIOFrameSource final : public KJFLAnimatedImage::FrameSource {
public:
    explicit ImageIOFrameSource(std::shared_ptr<platform::CGImageSource> source) : source_(std::move(source)) {}
    std::string typeIdentifier() const override { return source_->typeIdentifier(); }
    size_t count() const override { return source_->count(); }
    std::optional<unsigned> loopCount() const override { return source_->loopCount(); }
    std::optional<double> delayAtIndex(size_t index) const override { return source_->delayAtIndex(index); }
    std::shared_ptr<const CGImage> imageAtIndex(size_t index) const override { return source_->imageAtIndex(index); }

private:
    std::shared_ptr<platform::CGImageSource> source_;
};

std::string addressOf(const void* p) {
    return format("%p", p);
}

std::string dataText(const platform::Data& data) {
    return platform::Value::data(data.data(), data.size()).description();
}

// The GIF properties of a frame, as the platform lists them.
std::string framePropertiesText(const KJFLAnimatedImage::FrameSource& source, size_t index) {
    platform::Value gif = platform::Value::dictionary();
    if (auto delay = source.delayAtIndex(index)) {
        gif.set("DelayTime", *delay);
        gif.set("UnclampedDelayTime", *delay);
    }
    return platform::Value::dictionary({{"{GIF}", gif}}).description();
}

std::string sourcePropertiesText(const KJFLAnimatedImage::FrameSource& source, const platform::Data& data) {
    platform::Value gif = platform::Value::dictionary();
    if (auto loops = source.loopCount()) gif.set("LoopCount", *loops);
    return platform::Value::dictionary({{"FileSize", data.size()}, {"{GIF}", gif}}).description();
}

// Class-level state: every live image (weakly) and the log hook.
struct ClassState {
    std::mutex imagesMutex;
    std::vector<std::weak_ptr<KJFLAnimatedImage>> images;
    std::mutex logMutex;
    KJFLAnimatedImage::LogBlock logBlock;
    uint64_t logLevel = 0;
};

ClassState& classState() {
    static auto* state = new ClassState();  // lives for the process, as the observer does
    return *state;
}

// Observes memory warnings once, when the class is first used; the handler runs on the posting
// thread and passes the warning to every live image.
void observeMemoryWarnings() {
    static std::once_flag once;
    std::call_once(once, [] {
        static auto* observer = new std::shared_ptr<platform::NotificationObserver>(
            platform::NotificationCenter::defaultCenter().addObserver(
                platform::UIApplication::UIApplicationDidReceiveMemoryWarningNotification, nullptr, nullptr,
                [](const platform::Notification& notification) {
                    std::vector<std::shared_ptr<KJFLAnimatedImage>> live;
                    {
                        auto& state = classState();
                        std::lock_guard lock(state.imagesMutex);
                        std::erase_if(state.images, [](const auto& weak) { return weak.expired(); });
                        for (const auto& weak : state.images)
                            if (auto image = weak.lock()) live.push_back(std::move(image));
                    }
                    for (const auto& image : live) image->didReceiveMemoryWarning(notification);
                }));
        (void)observer;
    });
}

}  // namespace

// ---- Creation

std::shared_ptr<KJFLAnimatedImage> KJFLAnimatedImage::animatedImageWithGIFData(const platform::Data& data) {
    return initWithAnimatedGIFData(data);
}

std::shared_ptr<KJFLAnimatedImage> KJFLAnimatedImage::initWithAnimatedGIFData(const platform::Data& data) {
    return initWithAnimatedGIFData(data, 0, true);
}

std::shared_ptr<KJFLAnimatedImage> KJFLAnimatedImage::initWithAnimatedGIFData(const platform::Data& data,
                                                                              uint64_t optimalFrameCacheSize,
                                                                              bool predrawingEnabled) {
    if (data.empty()) {
        logStringFromBlock([] { return std::string("No animated GIF data supplied."); }, 1);
        return nullptr;
    }
    // Frames are decoded when they are asked for; the source keeps no decoded frame.
    auto source = platform::CGImageSource::createWithData(data);
    if (!source) {
        logStringFromBlock(
            [&] { return "Failed to `CGImageSourceCreateWithData` for animated GIF data " + dataText(data); }, 1);
        return nullptr;
    }
    return create(std::make_shared<ImageIOFrameSource>(std::move(source)), data, optimalFrameCacheSize,
                  predrawingEnabled);
}

std::shared_ptr<KJFLAnimatedImage> KJFLAnimatedImage::initWithFrameSource(std::shared_ptr<FrameSource> source,
                                                                          platform::Data data,
                                                                          uint64_t optimalFrameCacheSize,
                                                                          bool predrawingEnabled) {
    if (!source) return nullptr;
    return create(std::move(source), std::move(data), optimalFrameCacheSize, predrawingEnabled);
}

KJFLAnimatedImage::KJFLAnimatedImage(Token, std::shared_ptr<FrameSource> source, platform::Data data,
                                     bool predrawingEnabled)
    : imageSource_(std::move(source)), data_(std::move(data)), predrawingEnabled_(predrawingEnabled) {}

KJFLAnimatedImage::~KJFLAnimatedImage() {
    if (pendingGrow_) pendingGrow_->cancel();
    if (pendingReset_) pendingReset_->cancel();
}

std::shared_ptr<KJFLAnimatedImage> KJFLAnimatedImage::create(std::shared_ptr<FrameSource> source, platform::Data data,
                                                             uint64_t optimalFrameCacheSize, bool predrawingEnabled) {
    observeMemoryWarnings();
    const std::string type = source->typeIdentifier();
    if (type != "com.compuserve.gif") {
        logStringFromBlock(
            [&] { return "Supplied data is of type " + type + " and doesn't seem to be GIF data " + dataText(data); },
            1);
        return nullptr;
    }
    auto image = platform::make<KJFLAnimatedImage>(Token{}, std::move(source), std::move(data), predrawingEnabled);
    const FrameSource& frames = *image->imageSource_;
    image->loopCount_ = frames.loopCount().value_or(0);

    const size_t count = frames.count();
    uint64_t dropped = 0;
    for (size_t i = 0; i < count; ++i) {
        auto bitmap = frames.imageAtIndex(i);
        if (!bitmap) {
            ++dropped;
            logStringFromBlock(
                [&] {
                    return format("Dropping frame %zu because failed to `CGImageSourceCreateImageAtIndex` with image "
                                  "source <CGImageSource %s>",
                                  i, addressOf(&frames).c_str());
                },
                3);
            continue;
        }
        auto frame = UIImage::imageWithCGImage(bitmap);
        if (!frame) {
            ++dropped;
            logStringFromBlock(
                [&] {
                    return format("Dropping frame %zu because valid `CGImageRef` <CGImage %s> did result in "
                                  "`nil`-`UIImage`.",
                                  i, addressOf(bitmap.get()).c_str());
                },
                3);
            continue;
        }
        if (!image->posterImage_) {
            // The poster is kept as decoded (not predrawn) and never leaves the cache.
            image->posterImage_ = frame;
            image->size_ = frame->size();
            image->posterImageFrameIndex_ = i;
            image->cachedFramesForIndexes_[i] = frame;
        }

        std::optional<double> written = frames.delayAtIndex(i);
        double delay = 0;
        if (written) {
            delay = *written;
        } else if (i == 0) {
            logStringFromBlock(
                [&] {
                    return "Falling back to default delay time for first frame " + frame->description() +
                           " because none found in GIF properties " + framePropertiesText(frames, i);
                },
                3);
            delay = kDefaultDelay;
        } else {
            logStringFromBlock(
                [&] {
                    return format("Falling back to preceding delay time for frame %zu ", i) + frame->description() +
                           " because none found in GIF properties " + framePropertiesText(frames, i);
                },
                3);
            // A dropped predecessor has no delay: 0, which the minimum below turns into the default.
            auto previous = image->delayTimesForIndexes_.find(i - 1);
            delay = previous != image->delayTimesForIndexes_.end() ? previous->second : 0;
        }
        // Browsers and the platform show delays this short at the default; exactly the minimum is kept.
        if (float(delay) < float(kKJFLAnimatedImageDelayTimeIntervalMinimum) - FLT_EPSILON) {
            logStringFromBlock(
                [&] {
                    return format("Rounding frame %zu's `delayTime` from %f up to default %f (minimum supported: %f).",
                                  i, delay, kDefaultDelay, kKJFLAnimatedImageDelayTimeIntervalMinimum);
                },
                3);
            delay = kDefaultDelay;
        }
        image->delayTimesForIndexes_[i] = delay;
    }
    image->frameCount_ = count;

    // No frame that decodes means no poster and nothing to play: no image.
    if (count == 0 || !image->posterImage_) {
        logStringFromBlock(
            [&] {
                return "Failed to create any valid frames for GIF with properties " +
                       sourcePropertiesText(frames, image->data_);
            },
            3);
        return nullptr;
    }
    if (count == 1) {
        logStringFromBlock(
            [&] {
                return "Created valid GIF but with only a single frame. Image properties: " +
                       sourcePropertiesText(frames, image->data_);
            },
            3);
    }

    if (optimalFrameCacheSize == 0) {
        const auto& poster = *image->posterImage_->cgImage();
        double megabytes = double(poster.width()) * 4 * image->size_.height * double(count - dropped) / kMegabyte;
        if (megabytes <= kSizeCategoryAll)
            optimalFrameCacheSize = count;
        else if (megabytes <= kSizeCategoryDefault)
            optimalFrameCacheSize = kFramesOfDefaultCategory;
        else
            optimalFrameCacheSize = kFramesAboveDefaultCategory;
    }
    image->frameCacheSizeOptimal_ = std::min<uint64_t>(optimalFrameCacheSize, count);

    image->weakProxy_ = KJFLWeakProxy<KJFLAnimatedImage>::weakProxyForObject(image);
    auto& state = classState();
    std::lock_guard lock(state.imagesMutex);
    std::erase_if(state.images, [](const auto& weak) { return weak.expired(); });
    state.images.push_back(image);
    return image;
}

std::string KJFLAnimatedImage::description() const {
    return NSObject::description() + " size=" + platform::NSStringFromCGSize(size_) +
           format(" frameCount=%lu", static_cast<unsigned long>(frameCount_));
}

// ---- Frames

std::shared_ptr<UIImage> KJFLAnimatedImage::imageLazilyCachedAtIndex(uint64_t index) {
    if (index >= frameCount_) {
        logStringFromBlock(
            [&] {
                return format("Skipping requested frame %lu beyond bounds (total frame count: %lu) for animated image: ",
                              static_cast<unsigned long>(index), static_cast<unsigned long>(frameCount_)) +
                       description();
            },
            2);
        return nullptr;
    }
    requestedFrameIndex_ = index;
    if (cachedFramesForIndexes_.size() < frameCount_) {
        std::set<uint64_t> wanted = frameIndexesToCache();
        for (const auto& [cached, frame] : cachedFramesForIndexes_) wanted.erase(cached);
        for (uint64_t requested : requestedFrameIndexes_) wanted.erase(requested);
        wanted.erase(posterImageFrameIndex_);
        if (!wanted.empty()) addFrameIndexesToCache(wanted);
    }
    auto found = cachedFramesForIndexes_.find(index);
    std::shared_ptr<UIImage> frame = found != cachedFramesForIndexes_.end() ? found->second : nullptr;
    purgeFrameCacheIfNeeded();
    return frame;
}

std::set<uint64_t> KJFLAnimatedImage::frameIndexesToCache() const {
    std::set<uint64_t> indexes;
    const uint64_t size = frameCacheSizeCurrent();
    if (size == frameCount_) {
        for (uint64_t i = 0; i < frameCount_; ++i) indexes.insert(i);
    } else {
        // From the playhead forward, wrapping past the last frame.
        const uint64_t first = std::min(size, frameCount_ - requestedFrameIndex_);
        for (uint64_t i = 0; i < first; ++i) indexes.insert(requestedFrameIndex_ + i);
        for (uint64_t i = 0; first < size && i < size - first; ++i) indexes.insert(i);
        if (indexes.size() != size)
            logStringFromBlock([] { return std::string("Number of frames to cache doesn't equal expected cache size."); },
                               2);
    }
    indexes.insert(posterImageFrameIndex_);
    return indexes;
}

void KJFLAnimatedImage::addFrameIndexesToCache(const std::set<uint64_t>& indexes) {
    requestedFrameIndexes_.insert(indexes.begin(), indexes.end());
    if (!serialQueue_) serialQueue_ = platform::DispatchQueue::serial("brackenfold.framecachingqueue");
    // The frames from the playhead to the end first, then those before it.
    std::vector<uint64_t> order;
    order.reserve(indexes.size());
    for (auto it = indexes.lower_bound(requestedFrameIndex_); it != indexes.end(); ++it) order.push_back(*it);
    for (auto it = indexes.begin(); it != indexes.end() && *it < requestedFrameIndex_; ++it) order.push_back(*it);

    std::weak_ptr<KJFLAnimatedImage> weak = std::static_pointer_cast<KJFLAnimatedImage>(shared_from_this());
    serialQueue_->async([weak, order = std::move(order)] {
        for (uint64_t index : order) {
            std::shared_ptr<UIImage> frame;
            if (auto self = weak.lock())
                frame = self->imageAtIndex(index);
            else
                return;  // a released image decodes nothing more
            if (!frame) continue;  // stays requested, so it is not asked for again
            platform::DispatchQueue::main()->async([weak, index, frame] {
                auto self = weak.lock();
                if (!self) return;
                self->cachedFramesForIndexes_[index] = frame;
                self->requestedFrameIndexes_.erase(index);
            });
        }
    });
}

void KJFLAnimatedImage::purgeFrameCacheIfNeeded() {
    if (cachedFramesForIndexes_.size() <= frameCacheSizeCurrent()) return;
    const std::set<uint64_t> keep = frameIndexesToCache();
    std::erase_if(cachedFramesForIndexes_, [&](const auto& entry) { return !keep.contains(entry.first); });
}

std::shared_ptr<UIImage> KJFLAnimatedImage::imageAtIndex(uint64_t index) const {
    auto bitmap = imageSource_->imageAtIndex(size_t(index));
    if (!bitmap) return nullptr;
    auto image = UIImage::imageWithCGImage(std::move(bitmap));
    return predrawingEnabled_ ? predrawnImageFromImage(image) : image;
}

std::set<uint64_t> KJFLAnimatedImage::cachedFrameIndexes() const {
    std::set<uint64_t> out;
    for (const auto& [index, frame] : cachedFramesForIndexes_) out.insert(index);
    return out;
}

std::shared_ptr<UIImage> KJFLAnimatedImage::predrawnImageFromImage(const std::shared_ptr<UIImage>& image) {
    if (!image || !image->cgImage()) return image;
    const CGImage& bitmap = *image->cgImage();
    const int width = int(image->size().width), height = int(image->size().height);
    // A bitmap without alpha is drawn into an opaque context, one with alpha premultiplied.
    auto context = platform::CGContext::createBitmap(width, height, !bitmap.hasAlpha());
    if (!context) {
        logStringFromBlock(
            [&] {
                return format("Failed to `CGBitmapContextCreate` with color space kCGColorSpaceDeviceRGB and parameters "
                              "(width: %zu height: %zu bitsPerComponent: %zu bytesPerRow: %zu) for image ",
                              size_t(std::max(width, 0)), size_t(std::max(height, 0)), size_t(8),
                              size_t(std::max(width, 0)) * 4) +
                       image->description();
            },
            1);
        return image;
    }
    context->drawImage(platform::CGRect(0, 0, image->size().width, image->size().height), bitmap);
    auto drawn = UIImage::imageWithCGImage(context->makeImage(), image->scale(), image->imageOrientation());
    if (!drawn) {
        logStringFromBlock(
            [&] {
                return format("Failed to `imageWithCGImage:scale:orientation:` with image ref (null) created with color "
                              "space kCGColorSpaceDeviceRGB and bitmap context <CGContext %s> and properties and "
                              "properties (scale: %f orientation: %ld) for image ",
                              addressOf(context.get()).c_str(), image->scale(), long(image->imageOrientation())) +
                       image->description();
            },
            1);
        return image;
    }
    return drawn;
}

// ---- Cache sizes

uint64_t KJFLAnimatedImage::frameCacheSizeCurrent() const {
    uint64_t size = frameCacheSizeOptimal_;
    if (frameCacheSizeMax_ > 0) size = std::min(size, frameCacheSizeMax_);
    if (frameCacheSizeMaxInternal_ > 0) size = std::min(size, frameCacheSizeMaxInternal_);
    return size;
}

void KJFLAnimatedImage::setFrameCacheSizeMax(uint64_t size) {
    if (size == frameCacheSizeMax_) return;
    const bool shrinks = size < frameCacheSizeCurrent();
    frameCacheSizeMax_ = size;
    if (shrinks) purgeFrameCacheIfNeeded();
}

void KJFLAnimatedImage::setFrameCacheSizeMaxInternal(uint64_t size) {
    if (size == frameCacheSizeMaxInternal_) return;
    const bool shrinks = size < frameCacheSizeCurrent();
    frameCacheSizeMaxInternal_ = size;
    if (shrinks) purgeFrameCacheIfNeeded();
}

void KJFLAnimatedImage::didReceiveMemoryWarning(const platform::Notification&) {
    ++memoryWarningCount_;
    if (pendingGrow_) pendingGrow_->cancel();
    if (pendingReset_) pendingReset_->cancel();
    logStringFromBlock(
        [&] {
            return format("Attempt setting frame cache size max to %lu (previous was %lu) after memory warning #%lu "
                          "for animated image: ",
                          static_cast<unsigned long>(kFrameCacheSizeAfterMemoryWarning),
                          static_cast<unsigned long>(frameCacheSizeMaxInternal_),
                          static_cast<unsigned long>(memoryWarningCount_)) +
                   description();
        },
        4);
    setFrameCacheSizeMaxInternal(kFrameCacheSizeAfterMemoryWarning);
    // After the first warnings the cache grows back; from then on it stays at one frame.
    if (memoryWarningCount_ - 1 < kGrowAttemptsMax) {
        pendingGrow_ = platform::DispatchWorkItem::create([proxy = weakProxy_] {
            proxy->send([](KJFLAnimatedImage& image) {
                image.growFrameCacheSizeAfterMemoryWarning(kFrameCacheSizeGrowAfterMemoryWarning);
            });
        });
        platform::DispatchQueue::main()->asyncAfter(kGrowDelay, pendingGrow_);
    }
}

void KJFLAnimatedImage::growFrameCacheSizeAfterMemoryWarning(uint64_t size) {
    setFrameCacheSizeMaxInternal(size);
    logStringFromBlock(
        [&] {
            return format("Grew frame cache size max to %lu after memory warning for animated image: ",
                          static_cast<unsigned long>(size)) +
                   description();
        },
        4);
    pendingReset_ = platform::DispatchWorkItem::create(
        [proxy = weakProxy_] { proxy->send([](KJFLAnimatedImage& image) { image.resetFrameCacheSizeMaxInternal(); }); });
    platform::DispatchQueue::main()->asyncAfter(kResetDelay, pendingReset_);
}

void KJFLAnimatedImage::resetFrameCacheSizeMaxInternal() {
    setFrameCacheSizeMaxInternal(0);
    logStringFromBlock(
        [&] {
            return format("Reset frame cache size max (current frame cache size: %lu) for animated image: ",
                          static_cast<unsigned long>(frameCacheSizeCurrent())) +
                   description();
        },
        4);
}

// ---- Class level

platform::CGSize KJFLAnimatedImage::sizeForImage(const std::shared_ptr<platform::NSObject>& image) {
    if (!image) return {};
    if (auto still = std::dynamic_pointer_cast<UIImage>(image)) return still->size();
    if (auto animated = std::dynamic_pointer_cast<KJFLAnimatedImage>(image)) return animated->size();
    logStringFromBlock(
        [&] { return "`image` isn't of expected types `UIImage` or `KJFLAnimatedImage`: " + image->description(); }, 1);
    return {};
}

void KJFLAnimatedImage::setLogBlock(LogBlock block, uint64_t logLevel) {
    auto& state = classState();
    std::lock_guard lock(state.logMutex);
    state.logBlock = std::move(block);
    state.logLevel = logLevel;
}

void KJFLAnimatedImage::logStringFromBlock(const std::function<std::string()>& producer, uint64_t level) {
    LogBlock block;
    {
        auto& state = classState();
        std::lock_guard lock(state.logMutex);
        if (!producer || !state.logBlock || level > state.logLevel) return;
        block = state.logBlock;
    }
    block(producer(), level);
}

}  // namespace brindlecue
