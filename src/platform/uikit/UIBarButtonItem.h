#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/uikit/UIBarItem.h"

namespace brindlecue::platform {

class UIView;
class UIControl;

enum class UIBarButtonSystemItem {
    Done = 0,
    Cancel,
    Edit,
    Save,
    Add,
    FlexibleSpace,
    FixedSpace,
    Compose,
    Reply,
    Action,
    Organize,
    Bookmarks,
    Search,
    Refresh,
    Stop,
    Camera,
    Trash,
    Play,
    Pause,
    Rewind,
    FastForward,
    Undo,
    Redo,
    PageCurl,
    Close,
};

enum class UIBarButtonItemStyle { Plain = 0, Bordered = 1, Done = 2 };

// A bar button item: title or system item, target (weak) and action, or a custom view. Its view
// on the bar is the custom view, or a private "_UIButtonBarButton" control made on first use;
// tapping that control, or press(), sends the action with the item as sender.
class UIBarButtonItem : public UIBarItem {
public:
    BLQ_PLATFORM_CLASS(UIBarButtonItem)

    static std::shared_ptr<UIBarButtonItem> withTitle(std::string title, UIBarButtonItemStyle style,
                                                      const std::shared_ptr<NSObject>& target,
                                                      Selector action);
    static std::shared_ptr<UIBarButtonItem> withSystemItem(UIBarButtonSystemItem item,
                                                           const std::shared_ptr<NSObject>& target,
                                                           Selector action);
    static std::shared_ptr<UIBarButtonItem> withImage(const std::shared_ptr<UIImage>& image,
                                                      UIBarButtonItemStyle style,
                                                      const std::shared_ptr<NSObject>& target,
                                                      Selector action);
    static std::shared_ptr<UIBarButtonItem> withCustomView(const std::shared_ptr<UIView>& view);

    std::shared_ptr<NSObject> target() const { return target_.lock(); }
    void setTarget(const std::shared_ptr<NSObject>& target) { target_ = target; }
    const Selector& action() const { return action_; }
    void setAction(Selector action) { action_ = std::move(action); }
    UIBarButtonItemStyle style() const { return style_; }
    void setStyle(UIBarButtonItemStyle s) { style_ = s; }
    // The system item number, when the item was made from one.
    std::optional<UIBarButtonSystemItem> systemItem() const { return systemItem_; }
    std::shared_ptr<UIView> customView() const { return customView_; }
    void setCustomView(const std::shared_ptr<UIView>& view) { customView_ = view; }
    double width() const { return width_; }
    void setWidth(double w) { width_ = w; }

    // The item's view on the bar (the private message "view").
    std::shared_ptr<UIView> view();
    // Sends the action to the target with the item as sender; no target, or one that has gone:
    // nothing is sent.
    void press();

    // "systemItem" reads the system item number.
    Value valueForKey(std::string_view key) const override;
    void setTitle(std::optional<std::string> title) override;

private:
    std::weak_ptr<NSObject> target_;
    Selector action_;
    UIBarButtonItemStyle style_ = UIBarButtonItemStyle::Plain;
    std::optional<UIBarButtonSystemItem> systemItem_;
    std::shared_ptr<UIView> customView_;
    std::shared_ptr<UIControl> barButton_;
    double width_ = 0;
};

}  // namespace brindlecue::platform
