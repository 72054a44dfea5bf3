#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "imaging/KJFLWeakProxy.h"
#include "platform/uikit/Geometry.h"
#include "platform/uikit/NSObject.h"
#include "platform/uikit/UIImage.h"

namespace brindlecue {

namespace platform {
class CGImage;
class DispatchQueue;
class DispatchWorkItem;
class Notification;
}  // namespace platform

// The shortest frame delay honoured, in seconds.
inline constexpr double kKJFLAnimatedImageDelayTimeIntervalMinimum = 0.02;

// One animated GIF made from its data. The loop count and every frame's delay are read once at
// creation, and the first frame that decodes becomes the poster; the other frames are decoded
// on demand on the image's own serial queue into a frame cache filled from the playhead forward.
// How many frames the cache keeps follows the decoded size of the whole animation, may be capped
// by the caller, drops to one after a memory warning and grows back afterwards.
//
// Frame requests and everything about the cache happen on the main thread.
class KJFLAnimatedImage final : public platform::NSObject {
    struct Token {};

public:
    // What the image reads of its GIF. Images made from data read the platform's image source;
    // another source can be given where the frames come from elsewhere. Must be safe to read from
    // two threads (creation or the main thread, and the image's decoding queue).
    class FrameSource {
    public:
        virtual ~FrameSource() = default;
        virtual std::string typeIdentifier() const = 0;
        virtual size_t count() const = 0;
        virtual std::optional<unsigned> loopCount() const = 0;
        // The frame's delay in seconds as written; none when it has none.
        virtual std::optional<double> delayAtIndex(size_t index) const = 0;
        // Nothing when the frame cannot be decoded.
        virtual std::shared_ptr<const platform::CGImage> imageAtIndex(size_t index) const = 0;
    };

    using LogBlock = std::function<void(const std::string& message, uint64_t level)>;

    // Predrawing on and the cache size chosen from the decoded size.
    static std::shared_ptr<KJFLAnimatedImage> animatedImageWithGIFData(const platform::Data& data);
    static std::shared_ptr<KJFLAnimatedImage> initWithAnimatedGIFData(const platform::Data& data);
    // optimalFrameCacheSize 0: chosen from the decoded size. Nothing (with a log line) for data
    // that is empty, not GIF, or without a frame that decodes.
    static std::shared_ptr<KJFLAnimatedImage> initWithAnimatedGIFData(const platform::Data& data,
                                                                      uint64_t optimalFrameCacheSize,
                                                                      bool predrawingEnabled);
    // The same over another frame source; the data is what the image reports as its data.
    static std::shared_ptr<KJFLAnimatedImage> initWithFrameSource(std::shared_ptr<FrameSource> source,
                                                                  platform::Data data,
                                                                  uint64_t optimalFrameCacheSize,
                                                                  bool predrawingEnabled);

    KJFLAnimatedImage(Token, std::shared_ptr<FrameSource> source, platform::Data data, bool predrawingEnabled);
    ~KJFLAnimatedImage() override;

    std::string className() const override { return "KJFLAnimatedImage"; }
    // The base description, " size=" and the size, " frameCount=" and the count.
    std::string description() const override;

    bool isPredrawingEnabled() const { return predrawingEnabled_; }
    const std::shared_ptr<platform::UIImage>& posterImage() const { return posterImage_; }
    // 0 loops for ever.
    uint64_t loopCount() const { return loopCount_; }
    // One entry per frame that decoded at creation.
    const std::map<uint64_t, double>& delayTimesForIndexes() const { return delayTimesForIndexes_; }
    // Frames in the source, those that did not decode included.
    uint64_t frameCount() const { return frameCount_; }
    const platform::Data& data() const { return data_; }
    uint64_t frameCacheSizeOptimal() const { return frameCacheSizeOptimal_; }
    uint64_t posterImageFrameIndex() const { return posterImageFrameIndex_; }
    // The poster's size.
    platform::CGSize size() const { return size_; }

    // The caller's cap on cached frames; 0 for none.
    uint64_t frameCacheSizeMax() const { return frameCacheSizeMax_; }
    void setFrameCacheSizeMax(uint64_t size);
    // The frames the cache may hold now: the optimal size under both caps.
    uint64_t frameCacheSizeCurrent() const;
    // The cap set after memory warnings; 0 for none.
    uint64_t frameCacheSizeMaxInternal() const { return frameCacheSizeMaxInternal_; }
    // The indexes in the frame cache.
    std::set<uint64_t> cachedFrameIndexes() const;

    // The frame, or nothing while it is not cached yet; asks for the frames around it. Main thread.
    std::shared_ptr<platform::UIImage> imageLazilyCachedAtIndex(uint64_t index);

    // Sent to every live image when the application receives a memory warning.
    void didReceiveMemoryWarning(const platform::Notification& notification);

    // The size of a UIImage or a KJFLAnimatedImage; zero for anything else.
    static platform::CGSize sizeForImage(const std::shared_ptr<platform::NSObject>& image);

    // The image redrawn into a bitmap of its size (so that showing it costs no decoding); the
    // image itself when that fails.
    static std::shared_ptr<platform::UIImage> predrawnImageFromImage(const std::shared_ptr<platform::UIImage>& image);

    // The log hook: messages up to the level reach the block. Empty until a host installs one.
    static void setLogBlock(LogBlock block, uint64_t logLevel);
    // Runs the producer only when the hook will take its message.
    static void logStringFromBlock(const std::function<std::string()>& producer, uint64_t level);

private:
    static std::shared_ptr<KJFLAnimatedImage> create(std::shared_ptr<FrameSource> source, platform::Data data,
                                                     uint64_t optimalFrameCacheSize, bool predrawingEnabled);
    std::shared_ptr<platform::UIImage> imageAtIndex(uint64_t index) const;
    std::set<uint64_t> frameIndexesToCache() const;
    void addFrameIndexesToCache(const std::set<uint64_t>& indexes);
    void purgeFrameCacheIfNeeded();
    void setFrameCacheSizeMaxInternal(uint64_t size);
    void growFrameCacheSizeAfterMemoryWarning(uint64_t size);
    void resetFrameCacheSizeMaxInternal();

    const std::shared_ptr<FrameSource> imageSource_;
    const platform::Data data_;
    const bool predrawingEnabled_;
    std::shared_ptr<platform::UIImage> posterImage_;
    platform::CGSize size_;
    uint64_t loopCount_ = 0;
    std::map<uint64_t, double> delayTimesForIndexes_;
    uint64_t frameCount_ = 0;
    uint64_t frameCacheSizeOptimal_ = 0;
    uint64_t frameCacheSizeMax_ = 0;
    uint64_t frameCacheSizeMaxInternal_ = 0;
    uint64_t requestedFrameIndex_ = 0;
    uint64_t posterImageFrameIndex_ = 0;
    std::map<uint64_t, std::shared_ptr<platform::UIImage>> cachedFramesForIndexes_;
    std::set<uint64_t> requestedFrameIndexes_;
    uint64_t memoryWarningCount_ = 0;
    std::shared_ptr<platform::DispatchQueue> serialQueue_;
    std::shared_ptr<KJFLWeakProxy<KJFLAnimatedImage>> weakProxy_;
    // The delayed grow and reset after a memory warning.
    std::shared_ptr<platform::DispatchWorkItem> pendingGrow_;
    std::shared_ptr<platform::DispatchWorkItem> pendingReset_;
};

}  // namespace brindlecue
