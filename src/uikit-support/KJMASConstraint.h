#pragma once

#include <cstdint>
#include <memory>

#include "platform/Value.h"
#include "platform/uikit/Geometry.h"
#include "platform/uikit/NSLayoutConstraint.h"
#include "platform/uikit/NSObject.h"
#include "uikit-support/KJMASObject.h"

namespace brindlecue {

class KJMASConstraint;
using KJMASConstraintPtr = std::shared_ptr<KJMASConstraint>;

// What holds statements in a list: the maker and the composite.
class KJMASConstraintDelegate {
public:
    virtual ~KJMASConstraintDelegate() = default;
    // Puts the replacement at the statement's place in the holder's list. A statement that is not
    // in the list is left alone and nothing is put in.
    virtual void constraintShouldBeReplacedWithConstraint(const KJMASConstraintPtr& constraint,
                                                          const KJMASConstraintPtr& replacement) = 0;
    // A statement for a further attribute of the same view; constraint is the asking statement
    // (null when the holder asks for itself).
    virtual KJMASConstraintPtr constraintAddConstraintWithLayoutAttribute(
        const KJMASConstraintPtr& constraint, int64_t layoutAttribute) = 0;
};

// A statement of the constraint language. Settings chain: each returns the statement to go on
// with (the receiver, or what took its place), as in
//     make.left()->equalTo(other->mas_right())->offset(8);
// The operations every kind of statement provides for itself are pure virtual.
class KJMASConstraint : public platform::NSObject {
public:
    // ---- Relations: the partner is a number (a constant), a boxed structure, a view (the same
    // attribute of it), a view attribute, or an array of these (one copy of the statement each).
    KJMASConstraintPtr equalTo(const KJMASObject& attribute);
    KJMASConstraintPtr mas_equalTo(const KJMASObject& attribute) { return equalTo(attribute); }
    KJMASConstraintPtr greaterThanOrEqualTo(const KJMASObject& attribute);
    KJMASConstraintPtr mas_greaterThanOrEqualTo(const KJMASObject& attribute) {
        return greaterThanOrEqualTo(attribute);
    }
    KJMASConstraintPtr lessThanOrEqualTo(const KJMASObject& attribute);
    KJMASConstraintPtr mas_lessThanOrEqualTo(const KJMASObject& attribute) {
        return lessThanOrEqualTo(attribute);
    }

    // ---- Settings.
    KJMASConstraintPtr priorityLow() { return priority(platform::UILayoutPriorityDefaultLow); }
    KJMASConstraintPtr priorityMedium() { return priority(500); }
    KJMASConstraintPtr priorityHigh() { return priority(platform::UILayoutPriorityDefaultHigh); }
    KJMASConstraintPtr insets(const platform::UIEdgeInsets& insets);
    KJMASConstraintPtr inset(double inset);
    KJMASConstraintPtr sizeOffset(platform::CGSize offset);
    KJMASConstraintPtr centerOffset(platform::CGPoint offset);
    KJMASConstraintPtr offset(double offset);
    KJMASConstraintPtr valueOffset(const KJMASObject& offset);
    // For reading only.
    KJMASConstraintPtr with() { return self(); }
    KJMASConstraintPtr and_() { return self(); }

    // ---- A further attribute of the same view.
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

    // ---- What each kind of statement provides.
    virtual KJMASConstraintPtr addConstraintWithLayoutAttribute(int64_t layoutAttribute) = 0;
    virtual KJMASConstraintPtr multipliedBy(double multiplier) = 0;
    virtual KJMASConstraintPtr dividedBy(double divider) = 0;
    virtual KJMASConstraintPtr priority(float priority) = 0;
    virtual KJMASConstraintPtr equalToWithRelation(const KJMASObject& attribute,
                                                   platform::NSLayoutRelation relation) = 0;
    // A debugging key (shown by the constraints' descriptions).
    virtual KJMASConstraintPtr key(const platform::Value& key) = 0;
    virtual void setInsets(const platform::UIEdgeInsets& insets) = 0;
    virtual void setInset(double inset) = 0;
    virtual void setSizeOffset(platform::CGSize sizeOffset) = 0;
    virtual void setCenterOffset(platform::CGPoint centerOffset) = 0;
    virtual void setOffset(double offset) = 0;
    virtual void activate() = 0;
    virtual void deactivate() = 0;
    virtual void install() = 0;
    virtual void uninstall() = 0;

    // A number sets the offset; a boxed point, size or edge insets (by their exact type encoding)
    // sets the centre offset, size offset or insets. Anything else changes nothing.
    void setLayoutConstantWithValue(const KJMASObject& value);

    // Set by the maker just before installation: reuse a similar installed platform constraint.
    bool updateExisting() const { return updateExisting_; }
    void setUpdateExisting(bool updateExisting) { updateExisting_ = updateExisting; }
    // The maker or composite holding this statement (weak).
    std::shared_ptr<KJMASConstraintDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(const std::shared_ptr<KJMASConstraintDelegate>& delegate) { delegate_ = delegate; }

protected:
    KJMASConstraintPtr self() { return sharedAs<KJMASConstraint>(); }

private:
    bool updateExisting_ = false;
    std::weak_ptr<KJMASConstraintDelegate> delegate_;
};

}  // namespace brindlecue
