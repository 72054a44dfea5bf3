#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>

#include "platform/uikit/UIControl.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UILabel.h"

namespace brindlecue::platform {

enum class UIButtonType {
    Custom = 0,
    System = 1,
    DetailDisclosure = 2,
    InfoLight = 3,
    InfoDark = 4,
    ContactAdd = 5,
    Close = 7
};

// A button: title, title colour, image and background image per control state. A value asked for
// a state that has none falls back to the normal state's, as on the platform. The title label
// and image view are created when a title or image is set (or on first use) and show the current
// state's values, image then title, centred together within the edge insets. A system button
// draws its images as templates in its tint colour.
class UIButton : public UIControl {
public:
    BLQ_PLATFORM_CLASS(UIButton)

    static std::shared_ptr<UIButton> buttonWithType(UIButtonType type);

    UIButton() = default;
    explicit UIButton(const CGRect& frame) : UIControl(frame) {}
    void didConstruct() override;

    UIButtonType buttonType() const { return buttonType_; }

    void setTitle(std::optional<std::string> title, uint64_t state);
    std::optional<std::string> titleForState(uint64_t state) const;
    std::optional<std::string> currentTitle() const { return titleForState(state()); }
    virtual void setTitleColor(std::optional<UIColor> color, uint64_t state);
    std::optional<UIColor> titleColorForState(uint64_t state) const;
    UIColor currentTitleColor() const;
    void setImage(const std::shared_ptr<UIImage>& image, uint64_t state);
    std::shared_ptr<UIImage> imageForState(uint64_t state) const;
    std::shared_ptr<UIImage> currentImage() const { return imageForState(state()); }
    void setBackgroundImage(const std::shared_ptr<UIImage>& image, uint64_t state);
    std::shared_ptr<UIImage> backgroundImageForState(uint64_t state) const;

    std::shared_ptr<UILabel> titleLabel();
    // The title label when it was made already; reading this makes nothing.
    std::shared_ptr<UILabel> titleLabelIfLoaded() const { return titleLabel_; }
    std::shared_ptr<UIImageView> imageView();

    UIEdgeInsets contentEdgeInsets() const { return contentEdgeInsets_; }
    void setContentEdgeInsets(const UIEdgeInsets& i) { contentEdgeInsets_ = i; }
    UIEdgeInsets titleEdgeInsets() const { return titleEdgeInsets_; }
    void setTitleEdgeInsets(const UIEdgeInsets& i) { titleEdgeInsets_ = i; }
    UIEdgeInsets imageEdgeInsets() const { return imageEdgeInsets_; }
    void setImageEdgeInsets(const UIEdgeInsets& i) { imageEdgeInsets_ = i; }

    void setEnabled(bool enabled) override;
    void setSelected(bool selected) override;
    void setHighlighted(bool highlighted) override;
    CGSize sizeThatFits(CGSize size) const override;
    void layoutSubviews() override { refresh(); }
    // The current background image, stretched over the bounds; title and image are subviews.
    void drawRect(const CGRect& rect) override;

private:
    void refresh();

    UIButtonType buttonType_ = UIButtonType::Custom;
    std::map<uint64_t, std::string> titles_;
    std::map<uint64_t, UIColor> titleColors_;
    std::map<uint64_t, std::shared_ptr<UIImage>> images_;
    std::map<uint64_t, std::shared_ptr<UIImage>> backgroundImages_;
    std::shared_ptr<UILabel> titleLabel_;
    std::shared_ptr<UIImageView> imageView_;
    UIEdgeInsets contentEdgeInsets_;
    UIEdgeInsets titleEdgeInsets_;
    UIEdgeInsets imageEdgeInsets_;
};

}  // namespace brindlecue::platform
