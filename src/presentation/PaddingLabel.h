#pragma once

#include "feed/BLQIPaddingLabel.h"
#include "platform/uikit/UILabel.h"

namespace brindlecue {

// The label of a tip's title and content: it draws its text inside edge insets and grows its
// natural size by them. Insets start at zero. Main thread.
class PaddingLabel : public platform::UILabel, public BLQIPaddingLabel {
public:
    static constexpr const char* kClassName = "PaddingLabel";

    PaddingLabel() = default;
    explicit PaddingLabel(const platform::CGRect& frame) : UILabel(frame) {}
    void didConstruct() override;
    std::string className() const override { return kClassName; }

    // The space between the bounds and the text (top, left, bottom, right).
    const platform::UIEdgeInsets& edgeInsets() const { return edgeInsets_; }
    void setEdgeInsets(const platform::UIEdgeInsets& insets) { edgeInsets_ = insets; }
    // The text element's layout sets the insets through this.
    void setContentEdgeInsets(const platform::UIEdgeInsets& insets) override { edgeInsets_ = insets; }

    // The text goes into the rectangle less the insets.
    void drawTextInRect(const platform::CGRect& rect) override;
    // The label's own natural size plus the insets.
    platform::CGSize intrinsicContentSize() const override;

private:
    platform::UIEdgeInsets edgeInsets_;
};

}  // namespace brindlecue
