#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/uikit/NSObject.h"

namespace brindlecue::platform {

class UIView;

enum class NSLayoutAttribute {
    NotAnAttribute = 0,
    Left = 1,
    Right = 2,
    Top = 3,
    Bottom = 4,
    Leading = 5,
    Trailing = 6,
    Width = 7,
    Height = 8,
    CenterX = 9,
    CenterY = 10,
    LastBaseline = 11,
    FirstBaseline = 12,
    LeftMargin = 13,
    RightMargin = 14,
    TopMargin = 15,
    BottomMargin = 16,
    LeadingMargin = 17,
    TrailingMargin = 18,
    CenterXWithinMargins = 19,
    CenterYWithinMargins = 20,
};

enum class UILayoutConstraintAxis : int64_t { Horizontal = 0, Vertical = 1 };

enum class NSLayoutRelation { LessThanOrEqual = -1, Equal = 0, GreaterThanOrEqual = 1 };

using UILayoutPriority = float;
inline constexpr UILayoutPriority UILayoutPriorityRequired = 1000;
inline constexpr UILayoutPriority UILayoutPriorityDefaultHigh = 750;
inline constexpr UILayoutPriority UILayoutPriorityDefaultLow = 250;
inline constexpr UILayoutPriority UILayoutPriorityFittingSizeLevel = 50;

// A layout constraint as a record: items, attributes, relation, multiplier, constant, priority
// and whether it is active. Nothing solves constraints; frames are set by code. Activating adds
// the constraint to the nearest common ancestor of its views, deactivating takes it away.
class NSLayoutConstraint : public NSObject {
public:
    BLQ_PLATFORM_CLASS(NSLayoutConstraint)

    static std::shared_ptr<NSLayoutConstraint> constraintWithItem(const std::shared_ptr<NSObject>& firstItem,
                                                                  NSLayoutAttribute firstAttribute,
                                                                  NSLayoutRelation relation,
                                                                  const std::shared_ptr<NSObject>& secondItem,
                                                                  NSLayoutAttribute secondAttribute,
                                                                  double multiplier, double constant);
    static void activateConstraints(const std::vector<std::shared_ptr<NSLayoutConstraint>>& constraints);
    static void deactivateConstraints(const std::vector<std::shared_ptr<NSLayoutConstraint>>& constraints);

    std::shared_ptr<NSObject> firstItem() const { return firstItem_.lock(); }
    std::shared_ptr<NSObject> secondItem() const { return secondItem_.lock(); }
    NSLayoutAttribute firstAttribute() const { return firstAttribute_; }
    NSLayoutAttribute secondAttribute() const { return secondAttribute_; }
    NSLayoutRelation relation() const { return relation_; }
    double multiplier() const { return multiplier_; }
    double constant() const { return constant_; }
    void setConstant(double c) { constant_ = c; }
    UILayoutPriority priority() const { return priority_; }
    void setPriority(UILayoutPriority p) { priority_ = p; }
    const std::string& identifier() const { return identifier_; }
    void setIdentifier(std::string id) { identifier_ = std::move(id); }

    bool isActive() const { return !holder_.expired(); }
    // Activating a constraint whose items share no ancestor leaves it inactive.
    void setActive(bool active);
    // The view that holds the constraint (UIView::addConstraint keeps this current).
    std::shared_ptr<UIView> holder() const { return holder_.lock(); }
    void attachTo(const std::shared_ptr<UIView>& view) { holder_ = view; }

    // "<NSLayoutConstraint:0x... UIView:0x....width == 100   (active)>", unless a description
    // provider is installed: a library may describe every constraint of the process its own way,
    // as a category of the platform would.
    std::string description() const override;
    using DescriptionProvider = std::string (*)(const NSLayoutConstraint&);
    // Installs the provider (null for the platform's own text); returns the one it replaces.
    static DescriptionProvider setDescriptionProvider(DescriptionProvider provider);

protected:
    // Sets what constraintWithItem sets; for subclasses that make their constraints themselves.
    void initWithItem(const std::shared_ptr<NSObject>& firstItem, NSLayoutAttribute firstAttribute,
                      NSLayoutRelation relation, const std::shared_ptr<NSObject>& secondItem,
                      NSLayoutAttribute secondAttribute, double multiplier, double constant);

private:
    std::weak_ptr<NSObject> firstItem_;
    std::weak_ptr<NSObject> secondItem_;
    NSLayoutAttribute firstAttribute_ = NSLayoutAttribute::NotAnAttribute;
    NSLayoutAttribute secondAttribute_ = NSLayoutAttribute::NotAnAttribute;
    NSLayoutRelation relation_ = NSLayoutRelation::Equal;
    double multiplier_ = 1;
    double constant_ = 0;
    UILayoutPriority priority_ = UILayoutPriorityRequired;
    std::string identifier_;
    std::weak_ptr<UIView> holder_;
};

}  // namespace brindlecue::platform
