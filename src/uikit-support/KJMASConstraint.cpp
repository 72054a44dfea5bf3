#include "uikit-support/KJMASConstraint.h"

namespace brindlecue {

using platform::NSLayoutRelation;

KJMASConstraintPtr KJMASConstraint::equalTo(const KJMASObject& attribute) {
    return equalToWithRelation(attribute, NSLayoutRelation::Equal);
}

KJMASConstraintPtr KJMASConstraint::greaterThanOrEqualTo(const KJMASObject& attribute) {
    return equalToWithRelation(attribute, NSLayoutRelation::GreaterThanOrEqual);
}

KJMASConstraintPtr KJMASConstraint::lessThanOrEqualTo(const KJMASObject& attribute) {
    return equalToWithRelation(attribute, NSLayoutRelation::LessThanOrEqual);
}

KJMASConstraintPtr KJMASConstraint::insets(const platform::UIEdgeInsets& insets) {
    setInsets(insets);
    return self();
}

KJMASConstraintPtr KJMASConstraint::inset(double inset) {
    setInset(inset);
    return self();
}

KJMASConstraintPtr KJMASConstraint::sizeOffset(platform::CGSize offset) {
    setSizeOffset(offset);
    return self();
}

KJMASConstraintPtr KJMASConstraint::centerOffset(platform::CGPoint offset) {
    setCenterOffset(offset);
    return self();
}

KJMASConstraintPtr KJMASConstraint::offset(double offset) {
    setOffset(offset);
    return self();
}

KJMASConstraintPtr KJMASConstraint::valueOffset(const KJMASObject& offset) {
    setLayoutConstantWithValue(offset);
    return self();
}

void KJMASConstraint::setLayoutConstantWithValue(const KJMASObject& value) {
    if (auto number = value.number()) {
        setOffset(*number);
        return;
    }
    const KJMASBoxedValue* boxed = value.boxedValue();
    if (!boxed) return;
    const auto& f = boxed->fields;
    if (boxed->objCType == kKJMASPointEncoding && f.size() == 2) {
        setCenterOffset({f[0], f[1]});
    } else if (boxed->objCType == kKJMASSizeEncoding && f.size() == 2) {
        setSizeOffset({f[0], f[1]});
    } else if (boxed->objCType == kKJMASEdgeInsetsEncoding && f.size() == 4) {
        setInsets({f[0], f[1], f[2], f[3]});
    }
}

}  // namespace brindlecue
