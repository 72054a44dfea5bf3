#pragma once

#include <condition_variable>
#include <mutex>
#include <set>
#include <utility>
#include <vector>

#include "imaging/KJFLAnimatedImage.h"
#include "platform/graphics/CGImage.h"

namespace brindlecue::testsupport {

// GIF frames of one shared bitmap, 0.1 s each: some may fail to decode or have no delay, and
// decoding may be held at a gate. Every decode is recorded.
class FakeFrameSource final : public KJFLAnimatedImage::FrameSource {
public:
    FakeFrameSource(size_t count, int width, int height, unsigned loops = 0)
        : count_(count),
          loops_(loops),
          bitmap_(platform::CGImage::fromPremultipliedARGB(width, height,
                                                           std::vector<uint32_t>(size_t(width) * height, ~0u))) {}

    std::string typeIdentifier() const override { return "com.compuserve.gif"; }
    size_t count() const override { return count_; }
    std::optional<unsigned> loopCount() const override { return loops_; }
    std::optional<double> delayAtIndex(size_t index) const override {
        return noDelay.contains(index) ? std::nullopt : std::optional<double>(0.1);
    }
    std::shared_ptr<const platform::CGImage> imageAtIndex(size_t index) const override {
        std::unique_lock lock(mutex_);
        calls_.push_back(index);
        changed_.notify_all();
        changed_.wait(lock, [&] { return open_; });
        return failing.contains(index) ? nullptr : bitmap_;
    }

    std::vector<size_t> takeCalls() {
        std::lock_guard lock(mutex_);
        return std::exchange(calls_, {});
    }
    void setOpen(bool open) {
        std::lock_guard lock(mutex_);
        open_ = open;
        changed_.notify_all();
    }
    void waitForCall() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return !calls_.empty(); });
    }

    std::set<size_t> failing;
    std::set<size_t> noDelay;

private:
    size_t count_;
    unsigned loops_;
    std::shared_ptr<const platform::CGImage> bitmap_;
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    mutable std::vector<size_t> calls_;
    bool open_ = true;
};

}  // namespace brindlecue::testsupport
