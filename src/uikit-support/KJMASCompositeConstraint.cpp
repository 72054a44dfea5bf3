#include "uikit-support/KJMASCompositeConstraint.h"

#include <algorithm>
#include <mutex>

#include "platform/uikit/ClassRegistry.h"

namespace brindlecue {

KJMASCompositeConstraint::KJMASCompositeConstraint(std::vector<KJMASConstraintPtr> children)
    : childConstraints_(std::move(children)) {}

void KJMASCompositeConstraint::didConstruct() {
    KJMASConstraint::didConstruct();
    static std::once_flag registered;
    std::call_once(registered, [] {
        platform::ClassRegistry::registerClass("KJMASConstraint", "NSObject");
        platform::ClassRegistry::registerClass("KJMASCompositeConstraint", "KJMASConstraint");
    });
    std::shared_ptr<KJMASConstraintDelegate> self = selfComposite();
    for (const auto& child : childConstraints_)
        if (child) child->setDelegate(self);
}

void KJMASCompositeConstraint::constraintShouldBeReplacedWithConstraint(
    const KJMASConstraintPtr& constraint, const KJMASConstraintPtr& replacement) {
    auto it = std::find(childConstraints_.begin(), childConstraints_.end(), constraint);
    if (it != childConstraints_.end()) *it = replacement;
}

KJMASConstraintPtr KJMASCompositeConstraint::constraintAddConstraintWithLayoutAttribute(
    const KJMASConstraintPtr&, int64_t layoutAttribute) {
    auto holder = delegate();
    if (!holder) return nullptr;
    auto added = holder->constraintAddConstraintWithLayoutAttribute(self(), layoutAttribute);
    if (!added) return nullptr;
    added->setDelegate(std::static_pointer_cast<KJMASConstraintDelegate>(selfComposite()));
    childConstraints_.push_back(added);
    return added;
}

KJMASConstraintPtr KJMASCompositeConstraint::addConstraintWithLayoutAttribute(int64_t layoutAttribute) {
    constraintAddConstraintWithLayoutAttribute(self(), layoutAttribute);
    return self();
}

KJMASConstraintPtr KJMASCompositeConstraint::multipliedBy(double multiplier) {
    for (const auto& child : childConstraints_) child->multipliedBy(multiplier);
    return self();
}

KJMASConstraintPtr KJMASCompositeConstraint::dividedBy(double divider) {
    for (const auto& child : childConstraints_) child->dividedBy(divider);
    return self();
}

KJMASConstraintPtr KJMASCompositeConstraint::priority(float priority) {
    for (const auto& child : childConstraints_) child->priority(priority);
    return self();
}

KJMASConstraintPtr KJMASCompositeConstraint::equalToWithRelation(const KJMASObject& attribute,
                                                                 platform::NSLayoutRelation relation) {
    // A child may put a composite in its place while the list is walked.
    auto children = childConstraints_;
    for (const auto& child : children) child->equalToWithRelation(attribute, relation);
    return self();
}

KJMASConstraintPtr KJMASCompositeConstraint::key(const platform::Value& key) {
    mas_key_ = key;
    std::string text = key.stringValue();
    for (size_t i = 0; i < childConstraints_.size(); ++i)
        childConstraints_[i]->key(platform::Value(text + "[" + std::to_string(i) + "]"));
    return self();
}

void KJMASCompositeConstraint::setInsets(const platform::UIEdgeInsets& insets) {
    for (const auto& child : childConstraints_) child->setInsets(insets);
}

void KJMASCompositeConstraint::setInset(double inset) {
    for (const auto& child : childConstraints_) child->setInset(inset);
}

void KJMASCompositeConstraint::setSizeOffset(platform::CGSize sizeOffset) {
    for (const auto& child : childConstraints_) child->setSizeOffset(sizeOffset);
}

void KJMASCompositeConstraint::setCenterOffset(platform::CGPoint centerOffset) {
    for (const auto& child : childConstraints_) child->setCenterOffset(centerOffset);
}

void KJMASCompositeConstraint::setOffset(double offset) {
    for (const auto& child : childConstraints_) child->setOffset(offset);
}

void KJMASCompositeConstraint::activate() {
    for (const auto& child : childConstraints_) child->activate();
}

void KJMASCompositeConstraint::deactivate() {
    for (const auto& child : childConstraints_) child->deactivate();
}

void KJMASCompositeConstraint::install() {
    for (const auto& child : childConstraints_) {
        child->setUpdateExisting(updateExisting());
        child->install();
    }
}

void KJMASCompositeConstraint::uninstall() {
    for (const auto& child : childConstraints_) child->uninstall();
}

}  // namespace brindlecue
