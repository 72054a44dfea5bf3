#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "uikit-support/KJMASConstraint.h"
#include "uikit-support/KJMASLayoutConstraint.h"
#include "uikit-support/KJMASViewAttribute.h"

namespace brindlecue {

// One relation between two view attributes, which becomes exactly one platform constraint.
//
// Declared, it has no platform constraint. Installed, its platform constraint is active and held
// by the installed view (the statement points at it weakly) and the statement is in its first
// view's installed set. Uninstalled, the platform constraint is deactivated and the statement
// leaves the set; installing again reactivates the same platform constraint while it still
// exists, else makes a new one. Only the constant reaches an installed platform constraint at
// once; relation, multiplier, priority and key take effect at the next installation.
class KJMASViewConstraint : public KJMASConstraint {
public:
    // Priority required (1000), multiplier 1, constant 0, relation equal.
    explicit KJMASViewConstraint(std::shared_ptr<KJMASViewAttribute> firstViewAttribute);
    void didConstruct() override;
    std::string className() const override { return "KJMASViewConstraint"; }

    // A new statement with the first attribute, constant, relation, priority, multiplier and
    // delegate of this one (not the partner, not the key).
    std::shared_ptr<KJMASViewConstraint> copy() const;

    // The statements installed with the view as first view, in no defined order.
    static std::vector<std::shared_ptr<KJMASViewConstraint>> installedConstraintsForView(
        const std::shared_ptr<platform::UIView>& view);

    // ---- KJMASConstraint
    KJMASConstraintPtr addConstraintWithLayoutAttribute(int64_t layoutAttribute) override;
    KJMASConstraintPtr multipliedBy(double multiplier) override;
    KJMASConstraintPtr dividedBy(double divider) override;
    KJMASConstraintPtr priority(float priority) override;
    KJMASConstraintPtr equalToWithRelation(const KJMASObject& attribute,
                                           platform::NSLayoutRelation relation) override;
    KJMASConstraintPtr key(const platform::Value& key) override;
    void setInsets(const platform::UIEdgeInsets& insets) override;
    void setInset(double inset) override;
    void setSizeOffset(platform::CGSize sizeOffset) override;
    void setCenterOffset(platform::CGPoint centerOffset) override;
    void setOffset(double offset) override;
    void activate() override { install(); }
    void deactivate() override { uninstall(); }
    void install() override;
    void uninstall() override;

    // ---- State
    const std::shared_ptr<KJMASViewAttribute>& firstViewAttribute() const { return firstViewAttribute_; }
    const std::shared_ptr<KJMASViewAttribute>& secondViewAttribute() const { return secondViewAttribute_; }
    // A value (number or boxed structure) sets the constant; a view becomes the same attribute of
    // that view; a view attribute is taken as it is; anything else is ignored.
    void setSecondViewAttribute(const KJMASObject& secondViewAttribute);
    std::shared_ptr<platform::UIView> installedView() const { return installedView_.lock(); }
    std::shared_ptr<KJMASLayoutConstraint> layoutConstraint() const { return layoutConstraint_.lock(); }
    platform::NSLayoutRelation layoutRelation() const { return layoutRelation_; }
    void setLayoutRelation(platform::NSLayoutRelation relation);
    bool hasLayoutRelation() const { return hasLayoutRelation_; }
    float layoutPriority() const { return layoutPriority_; }
    double layoutMultiplier() const { return layoutMultiplier_; }
    double layoutConstant() const { return layoutConstant_; }
    // Stores the constant and passes it to the platform constraint at once when there is one.
    void setLayoutConstant(double constant);
    const platform::Value& mas_key() const { return mas_key_; }
    void setMas_key(const platform::Value& key) { mas_key_ = key; }
    bool useAnimator() const { return useAnimator_; }
    void setUseAnimator(bool useAnimator) { useAnimator_ = useAnimator; }

    // True while a platform constraint is present (it always offers the active flag).
    bool supportsActiveProperty() const { return layoutConstraint() != nullptr; }
    // The platform constraint's active flag; true without one.
    bool isActive() const;
    bool hasBeenInstalled() const;
    // The last platform constraint of the installed view, made by the language, with the same
    // items (identity), attributes, relation, multiplier and priority; the constant and the key
    // are not compared.
    std::shared_ptr<KJMASLayoutConstraint> layoutConstraintSimilarTo(
        const KJMASLayoutConstraint& constraint) const;

private:
    std::shared_ptr<KJMASViewConstraint> selfView() { return sharedAs<KJMASViewConstraint>(); }

    std::shared_ptr<KJMASViewAttribute> secondViewAttribute_;
    std::weak_ptr<platform::UIView> installedView_;
    std::weak_ptr<KJMASLayoutConstraint> layoutConstraint_;
    platform::NSLayoutRelation layoutRelation_ = platform::NSLayoutRelation::Equal;
    float layoutPriority_ = platform::UILayoutPriorityRequired;
    double layoutMultiplier_ = 1.0;
    double layoutConstant_ = 0;
    bool hasLayoutRelation_ = false;
    platform::Value mas_key_;
    bool useAnimator_ = false;
    std::shared_ptr<KJMASViewAttribute> firstViewAttribute_;
};

}  // namespace brindlecue
