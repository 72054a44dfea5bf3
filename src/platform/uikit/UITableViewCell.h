#pragma once

#include <memory>
#include <string>

#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UIView.h"

namespace brindlecue::platform {

enum class UITableViewCellStyle { Default, Value1, Value2, Subtitle };
enum class UITableViewCellSelectionStyle { None, Blue, Gray, Default };
enum class UITableViewCellAccessoryType {
    None,
    DisclosureIndicator,
    DetailDisclosureButton,
    Checkmark,
    DetailButton
};

// A table row: its content view ("UITableViewCellContentView") holds the text label, the
// detail label (styles other than default) and the image view, each made on first use. A tap on
// a cell selects its row in the table view that holds it.
class UITableViewCell : public UIView {
public:
    BLQ_PLATFORM_CLASS(UITableViewCell)

    UITableViewCell() = default;
    UITableViewCell(UITableViewCellStyle style, std::string reuseIdentifier)
        : style_(style), reuseIdentifier_(std::move(reuseIdentifier)) {}
    void didConstruct() override;

    UITableViewCellStyle style() const { return style_; }
    const std::string& reuseIdentifier() const { return reuseIdentifier_; }
    void setReuseIdentifier(std::string id) { reuseIdentifier_ = std::move(id); }
    std::shared_ptr<UIView> contentView() const { return contentView_; }
    std::shared_ptr<UILabel> textLabel();
    // None for the default style, as on the platform.
    std::shared_ptr<UILabel> detailTextLabel();
    // The labels when they were made already; reading these makes nothing.
    std::shared_ptr<UILabel> textLabelIfLoaded() const { return textLabel_; }
    std::shared_ptr<UILabel> detailTextLabelIfLoaded() const { return detailTextLabel_; }
    std::shared_ptr<UIImageView> imageView();
    UITableViewCellAccessoryType accessoryType() const { return accessoryType_; }
    void setAccessoryType(UITableViewCellAccessoryType t) { accessoryType_ = t; }
    std::shared_ptr<UIView> accessoryView() const { return accessoryView_; }
    void setAccessoryView(const std::shared_ptr<UIView>& v) { accessoryView_ = v; }
    // Recorded: the stand-in draws no selection highlight.
    UITableViewCellSelectionStyle selectionStyle() const { return selectionStyle_; }
    void setSelectionStyle(UITableViewCellSelectionStyle s) { selectionStyle_ = s; }
    bool isSelected() const { return selected_; }
    void setSelected(bool s, bool animated = false) { selected_ = s; }
    bool isHighlighted() const { return highlighted_; }
    void setHighlighted(bool h, bool animated = false) { highlighted_ = h; }
    virtual void prepareForReuse() {}

    void setFrame(const CGRect& frame) override;
    void touchesEnded(const UITouchSet& touches, const std::shared_ptr<UIEvent>& event) override;

private:
    UITableViewCellStyle style_ = UITableViewCellStyle::Default;
    std::string reuseIdentifier_;
    std::shared_ptr<UIView> contentView_;
    std::shared_ptr<UILabel> textLabel_;
    std::shared_ptr<UILabel> detailTextLabel_;
    std::shared_ptr<UIImageView> imageView_;
    UITableViewCellAccessoryType accessoryType_ = UITableViewCellAccessoryType::None;
    std::shared_ptr<UIView> accessoryView_;
    UITableViewCellSelectionStyle selectionStyle_ = UITableViewCellSelectionStyle::Default;
    bool selected_ = false;
    bool highlighted_ = false;
};

// A section header or footer of a table; textLabel shows a title from the data source.
class UITableViewHeaderFooterView : public UIView {
public:
    BLQ_PLATFORM_CLASS(UITableViewHeaderFooterView)

    UITableViewHeaderFooterView() = default;
    explicit UITableViewHeaderFooterView(std::string reuseIdentifier)
        : reuseIdentifier_(std::move(reuseIdentifier)) {}
    void didConstruct() override;

    const std::string& reuseIdentifier() const { return reuseIdentifier_; }
    std::shared_ptr<UIView> contentView() const { return contentView_; }
    std::shared_ptr<UILabel> textLabel();
    void setFrame(const CGRect& frame) override;

private:
    std::string reuseIdentifier_;
    std::shared_ptr<UIView> contentView_;
    std::shared_ptr<UILabel> textLabel_;
};

}  // namespace brindlecue::platform
