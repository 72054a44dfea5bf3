#pragma once

// The tip layer's exported utility functions: arrays, the launcher buttons on the key window,
// the glow of a launcher, navigation lookups and the cached-campaign lookup. The view functions
// belong to the main thread.

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "foundation/KJLog.h"
#include "platform/Color.h"
#include "platform/Value.h"

namespace brindlecue {

namespace platform {
class NSObject;
class UINavigationController;
class UIView;
}  // namespace platform

// The tag of a launcher button on the key window, and the associated value that carries the feed
// id of its campaign.
inline constexpr int64_t kKJLauncherButtonTag = 888900;
inline constexpr const char* kKJLauncherIDKey = "brindlecueLauncherID";

// A new list with the entries in reverse order; none for none.
template <class T>
std::optional<std::vector<T>> reverseArray(const std::optional<std::vector<T>>& list) {
    if (!list) return std::nullopt;
    return std::vector<T>(list->rbegin(), list->rend());
}

// Makes the view glow with a shadow of the colour: with flash, the shadow opacity runs 2.0, 0.3,
// 2.0 each second; without, it fades from 2.0 to 0.3 over 3 seconds; both repeat for ever. With
// pulse the view also grows to 1.2 and back each second.
void glowingWidget(const std::shared_ptr<platform::UIView>& view, const platform::Color& shadowColor,
                   bool flash, bool pulse);
// The nearest ancestor of the view (from its superview up) that is a navigation bar, or null.
std::shared_ptr<platform::UIView> getAWidgetOfNaviagtionBar(const std::shared_ptr<platform::UIView>& view);
// The key window's root view controller when it is a navigation controller, else that
// controller's navigation controller; null when there is none.
std::shared_ptr<platform::UINavigationController> getNavigationController();
// The feed ids of the launcher buttons among the key window's direct subviews, in subview order.
// A launcher button without an id has nothing to contribute and is passed over.
std::vector<std::string> getLauncherButtonID();
// Removes the key window's launcher buttons whose feed id is the given one.
void dismissALauncherButton(const std::string& launcherId);
// True when an ancestor of the view (its superview and up, not the view itself) is of the named
// class or a subclass; a class the process does not know never matches.
bool ancestorHasViewClass(const std::string& className, const std::shared_ptr<platform::UIView>& view);
// True for an absent value and for the null object.
bool isNullNil(const platform::Value& object);

// The campaigns of a list whose "feed_id" is the given one: exactly one gives it as `campaign`;
// several give no campaign, keep them all in `matches` and log
// "logic error: cache contains multiple same feeds" to the legacy log.
template <class T>
struct KJCacheFeed {
    std::shared_ptr<T> campaign;
    std::vector<std::shared_ptr<T>> matches;
};

bool kjFeedIdMatches(const platform::NSObject& campaign, const std::string& feedId);

template <class T>
KJCacheFeed<T> getCacheFeed(const std::string& feedId, const std::vector<std::shared_ptr<T>>& campaigns) {
    KJCacheFeed<T> out;
    std::copy_if(campaigns.begin(), campaigns.end(), std::back_inserter(out.matches),
                 [&](const std::shared_ptr<T>& c) { return c && kjFeedIdMatches(*c, feedId); });
    if (out.matches.size() == 1) out.campaign = out.matches.front();
    if (out.matches.size() > 1) KJLog(4, "logic error: cache contains multiple same feeds");
    return out;
}

}  // namespace brindlecue
