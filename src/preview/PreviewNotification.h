#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "feed/BLQPreviewModeNotificationState.h"
#include "platform/uikit/Geometry.h"
#include "preview/PreviewModeIcon.h"

namespace brindlecue {

// The banner messages. The raw value is what a message is built from; text() is what the banner
// shows.
enum class PreviewModeMessage {
    nomessage,
    recivedFeedUpdate,
    guideDisplaying,
    takingScreenshot,
    screenshotError,
    noConnection,
    guideOnAnotherscreen,
    targetNotVisible,
    tipDoesnotfitScreen,
    nothingtodisplay,
    noOnDemand,
    screenshotsuccess,
};

// Exact texts only (case and spaces count); the empty text is guideDisplaying.
std::optional<PreviewModeMessage> PreviewModeMessageFromRawValue(std::string_view raw);
std::string rawValue(PreviewModeMessage message);
// Empty for nomessage, recivedFeedUpdate and guideDisplaying.
std::string text(PreviewModeMessage message);

// How long a message stays; the raw value is in seconds.
enum class PreviewModeMessageDuration : int {
    continous = 0,
    onesecond = 1,
    twoseconds = 2,
    threesecond = 3,
    foursecond = 4,
    fiveseconds = 5,
};

std::optional<PreviewModeMessageDuration> PreviewModeMessageDurationFromRawValue(int64_t raw);

// The overlay view's position preference: combining keeps the first point that was set.
struct PreviewModePreference {
    using Value = std::optional<platform::CGPoint>;
    static Value defaultValue() { return std::nullopt; }
    static void reduce(Value& value, const Value& next) {
        if (!value) value = next;
    }
};

// A stream of values: every sink hears each value sent while its subscription is held.
template <class T>
class PreviewPublisher {
public:
    using Sink = std::function<void(const T&)>;

    // Release the returned subscription to stop hearing.
    [[nodiscard]] std::shared_ptr<void> sink(Sink sink) {
        auto held = std::make_shared<Sink>(std::move(sink));
        std::lock_guard lock(mutex_);
        std::erase_if(sinks_, [](const auto& s) { return s.expired(); });
        sinks_.push_back(held);
        return held;
    }
    void send(const T& value) const {
        std::vector<std::shared_ptr<Sink>> live;
        {
            std::lock_guard lock(mutex_);
            for (const auto& s : sinks_)
                if (auto sink = s.lock()) live.push_back(std::move(sink));
        }
        for (const auto& sink : live) (*sink)(value);
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::weak_ptr<Sink>> sinks_;
};

// One published property of the banner model: setting it first tells the model's observers that
// it will change, then stores the value and sends it on its publisher (which may be replaced).
template <class T>
class PreviewPublished {
public:
    PreviewPublished(T initial, std::function<void()> willChange)
        : value_(std::move(initial)), willChange_(std::move(willChange)) {}
    PreviewPublished(const PreviewPublished&) = delete;
    PreviewPublished& operator=(const PreviewPublished&) = delete;

    const T& get() const { return value_; }
    void set(T value) {
        willChange_();
        value_ = std::move(value);
        if (auto publisher = publisher_) publisher->send(value_);
    }
    const std::shared_ptr<PreviewPublisher<T>>& publisher() const { return publisher_; }
    void setPublisher(std::shared_ptr<PreviewPublisher<T>> publisher) { publisher_ = std::move(publisher); }

private:
    T value_;
    std::function<void()> willChange_;
    std::shared_ptr<PreviewPublisher<T>> publisher_ = std::make_shared<PreviewPublisher<T>>();
};

// The banner model of the preview panel, observed by the overlay view. The long-lived model is
// written on the main thread only; a short-lived one (the look of a status) may be built anywhere.
class PreviewNotification {
public:
    PreviewNotification() = default;
    PreviewNotification(const PreviewNotification&) = delete;
    PreviewNotification& operator=(const PreviewNotification&) = delete;

    // The observer hears each change before it is made, while the subscription is held.
    [[nodiscard]] std::shared_ptr<void> observeWillChange(std::function<void()> observer) {
        return willChange_.sink([observer = std::move(observer)](const bool&) { observer(); });
    }

    PreviewPublished<BLQPreviewModeNotificationState> state{BLQPreviewModeNotificationState::idle,
                                                            announcer()};
    PreviewPublished<PreviewModeMessage> message{PreviewModeMessage::nomessage, announcer()};
    PreviewPublished<PreviewModeIcon> icon{PreviewModeIcon::qx_logo_white, announcer()};
    PreviewPublished<PreviewModeBackgroundColor> color{PreviewModeBackgroundColor::idle, announcer()};
    // Seconds.
    PreviewPublished<int64_t> duration{0, announcer()};
    PreviewPublished<std::string> customMessage{std::string(), announcer()};
    PreviewPublished<platform::CGSize> bgFrame{platform::CGSize{200, 70}, announcer()};

private:
    std::function<void()> announcer() {
        return [this] { willChange_.send(true); };
    }
    PreviewPublisher<bool> willChange_;
};

// The banner look of a status: a new model with the status, its message, icon, colour, duration
// and panel size (idle, recivedFeedUpdate and guideDisplaying size by the menu flag); its custom
// message stays empty. Any thread.
std::shared_ptr<PreviewNotification> previewNotification(BLQPreviewModeNotificationState state,
                                                         bool isMenuShown);
// The size mode of a status's look.
PreviewModeBackgroundFrame backgroundFrame(BLQPreviewModeNotificationState state, bool isMenuShown);

}  // namespace brindlecue
