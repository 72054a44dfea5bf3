#include "uikit-support/KJMASConstraintMaker.h"

#include <algorithm>
#include <mutex>

#include "platform/uikit/ClassRegistry.h"
#include "platform/uikit/UIView.h"
#include "uikit-support/KJMASCompositeConstraint.h"
#include "uikit-support/KJMASViewConstraint.h"
#include "uikit-support/NSLayoutConstraintKJMASDebugAdditions.h"
#include "uikit-support/UIViewKJMASAdditions.h"

namespace brindlecue {

void KJMASConstraintMaker::didConstruct() {
    NSObject::didConstruct();
    static std::once_flag registered;
    std::call_once(registered, [] {
        platform::ClassRegistry::registerClass("KJMASConstraintMaker", "NSObject");
        // The language's descriptions of constraints come with the language.
        NSLayoutConstraintKJMASDebugAdditions::install();
    });
}

void KJMASConstraintMaker::constraintShouldBeReplacedWithConstraint(const KJMASConstraintPtr& constraint,
                                                                    const KJMASConstraintPtr& replacement) {
    auto it = std::find(constraints_.begin(), constraints_.end(), constraint);
    if (it != constraints_.end()) *it = replacement;
}

KJMASConstraintPtr KJMASConstraintMaker::constraintAddConstraintWithLayoutAttribute(
    const KJMASConstraintPtr& constraint, int64_t layoutAttribute) {
    auto attribute = platform::make<KJMASViewAttribute>(view(), layoutAttribute);
    auto added = platform::make<KJMASViewConstraint>(attribute);
    if (std::dynamic_pointer_cast<KJMASViewConstraint>(constraint)) {
        auto composite =
            platform::make<KJMASCompositeConstraint>(std::vector<KJMASConstraintPtr>{constraint, added});
        composite->setDelegate(selfDelegate());
        constraintShouldBeReplacedWithConstraint(constraint, composite);
        return composite;
    }
    if (!constraint) {
        added->setDelegate(selfDelegate());
        constraints_.push_back(added);
    }
    return added;
}

KJMASConstraintPtr KJMASConstraintMaker::addConstraintWithAttributes(uint64_t mask) {
    auto v = view();
    using Getter = UIViewKJMASAdditions::Attribute (*)(const std::shared_ptr<platform::UIView>&);
    struct Entry {
        uint64_t bit;
        Getter getter;
    };
    static const Entry kOrder[] = {
        {KJMASAttributeLeft, &UIViewKJMASAdditions::mas_left},
        {KJMASAttributeRight, &UIViewKJMASAdditions::mas_right},
        {KJMASAttributeTop, &UIViewKJMASAdditions::mas_top},
        {KJMASAttributeBottom, &UIViewKJMASAdditions::mas_bottom},
        {KJMASAttributeLeading, &UIViewKJMASAdditions::mas_leading},
        {KJMASAttributeTrailing, &UIViewKJMASAdditions::mas_trailing},
        {KJMASAttributeWidth, &UIViewKJMASAdditions::mas_width},
        {KJMASAttributeHeight, &UIViewKJMASAdditions::mas_height},
        {KJMASAttributeCenterX, &UIViewKJMASAdditions::mas_centerX},
        {KJMASAttributeCenterY, &UIViewKJMASAdditions::mas_centerY},
        {KJMASAttributeBaseline, &UIViewKJMASAdditions::mas_baseline},
        {KJMASAttributeFirstBaseline, &UIViewKJMASAdditions::mas_firstBaseline},
        {KJMASAttributeLastBaseline, &UIViewKJMASAdditions::mas_lastBaseline},
        {KJMASAttributeLeftMargin, &UIViewKJMASAdditions::mas_leftMargin},
        {KJMASAttributeRightMargin, &UIViewKJMASAdditions::mas_rightMargin},
        {KJMASAttributeTopMargin, &UIViewKJMASAdditions::mas_topMargin},
        {KJMASAttributeBottomMargin, &UIViewKJMASAdditions::mas_bottomMargin},
        {KJMASAttributeLeadingMargin, &UIViewKJMASAdditions::mas_leadingMargin},
        {KJMASAttributeTrailingMargin, &UIViewKJMASAdditions::mas_trailingMargin},
        {KJMASAttributeCenterXWithinMargins, &UIViewKJMASAdditions::mas_centerXWithinMargins},
        {KJMASAttributeCenterYWithinMargins, &UIViewKJMASAdditions::mas_centerYWithinMargins},
    };
    std::vector<KJMASConstraintPtr> children;
    for (const auto& entry : kOrder)
        if (mask & entry.bit) children.push_back(platform::make<KJMASViewConstraint>(entry.getter(v)));
    auto composite = platform::make<KJMASCompositeConstraint>(std::move(children));
    composite->setDelegate(selfDelegate());
    constraints_.push_back(composite);
    return composite;
}

KJMASConstraintPtr KJMASConstraintMaker::group(const std::function<void()>& block) {
    size_t before = constraints_.size();
    if (block) block();
    std::vector<KJMASConstraintPtr> declared(constraints_.begin() + static_cast<std::ptrdiff_t>(before),
                                             constraints_.end());
    auto composite = platform::make<KJMASCompositeConstraint>(std::move(declared));
    composite->setDelegate(selfDelegate());
    return composite;
}

std::vector<KJMASConstraintPtr> KJMASConstraintMaker::install() {
    if (removeExisting_)
        for (const auto& installed : KJMASViewConstraint::installedConstraintsForView(view()))
            installed->uninstall();
    auto declared = constraints_;
    for (const auto& statement : declared) {
        statement->setUpdateExisting(updateExisting_);
        statement->install();
    }
    constraints_.clear();
    return declared;
}

}  // namespace brindlecue
