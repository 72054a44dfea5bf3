#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/uikit/UIBarItem.h"
#include "platform/uikit/UIControl.h"

namespace brindlecue::platform {

inline constexpr int64_t UISegmentedControlNoSegment = -1;

// Segments with titles, each shown by a private "UISegment" subview of equal width. A tap on a
// segment selects it and sends value-changed (always, when momentary).
class UISegmentedControl : public UIControl {
public:
    BLQ_PLATFORM_CLASS(UISegmentedControl)
    void drawRect(const CGRect& rect) override;

    UISegmentedControl() = default;
    explicit UISegmentedControl(std::vector<std::string> titles) : initialTitles_(std::move(titles)) {}
    void didConstruct() override;

    size_t numberOfSegments() const { return titles_.size(); }
    void insertSegmentWithTitle(std::optional<std::string> title, size_t index, bool animated = false);
    void removeSegmentAtIndex(size_t index, bool animated = false);
    void removeAllSegments();
    void setTitle(std::optional<std::string> title, size_t segment);
    std::optional<std::string> titleForSegmentAtIndex(size_t segment) const;
    void setEnabledForSegmentAtIndex(bool enabled, size_t segment);
    bool isEnabledForSegmentAtIndex(size_t segment) const;
    int64_t selectedSegmentIndex() const { return selected_; }
    void setSelectedSegmentIndex(int64_t index);
    bool isMomentary() const { return momentary_; }
    void setMomentary(bool m) { momentary_ = m; }
    void setTitleTextAttributes(std::optional<TextAttributes> attributes, uint64_t state);
    std::optional<TextAttributes> titleTextAttributesForState(uint64_t state) const;
    // The private segment views, in segment order.
    const std::vector<std::shared_ptr<UIView>>& segmentViews() const { return segments_; }
    // Driver: a tap on the segment.
    void tapSegment(size_t index);

    void layoutSubviews() override;
    void setFrame(const CGRect& frame) override;

protected:
    void didTapInside(CGPoint location) override;

private:
    std::vector<std::string> initialTitles_;
    std::vector<std::optional<std::string>> titles_;
    std::vector<bool> enabled_;
    std::vector<std::shared_ptr<UIView>> segments_;
    int64_t selected_ = UISegmentedControlNoSegment;
    bool momentary_ = false;
    std::map<uint64_t, TextAttributes> attributes_;
};

}  // namespace brindlecue::platform
