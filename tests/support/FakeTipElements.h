#pragma once

// Stand-ins for the record classes of the targeting and presentation layers that a campaign step
// holds, so that steps and campaigns can be built and stored before those layers exist.
// ScopedFakeTipElements registers them under "KJTipTargetElement", "KJTipImageElement",
// "KJTipDismissElement" and "KJTipLauncherElement" and removes them again.

#include <memory>
#include <optional>
#include <string>

#include "feed/BLQITipTargetElement.h"

namespace brindlecue::testsupport {

// A step target whose screen is the "view" of the step's "meta" object.
class FakeTipTargetElement : public BLQITipTargetElement {
public:
    KJ_TIP_ELEMENT(FakeTipTargetElement)

    std::string vcClass() const override { return screen.value_or(""); }
    void setVcClass(const std::string& name) override { screen = name; }
    void setParentElement(const std::weak_ptr<KJTipElement>& step) override { parent = step; }

    std::optional<std::string> screen;
    std::weak_ptr<KJTipElement> parent;
};

// An image, close-button or launcher record: it keeps the "id" of its document.
class FakeTipPartElement : public KJTipBaseElement {
public:
    KJ_TIP_ELEMENT(FakeTipPartElement)

    std::optional<std::string> id;
};

class ScopedFakeTipElements {
public:
    ScopedFakeTipElements();
    ~ScopedFakeTipElements();
    ScopedFakeTipElements(const ScopedFakeTipElements&) = delete;
    ScopedFakeTipElements& operator=(const ScopedFakeTipElements&) = delete;
};

}  // namespace brindlecue::testsupport
