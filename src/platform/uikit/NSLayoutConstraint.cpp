#include "platform/uikit/NSLayoutConstraint.h"

#include "platform/uikit/Geometry.h"
#include "platform/uikit/UIView.h"

namespace brindlecue::platform {
namespace {

const char* attributeName(NSLayoutAttribute a) {
    switch (a) {
        case NSLayoutAttribute::Left:
            return "left";
        case NSLayoutAttribute::Right:
            return "right";
        case NSLayoutAttribute::Top:
            return "top";
        case NSLayoutAttribute::Bottom:
            return "bottom";
        case NSLayoutAttribute::Leading:
            return "leading";
        case NSLayoutAttribute::Trailing:
            return "trailing";
        case NSLayoutAttribute::Width:
            return "width";
        case NSLayoutAttribute::Height:
            return "height";
        case NSLayoutAttribute::CenterX:
            return "centerX";
        case NSLayoutAttribute::CenterY:
            return "centerY";
        case NSLayoutAttribute::LastBaseline:
            return "lastBaseline";
        case NSLayoutAttribute::FirstBaseline:
            return "firstBaseline";
        default:
            return "notAnAttribute";
    }
}

std::string itemText(const std::shared_ptr<NSObject>& item) {
    return item ? item->className() + ":" + item->addressText() : std::string("(null)");
}

}  // namespace

std::shared_ptr<NSLayoutConstraint> NSLayoutConstraint::constraintWithItem(
    const std::shared_ptr<NSObject>& firstItem, NSLayoutAttribute firstAttribute, NSLayoutRelation relation,
    const std::shared_ptr<NSObject>& secondItem, NSLayoutAttribute secondAttribute, double multiplier,
    double constant) {
    auto c = make<NSLayoutConstraint>();
    c->firstItem_ = firstItem;
    c->firstAttribute_ = firstAttribute;
    c->relation_ = relation;
    c->secondItem_ = secondItem;
    c->secondAttribute_ = secondAttribute;
    c->multiplier_ = multiplier;
    c->constant_ = constant;
    return c;
}

void NSLayoutConstraint::activateConstraints(
    const std::vector<std::shared_ptr<NSLayoutConstraint>>& constraints) {
    for (const auto& c : constraints)
        if (c) c->setActive(true);
}

void NSLayoutConstraint::deactivateConstraints(
    const std::vector<std::shared_ptr<NSLayoutConstraint>>& constraints) {
    for (const auto& c : constraints)
        if (c) c->setActive(false);
}

void NSLayoutConstraint::setActive(bool active) {
    auto self = sharedAs<NSLayoutConstraint>();
    if (!active) {
        if (auto h = holder()) h->removeConstraint(self);
        holder_.reset();
        return;
    }
    if (isActive()) return;
    auto first = std::dynamic_pointer_cast<UIView>(firstItem());
    auto second = std::dynamic_pointer_cast<UIView>(secondItem());
    std::shared_ptr<UIView> holder;
    if (first && second) {
        for (auto v = first; v; v = v->superview())
            if (second->isDescendantOfView(v)) {
                holder = v;
                break;
            }
    } else {
        holder = first ? first : second;
    }
    if (holder) holder->addConstraint(self);
}

std::string NSLayoutConstraint::description() const {
    std::string rel = relation_ == NSLayoutRelation::Equal             ? "=="
                      : relation_ == NSLayoutRelation::LessThanOrEqual ? "<="
                                                                       : ">=";
    std::string out = "<NSLayoutConstraint:" + addressText() + " " + itemText(firstItem()) + "." +
                      attributeName(firstAttribute_) + " " + rel + " ";
    auto second = secondItem();
    if (second) {
        out += itemText(second) + "." + attributeName(secondAttribute_);
        if (multiplier_ != 1) out += "*" + formatCGFloat(multiplier_);
        if (constant_ != 0)
            out += (constant_ > 0 ? " + " : " - ") + formatCGFloat(constant_ > 0 ? constant_ : -constant_);
    } else {
        out += formatCGFloat(constant_);
    }
    if (priority_ != UILayoutPriorityRequired) out += " @" + formatCGFloat(priority_);
    out += isActive() ? "   (active)>" : "   (inactive)>";
    return out;
}

}  // namespace brindlecue::platform
