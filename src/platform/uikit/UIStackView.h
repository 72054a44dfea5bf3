#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/uikit/NSLayoutConstraint.h"
#include "platform/uikit/UIView.h"

namespace brindlecue::platform {

enum class UIStackViewDistribution : int64_t {
    Fill = 0,
    FillEqually = 1,
    FillProportionally = 2,
    EqualSpacing = 3,
    EqualCentering = 4,
};

enum class UIStackViewAlignment : int64_t {
    Fill = 0,
    Leading = 1,
    FirstBaseline = 2,
    Center = 3,
    Trailing = 4
};

// A stack view: its arranged subviews (each also a subview) and how they are to be stacked. The
// stacking itself is constraint layout, which the stand-in records and does not solve, so the
// stack keeps its settings and sets no frames.
class UIStackView : public UIView {
public:
    BLQ_PLATFORM_CLASS(UIStackView)
    using UIView::UIView;

    const std::vector<std::shared_ptr<UIView>>& arrangedSubviews() const { return arrangedSubviews_; }
    // Appends the view to the arranged subviews (moving it to the end when it is one already)
    // and adds it as a subview.
    void addArrangedSubview(const std::shared_ptr<UIView>& view);
    // Takes the view out of the arranged subviews; it stays a subview.
    void removeArrangedSubview(const std::shared_ptr<UIView>& view);

    UILayoutConstraintAxis axis = UILayoutConstraintAxis::Horizontal;
    UIStackViewDistribution distribution = UIStackViewDistribution::Fill;
    UIStackViewAlignment alignment = UIStackViewAlignment::Fill;
    double spacing = 0;

private:
    std::vector<std::shared_ptr<UIView>> arrangedSubviews_;
};

}  // namespace brindlecue::platform
