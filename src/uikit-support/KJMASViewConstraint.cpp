#include "uikit-support/KJMASViewConstraint.h"

#include <algorithm>
#include <mutex>

#include "platform/uikit/ClassRegistry.h"
#include "platform/uikit/UIView.h"
#include "uikit-support/KJMASCompositeConstraint.h"
#include "uikit-support/UIViewKJMASAdditions.h"

namespace brindlecue {

using platform::NSLayoutAttribute;
using platform::NSLayoutRelation;
using platform::UIView;

namespace {

void addToInstalled(const std::shared_ptr<UIView>& view,
                    const std::shared_ptr<KJMASViewConstraint>& statement) {
    if (!view) return;
    auto& set = UIViewKJMASConstraints::mas_installedConstraints(view);
    if (std::find(set.begin(), set.end(), statement) == set.end()) set.push_back(statement);
}

void removeFromInstalled(const std::shared_ptr<UIView>& view,
                         const std::shared_ptr<KJMASViewConstraint>& statement) {
    if (view) std::erase(UIViewKJMASConstraints::mas_installedConstraints(view), statement);
}

}  // namespace

KJMASViewConstraint::KJMASViewConstraint(std::shared_ptr<KJMASViewAttribute> firstViewAttribute)
    : firstViewAttribute_(std::move(firstViewAttribute)) {}

void KJMASViewConstraint::didConstruct() {
    KJMASConstraint::didConstruct();
    static std::once_flag registered;
    std::call_once(registered, [] {
        platform::ClassRegistry::registerClass("KJMASConstraint", "NSObject");
        platform::ClassRegistry::registerClass("KJMASViewConstraint", "KJMASConstraint");
    });
}

std::shared_ptr<KJMASViewConstraint> KJMASViewConstraint::copy() const {
    auto c = platform::make<KJMASViewConstraint>(firstViewAttribute_);
    c->layoutConstant_ = layoutConstant_;
    c->layoutRelation_ = layoutRelation_;
    c->layoutPriority_ = layoutPriority_;
    c->layoutMultiplier_ = layoutMultiplier_;
    c->setDelegate(delegate());
    return c;
}

std::vector<std::shared_ptr<KJMASViewConstraint>> KJMASViewConstraint::installedConstraintsForView(
    const std::shared_ptr<UIView>& view) {
    if (!view) return {};
    return UIViewKJMASConstraints::mas_installedConstraints(view);
}

// ---------------------------------------------------------------- settings

KJMASConstraintPtr KJMASViewConstraint::addConstraintWithLayoutAttribute(int64_t layoutAttribute) {
    auto holder = delegate();
    if (!holder) return nullptr;
    return holder->constraintAddConstraintWithLayoutAttribute(self(), layoutAttribute);
}

KJMASConstraintPtr KJMASViewConstraint::multipliedBy(double multiplier) {
    layoutMultiplier_ = multiplier;
    return self();
}

KJMASConstraintPtr KJMASViewConstraint::dividedBy(double divider) {
    layoutMultiplier_ = 1.0 / divider;
    return self();
}

KJMASConstraintPtr KJMASViewConstraint::priority(float priority) {
    layoutPriority_ = priority;
    return self();
}

KJMASConstraintPtr KJMASViewConstraint::key(const platform::Value& key) {
    mas_key_ = key;
    return self();
}

KJMASConstraintPtr KJMASViewConstraint::equalToWithRelation(const KJMASObject& attribute,
                                                            NSLayoutRelation relation) {
    if (const auto* partners = attribute.array()) {
        std::vector<KJMASConstraintPtr> children;
        for (const auto& partner : *partners) {
            auto c = copy();
            c->setLayoutRelation(relation);
            c->setSecondViewAttribute(partner);
            children.push_back(c);
        }
        auto composite = platform::make<KJMASCompositeConstraint>(children);
        composite->setDelegate(delegate());
        if (auto holder = delegate()) holder->constraintShouldBeReplacedWithConstraint(self(), composite);
        return composite;
    }
    setLayoutRelation(relation);
    setSecondViewAttribute(attribute);
    return self();
}

void KJMASViewConstraint::setLayoutRelation(NSLayoutRelation relation) {
    layoutRelation_ = relation;
    hasLayoutRelation_ = true;
}

void KJMASViewConstraint::setSecondViewAttribute(const KJMASObject& secondViewAttribute) {
    if (secondViewAttribute.isValue()) {
        setLayoutConstantWithValue(secondViewAttribute);
    } else if (auto view = secondViewAttribute.view()) {
        secondViewAttribute_ =
            platform::make<KJMASViewAttribute>(view, firstViewAttribute_->layoutAttribute());
    } else if (auto attribute = secondViewAttribute.viewAttribute()) {
        secondViewAttribute_ = attribute;
    }
}

void KJMASViewConstraint::setLayoutConstant(double constant) {
    layoutConstant_ = constant;
    if (auto c = layoutConstraint()) c->setConstant(constant);
}

void KJMASViewConstraint::setOffset(double offset) {
    setLayoutConstant(offset);
}

void KJMASViewConstraint::setInsets(const platform::UIEdgeInsets& insets) {
    switch (firstViewAttribute_->layoutAttribute()) {
        case KJMASLayoutAttributeLeft:
        case KJMASLayoutAttributeLeading:
            setLayoutConstant(insets.left);
            break;
        case KJMASLayoutAttributeRight:
        case KJMASLayoutAttributeTrailing:
            setLayoutConstant(-insets.right);
            break;
        case KJMASLayoutAttributeTop:
            setLayoutConstant(insets.top);
            break;
        case KJMASLayoutAttributeBottom:
            setLayoutConstant(-insets.bottom);
            break;
        default:
            break;
    }
}

void KJMASViewConstraint::setInset(double inset) {
    setInsets({inset, inset, inset, inset});
}

void KJMASViewConstraint::setSizeOffset(platform::CGSize sizeOffset) {
    switch (firstViewAttribute_->layoutAttribute()) {
        case KJMASLayoutAttributeWidth:
            setLayoutConstant(sizeOffset.width);
            break;
        case KJMASLayoutAttributeHeight:
            setLayoutConstant(sizeOffset.height);
            break;
        default:
            break;
    }
}

void KJMASViewConstraint::setCenterOffset(platform::CGPoint centerOffset) {
    switch (firstViewAttribute_->layoutAttribute()) {
        case KJMASLayoutAttributeCenterX:
            setLayoutConstant(centerOffset.x);
            break;
        case KJMASLayoutAttributeCenterY:
            setLayoutConstant(centerOffset.y);
            break;
        default:
            break;
    }
}

// ---------------------------------------------------------------- installation

bool KJMASViewConstraint::isActive() const {
    auto c = layoutConstraint();
    return c ? c->isActive() : true;
}

bool KJMASViewConstraint::hasBeenInstalled() const {
    return layoutConstraint() != nullptr && isActive();
}

void KJMASViewConstraint::install() {
    if (hasBeenInstalled()) return;
    auto firstView = firstViewAttribute_->view();
    if (auto existing = layoutConstraint(); existing && supportsActiveProperty()) {
        // Uninstalled earlier and still alive: the same platform constraint comes back.
        existing->setActive(true);
        addToInstalled(firstView, selfView());
        return;
    }

    auto firstItem = firstViewAttribute_->item();
    int64_t firstAttribute = firstViewAttribute_->layoutAttribute();
    std::shared_ptr<platform::NSObject> secondItem =
        secondViewAttribute_ ? secondViewAttribute_->item() : nullptr;
    int64_t secondAttribute = secondViewAttribute_ ? secondViewAttribute_->layoutAttribute() : 0;
    // A position made equal to a value is measured from the superview's same attribute; a size
    // made equal to a value is a constant.
    if (!firstViewAttribute_->isSizeAttribute() && !secondViewAttribute_) {
        secondItem = firstView ? firstView->superview() : nullptr;
        secondAttribute = firstAttribute;
    }
    auto constraint = KJMASLayoutConstraint::constraintWithItem(
        firstItem, static_cast<NSLayoutAttribute>(firstAttribute), layoutRelation_, secondItem,
        static_cast<NSLayoutAttribute>(secondAttribute), layoutMultiplier_, layoutConstant_);
    constraint->setPriority(layoutPriority_);
    constraint->mas_key = mas_key_;

    std::shared_ptr<UIView> installedView;
    auto partnerView = secondViewAttribute_ ? secondViewAttribute_->view() : nullptr;
    if (partnerView) {
        installedView = UIViewKJMASAdditions::mas_closestCommonSuperview(firstView, partnerView);
    } else if (firstViewAttribute_->isSizeAttribute()) {
        installedView = firstView;
    } else {
        installedView = firstView ? firstView->superview() : nullptr;
    }
    installedView_ = installedView;

    if (updateExisting()) {
        if (auto similar = layoutConstraintSimilarTo(*constraint)) {
            similar->setConstant(constraint->constant());
            layoutConstraint_ = similar;
            return;
        }
    }
    // Views that share no ancestor have nowhere to hold the constraint: nothing is installed.
    if (!installedView) return;
    installedView->addConstraint(constraint);
    layoutConstraint_ = constraint;
    addToInstalled(firstView, selfView());
}

std::shared_ptr<KJMASLayoutConstraint> KJMASViewConstraint::layoutConstraintSimilarTo(
    const KJMASLayoutConstraint& constraint) const {
    auto view = installedView();
    if (!view) return nullptr;
    const auto& held = view->constraints();
    for (auto it = held.rbegin(); it != held.rend(); ++it) {
        auto existing = std::dynamic_pointer_cast<KJMASLayoutConstraint>(*it);
        if (!existing) continue;
        if (existing->firstItem() != constraint.firstItem()) continue;
        if (existing->secondItem() != constraint.secondItem()) continue;
        if (existing->firstAttribute() != constraint.firstAttribute()) continue;
        if (existing->secondAttribute() != constraint.secondAttribute()) continue;
        if (existing->relation() != constraint.relation()) continue;
        if (existing->multiplier() != constraint.multiplier()) continue;
        if (existing->priority() != constraint.priority()) continue;
        return existing;
    }
    return nullptr;
}

void KJMASViewConstraint::uninstall() {
    auto constraint = layoutConstraint();
    if (constraint && supportsActiveProperty()) {
        constraint->setActive(false);
    } else {
        if (constraint)
            if (auto view = installedView()) view->removeConstraint(constraint);
        layoutConstraint_.reset();
        installedView_.reset();
    }
    removeFromInstalled(firstViewAttribute_->view(), selfView());
}

}  // namespace brindlecue
