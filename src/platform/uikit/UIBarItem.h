#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>

#include "platform/uikit/NSObject.h"
#include "platform/uikit/UIColor.h"
#include "platform/uikit/UIFont.h"
#include "platform/uikit/UIImage.h"

namespace brindlecue::platform {

// The title text attributes of a bar item or segmented control for one state: the entries the
// library reads (foreground colour and font).
struct TextAttributes {
    std::optional<UIColor> foregroundColor;
    std::optional<UIFont> font;
    bool operator==(const TextAttributes&) const = default;
};

// The common part of bar button items and tab bar items.
class UIBarItem : public NSObject {
public:
    BLQ_PLATFORM_CLASS(UIBarItem)

    const std::optional<std::string>& title() const { return title_; }
    virtual void setTitle(std::optional<std::string> title) { title_ = std::move(title); }
    std::shared_ptr<UIImage> image() const { return image_; }
    void setImage(const std::shared_ptr<UIImage>& image) { image_ = image; }
    int64_t tag() const { return tag_; }
    void setTag(int64_t tag) { tag_ = tag; }
    bool isEnabled() const { return enabled_; }
    void setEnabled(bool e) { enabled_ = e; }
    // Per control state; a state without its own attributes has none (the platform does not
    // fall back here).
    void setTitleTextAttributes(std::optional<TextAttributes> attributes, uint64_t state);
    std::optional<TextAttributes> titleTextAttributesForState(uint64_t state) const;

private:
    std::optional<std::string> title_;
    std::shared_ptr<UIImage> image_;
    int64_t tag_ = 0;
    bool enabled_ = true;
    std::map<uint64_t, TextAttributes> attributes_;
};

}  // namespace brindlecue::platform
