#pragma once

#include <memory>
#include <string>

#include "feed/KJTipBaseElement.h"

namespace brindlecue {

class KJTipElement;

// What the campaign model needs of a step's or a campaign's target (KJTipTargetElement, the targeting layer's
// record): the screen it belongs to, and the step that owns it. The targeting layer registers its
// record class under kClassName (KJElementClass::registerFactories), so that steps build their
// targets from a step's "meta" object and read them back from the stored form.
class BLQITipTargetElement : public KJTipBaseElement {
public:
    static constexpr const char* kClassName = "KJTipTargetElement";

    // The screen name; empty when the document gives none ("_ALL_" stands for every screen).
    virtual std::string vcClass() const = 0;
    // A campaign puts a floating-action button without a screen on every screen ("_ALL_").
    virtual void setVcClass(const std::string& screen) = 0;
    // Records the owning step without keeping it alive.
    virtual void setParentElement(const std::weak_ptr<KJTipElement>& step) = 0;
};

}  // namespace brindlecue
