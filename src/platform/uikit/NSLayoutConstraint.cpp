#include "platform/uikit/NSLayoutConstraint.h"

#include <atomic>

#include "platform/uikit/Geometry.h"
#include "platform/uikit/UILayoutGuide.h"
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
        case NSLayoutAttribute::LeftMargin:
            return "leftMargin";
        case NSLayoutAttribute::RightMargin:
            return "rightMargin";
        case NSLayoutAttribute::TopMargin:
            return "topMargin";
        case NSLayoutAttribute::BottomMargin:
            return "bottomMargin";
        case NSLayoutAttribute::LeadingMargin:
            return "leadingMargin";
        case NSLayoutAttribute::TrailingMargin:
            return "trailingMargin";
        case NSLayoutAttribute::CenterXWithinMargins:
            return "centerXWithinMargins";
        case NSLayoutAttribute::CenterYWithinMargins:
            return "centerYWithinMargins";
        default:
            return "notAnAttribute";
    }
}

std::string itemText(const std::shared_ptr<NSObject>& item) {
    return item ? item->className() + ":" + item->addressText() : std::string("(null)");
}

// The view an item stands for: the view itself, or the view that owns a layout guide.
std::shared_ptr<UIView> viewOfItem(const std::shared_ptr<NSObject>& item) {
    if (auto view = std::dynamic_pointer_cast<UIView>(item)) return view;
    if (auto guide = std::dynamic_pointer_cast<UILayoutGuide>(item)) return guide->owningView();
    return nullptr;
}

std::atomic<NSLayoutConstraint::DescriptionProvider>& descriptionProvider() {
    static std::atomic<NSLayoutConstraint::DescriptionProvider> provider{nullptr};
    return provider;
}

}  // namespace

std::shared_ptr<NSLayoutConstraint> NSLayoutConstraint::constraintWithItem(
    const std::shared_ptr<NSObject>& firstItem, NSLayoutAttribute firstAttribute, NSLayoutRelation relation,
    const std::shared_ptr<NSObject>& secondItem, NSLayoutAttribute secondAttribute, double multiplier,
    double constant) {
    auto c = make<NSLayoutConstraint>();
    c->initWithItem(firstItem, firstAttribute, relation, secondItem, secondAttribute, multiplier, constant);
    return c;
}

void NSLayoutConstraint::initWithItem(const std::shared_ptr<NSObject>& firstItem, NSLayoutAttribute firstAttribute,
                                      NSLayoutRelation relation, const std::shared_ptr<NSObject>& secondItem,
                                      NSLayoutAttribute secondAttribute, double multiplier, double constant) {
    firstItem_ = firstItem;
    firstAttribute_ = firstAttribute;
    relation_ = relation;
    secondItem_ = secondItem;
    secondAttribute_ = secondAttribute;
    multiplier_ = multiplier;
    constant_ = constant;
}

NSLayoutConstraint::DescriptionProvider NSLayoutConstraint::setDescriptionProvider(DescriptionProvider provider) {
    return descriptionProvider().exchange(provider);
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
    auto first = viewOfItem(firstItem());
    auto second = viewOfItem(secondItem());
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
    if (auto provider = descriptionProvider().load()) return provider(*this);
    std::string rel = relation_ == NSLayoutRelation::Equal             ? "=="
                      : relation_ == NSLayoutRelation::LessThanOrEqual ? "<="
                                                                       : ">=";
    std::string out = "<NSLayoutConstraint:";
    out += addressText();
    out += ' ';
    out += itemText(firstItem());
    out += '.';
    out += attributeName(firstAttribute_);
    out += ' ';
    out += rel;
    out += ' ';
    auto second = secondItem();
    if (second) {
        out += itemText(second);
        out += '.';
        out += attributeName(secondAttribute_);
        if (multiplier_ != 1) {
            out += '*';
            out += formatCGFloat(multiplier_);
        }
        if (constant_ != 0) {
            out += constant_ > 0 ? " + " : " - ";
            out += formatCGFloat(constant_ > 0 ? constant_ : -constant_);
        }
    } else {
        out += formatCGFloat(constant_);
    }
    if (priority_ != UILayoutPriorityRequired) {
        out += " @";
        out += formatCGFloat(priority_);
    }
    out += isActive() ? "   (active)>" : "   (inactive)>";
    return out;
}

}  // namespace brindlecue::platform
