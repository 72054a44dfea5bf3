#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "uikit-support/KJMASConstraint.h"

namespace brindlecue {

// A statement that groups statements so that one chain of settings reaches all of them: edges,
// size, center, attribute masks, groups, a second attribute chained onto a statement, and a
// relation to an array of partners. Each child's delegate is the composite.
class KJMASCompositeConstraint : public KJMASConstraint, public KJMASConstraintDelegate {
public:
    explicit KJMASCompositeConstraint(std::vector<KJMASConstraintPtr> children);
    void didConstruct() override;
    std::string className() const override { return "KJMASCompositeConstraint"; }

    const std::vector<KJMASConstraintPtr>& childConstraints() const { return childConstraints_; }
    void setChildConstraints(std::vector<KJMASConstraintPtr> children) {
        childConstraints_ = std::move(children);
    }
    const platform::Value& mas_key() const { return mas_key_; }
    void setMas_key(const platform::Value& key) { mas_key_ = key; }

    // ---- KJMASConstraintDelegate
    void constraintShouldBeReplacedWithConstraint(const KJMASConstraintPtr& constraint,
                                                  const KJMASConstraintPtr& replacement) override;
    // A statement the maker makes without listing it; it joins the children at the end.
    KJMASConstraintPtr constraintAddConstraintWithLayoutAttribute(const KJMASConstraintPtr& constraint,
                                                                  int64_t layoutAttribute) override;

    // ---- KJMASConstraint: every setting reaches every child, in order.
    // Adds a child for the attribute and goes on with the composite itself.
    KJMASConstraintPtr addConstraintWithLayoutAttribute(int64_t layoutAttribute) override;
    KJMASConstraintPtr multipliedBy(double multiplier) override;
    KJMASConstraintPtr dividedBy(double divider) override;
    KJMASConstraintPtr priority(float priority) override;
    KJMASConstraintPtr equalToWithRelation(const KJMASObject& attribute,
                                           platform::NSLayoutRelation relation) override;
    // The composite takes the key; child i takes "key[i]".
    KJMASConstraintPtr key(const platform::Value& key) override;
    void setInsets(const platform::UIEdgeInsets& insets) override;
    void setInset(double inset) override;
    void setSizeOffset(platform::CGSize sizeOffset) override;
    void setCenterOffset(platform::CGPoint centerOffset) override;
    void setOffset(double offset) override;
    void activate() override;
    void deactivate() override;
    // Passes its update mode on to each child, then installs it.
    void install() override;
    void uninstall() override;

private:
    std::shared_ptr<KJMASCompositeConstraint> selfComposite() { return sharedAs<KJMASCompositeConstraint>(); }

    platform::Value mas_key_;
    std::vector<KJMASConstraintPtr> childConstraints_;
};

}  // namespace brindlecue
