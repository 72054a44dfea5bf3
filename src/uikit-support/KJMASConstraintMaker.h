#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "uikit-support/KJMASConstraint.h"

namespace brindlecue {

namespace platform {
class UIView;
}

// Collects the statements of one declaration block for a view, in declaration order, and
// installs them. Lives for one entry-point call (UIViewKJMASAdditions).
class KJMASConstraintMaker : public platform::NSObject, public KJMASConstraintDelegate {
public:
    explicit KJMASConstraintMaker(const std::shared_ptr<platform::UIView>& view) : view_(view) {}
    void didConstruct() override;
    std::string className() const override { return "KJMASConstraintMaker"; }

    // ---- A statement per attribute of the view, appended to the list.
    KJMASConstraintPtr left() { return addConstraintWithLayoutAttribute(KJMASLayoutAttributeLeft); }
    KJMASConstraintPtr top() { return addConstraintWithLayoutAttribute(KJMASLayoutAttributeTop); }
    KJMASConstraintPtr right() { return addConstraintWithLayoutAttribute(KJMASLayoutAttributeRight); }
    KJMASConstraintPtr bottom() { return addConstraintWithLayoutAttribute(KJMASLayoutAttributeBottom); }
    KJMASConstraintPtr leading() { return addConstraintWithLayoutAttribute(KJMASLayoutAttributeLeading); }
    KJMASConstraintPtr trailing() { return addConstraintWithLayoutAttribute(KJMASLayoutAttributeTrailing); }
    KJMASConstraintPtr width() { return addConstraintWithLayoutAttribute(KJMASLayoutAttributeWidth); }
    KJMASConstraintPtr height() { return addConstraintWithLayoutAttribute(KJMASLayoutAttributeHeight); }
    KJMASConstraintPtr centerX() { return addConstraintWithLayoutAttribute(KJMASLayoutAttributeCenterX); }
    KJMASConstraintPtr centerY() { return addConstraintWithLayoutAttribute(KJMASLayoutAttributeCenterY); }
    KJMASConstraintPtr baseline() { return addConstraintWithLayoutAttribute(KJMASLayoutAttributeBaseline); }
    KJMASConstraintPtr firstBaseline() {
        return addConstraintWithLayoutAttribute(KJMASLayoutAttributeFirstBaseline);
    }
    KJMASConstraintPtr lastBaseline() {
        return addConstraintWithLayoutAttribute(KJMASLayoutAttributeLastBaseline);
    }
    KJMASConstraintPtr leftMargin() {
        return addConstraintWithLayoutAttribute(KJMASLayoutAttributeLeftMargin);
    }
    KJMASConstraintPtr rightMargin() {
        return addConstraintWithLayoutAttribute(KJMASLayoutAttributeRightMargin);
    }
    KJMASConstraintPtr topMargin() { return addConstraintWithLayoutAttribute(KJMASLayoutAttributeTopMargin); }
    KJMASConstraintPtr bottomMargin() {
        return addConstraintWithLayoutAttribute(KJMASLayoutAttributeBottomMargin);
    }
    KJMASConstraintPtr leadingMargin() {
        return addConstraintWithLayoutAttribute(KJMASLayoutAttributeLeadingMargin);
    }
    KJMASConstraintPtr trailingMargin() {
        return addConstraintWithLayoutAttribute(KJMASLayoutAttributeTrailingMargin);
    }
    KJMASConstraintPtr centerXWithinMargins() {
        return addConstraintWithLayoutAttribute(KJMASLayoutAttributeCenterXWithinMargins);
    }
    KJMASConstraintPtr centerYWithinMargins() {
        return addConstraintWithLayoutAttribute(KJMASLayoutAttributeCenterYWithinMargins);
    }
    KJMASConstraintPtr addConstraintWithLayoutAttribute(int64_t layoutAttribute) {
        return constraintAddConstraintWithLayoutAttribute(nullptr, layoutAttribute);
    }

    // ---- Composites, appended to the list.
    KJMASConstraintPtr edges() { return addConstraintWithAttributes(KJMASAttributeEdges); }
    KJMASConstraintPtr size() { return addConstraintWithAttributes(KJMASAttributeSize); }
    KJMASConstraintPtr center() { return addConstraintWithAttributes(KJMASAttributeCenter); }
    KJMASConstraintPtr attributes(uint64_t mask) { return addConstraintWithAttributes(mask); }
    // One statement per attribute bit, in attribute order (bit 11 gives baseline and last
    // baseline); an empty mask gives an empty composite.
    KJMASConstraintPtr addConstraintWithAttributes(uint64_t mask);
    // A handle on every statement the block declares; the statements stay in the list and the
    // handle is not installed itself.
    KJMASConstraintPtr group(const std::function<void()>& block);

    // Installs the statements (after uninstalling the view's installed ones when removing
    // existing), empties the list and returns what it held.
    std::vector<KJMASConstraintPtr> install();

    // ---- KJMASConstraintDelegate
    // A statement that is not in the list is left alone, and the replacement is not listed.
    void constraintShouldBeReplacedWithConstraint(const KJMASConstraintPtr& constraint,
                                                  const KJMASConstraintPtr& replacement) override;
    // With no statement: a new listed statement. With a view statement: a composite of it and
    // the new one takes its place. With a composite: the new statement, unlisted, for the
    // composite to adopt.
    KJMASConstraintPtr constraintAddConstraintWithLayoutAttribute(const KJMASConstraintPtr& constraint,
                                                                  int64_t layoutAttribute) override;

    std::shared_ptr<platform::UIView> view() const { return view_.lock(); }
    const std::vector<KJMASConstraintPtr>& constraints() const { return constraints_; }
    bool updateExisting() const { return updateExisting_; }
    void setUpdateExisting(bool v) { updateExisting_ = v; }
    bool removeExisting() const { return removeExisting_; }
    void setRemoveExisting(bool v) { removeExisting_ = v; }

private:
    std::shared_ptr<KJMASConstraintDelegate> selfDelegate() {
        return std::static_pointer_cast<KJMASConstraintDelegate>(sharedAs<KJMASConstraintMaker>());
    }

    std::weak_ptr<platform::UIView> view_;
    std::vector<KJMASConstraintPtr> constraints_;
    bool updateExisting_ = false;
    bool removeExisting_ = false;
};

}  // namespace brindlecue
