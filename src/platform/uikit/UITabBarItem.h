#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/uikit/UIBarItem.h"

namespace brindlecue::platform {

class UIView;

// A tab bar item. Its view (the private message "view") is the "UITabBarButton" the tab bar
// made for it, present while the item is on a tab bar.
class UITabBarItem : public UIBarItem {
public:
    BLQ_PLATFORM_CLASS(UITabBarItem)

    static std::shared_ptr<UITabBarItem> withTitle(std::string title, const std::shared_ptr<UIImage>& image,
                                                   int64_t tag);

    std::shared_ptr<UIImage> selectedImage() const { return selectedImage_; }
    void setSelectedImage(const std::shared_ptr<UIImage>& image) { selectedImage_ = image; }
    const std::optional<std::string>& badgeValue() const { return badgeValue_; }
    void setBadgeValue(std::optional<std::string> v) { badgeValue_ = std::move(v); }

    std::shared_ptr<UIView> view() const { return view_.lock(); }
    void setView(const std::shared_ptr<UIView>& view) { view_ = view; }
    void setTitle(std::optional<std::string> title) override;

private:
    std::shared_ptr<UIImage> selectedImage_;
    std::optional<std::string> badgeValue_;
    std::weak_ptr<UIView> view_;
};

}  // namespace brindlecue::platform
