#include "platform/uikit/UISegmentedControl.h"

#include <algorithm>
#include <cmath>

#include "platform/graphics/CGContext.h"
#include "platform/graphics/TextLayout.h"
#include "platform/uikit/UIGraphics.h"

#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UILabel.h"

namespace brindlecue::platform {

void UISegmentedControl::didConstruct() {
    UIControl::didConstruct();
    auto titles = std::move(initialTitles_);
    if (bounds().size.width == 0) setFrame(CGRect(0, 0, 80.0 * std::max<size_t>(1, titles.size()), 32));
    for (size_t i = 0; i < titles.size(); ++i) insertSegmentWithTitle(titles[i], i);
}

void UISegmentedControl::insertSegmentWithTitle(std::optional<std::string> title, size_t index, bool) {
    index = std::min(index, titles_.size());
    titles_.insert(titles_.begin() + index, title);
    enabled_.insert(enabled_.begin() + index, true);
    auto segment = make<UIImageView>();
    segment->setRuntimeClassName("UISegment");
    auto label = make<UILabel>();
    label->setText(title);
    label->setTextAlignment(NSTextAlignment::Center);
    label->setFont(UIFont::systemFontOfSize(13));
    segment->addSubview(label);
    segments_.insert(segments_.begin() + index, segment);
    insertSubviewAtIndex(segment, index);
    if (selected_ >= int64_t(index)) ++selected_;
    layoutSubviews();
}

void UISegmentedControl::removeSegmentAtIndex(size_t index, bool) {
    if (index >= titles_.size()) return;
    titles_.erase(titles_.begin() + index);
    enabled_.erase(enabled_.begin() + index);
    segments_[index]->removeFromSuperview();
    segments_.erase(segments_.begin() + index);
    if (selected_ == int64_t(index))
        selected_ = UISegmentedControlNoSegment;
    else if (selected_ > int64_t(index))
        --selected_;
    layoutSubviews();
}

void UISegmentedControl::removeAllSegments() {
    while (!titles_.empty()) removeSegmentAtIndex(titles_.size() - 1);
}

void UISegmentedControl::setTitle(std::optional<std::string> title, size_t segment) {
    if (segment >= titles_.size()) return;
    titles_[segment] = title;
    if (auto label = std::dynamic_pointer_cast<UILabel>(segments_[segment]->subviews().front()))
        label->setText(title);
}

std::optional<std::string> UISegmentedControl::titleForSegmentAtIndex(size_t segment) const {
    return segment < titles_.size() ? titles_[segment] : std::nullopt;
}

void UISegmentedControl::setEnabledForSegmentAtIndex(bool enabled, size_t segment) {
    if (segment < enabled_.size()) enabled_[segment] = enabled;
}

bool UISegmentedControl::isEnabledForSegmentAtIndex(size_t segment) const {
    return segment < enabled_.size() && enabled_[segment];
}

void UISegmentedControl::setSelectedSegmentIndex(int64_t index) {
    selected_ = index >= 0 && index < int64_t(titles_.size()) ? index : UISegmentedControlNoSegment;
}

void UISegmentedControl::setTitleTextAttributes(std::optional<TextAttributes> attributes, uint64_t state) {
    if (attributes)
        attributes_[state] = *attributes;
    else
        attributes_.erase(state);
}

std::optional<TextAttributes> UISegmentedControl::titleTextAttributesForState(uint64_t state) const {
    auto it = attributes_.find(state);
    return it == attributes_.end() ? std::nullopt : std::optional<TextAttributes>(it->second);
}

void UISegmentedControl::tapSegment(size_t index) {
    if (!isEnabled() || index >= titles_.size() || !enabled_[index]) return;
    auto self = shared_from_this();
    bool changed = selected_ != int64_t(index);
    selected_ = momentary_ ? UISegmentedControlNoSegment : int64_t(index);
    if (changed || momentary_) sendActionsForControlEvents(UIControlEventValueChanged);
}

void UISegmentedControl::didTapInside(CGPoint location) {
    if (titles_.empty()) return;
    double w = bounds().size.width / titles_.size();
    if (w <= 0) return;
    tapSegment(std::min(titles_.size() - 1, size_t(std::max(0.0, location.x) / w)));
}

void UISegmentedControl::layoutSubviews() {
    if (segments_.empty()) return;
    CGRect b = bounds();
    double w = b.size.width / segments_.size();
    for (size_t i = 0; i < segments_.size(); ++i) {
        segments_[i]->setFrame(CGRect(i * w, 0, w, b.size.height));
        for (const auto& sub : segments_[i]->subviews()) sub->setFrame(CGRect(0, 0, w, b.size.height));
    }
}

void UISegmentedControl::setFrame(const CGRect& frame) {
    UIControl::setFrame(frame);
    layoutSubviews();
}

void UISegmentedControl::drawRect(const CGRect&) {
    auto ctx = UIGraphicsGetCurrentContext();
    if (!ctx || titles_.empty()) return;
    // A tinted outline with dividers; the selected segment is filled with the tint.
    CGRect b = bounds().insetBy(0.5, 0.5);
    double w = b.width() / double(titles_.size());
    UIColor tint = tintColor();
    if (selected_ >= 0 && size_t(selected_) < titles_.size()) {
        ctx->setFillColor(tint.colorWithAlphaComponent(0.25));
        ctx->fillRect(CGRect(b.minX() + w * double(selected_), b.minY(), w, b.height()));
    }
    ctx->setStrokeColor(tint);
    ctx->setLineWidth(1);
    ctx->beginPath();
    ctx->addPath(CGPath::withRoundedRect(b, 4, 4));
    for (size_t i = 1; i < titles_.size(); ++i) {
        ctx->moveToPoint({b.minX() + w * double(i), b.minY()});
        ctx->addLineToPoint({b.minX() + w * double(i), b.maxY()});
    }
    ctx->strokePath();
}

}  // namespace brindlecue::platform
