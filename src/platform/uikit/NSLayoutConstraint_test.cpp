#include "platform/uikit/NSLayoutConstraint.h"

#include <gtest/gtest.h>

#include "platform/uikit/UILayoutGuide.h"
#include "platform/uikit/UIView.h"

namespace brindlecue::platform {
namespace {

// The platform's own descriptions, whatever provider the process has installed; put back after.
class PlatformDescriptions {
public:
    PlatformDescriptions() : saved_(NSLayoutConstraint::setDescriptionProvider(nullptr)) {}
    ~PlatformDescriptions() { NSLayoutConstraint::setDescriptionProvider(saved_); }
    PlatformDescriptions(const PlatformDescriptions&) = delete;
    PlatformDescriptions& operator=(const PlatformDescriptions&) = delete;

private:
    NSLayoutConstraint::DescriptionProvider saved_;
};

std::string providedText(const NSLayoutConstraint&) {
    return "provided";
}

TEST(NSLayoutConstraintDescription, NamesItemsAttributesRelationsAndConstants) {
    PlatformDescriptions platformTexts;
    auto parent = make<UIView>(CGRect(0, 0, 100, 100));
    auto view = make<UIView>(CGRect(0, 0, 10, 10));
    parent->addSubview(view);
    auto text = [](const std::shared_ptr<NSObject>& o) { return o->className() + ":" + o->addressText(); };

    auto pinned = NSLayoutConstraint::constraintWithItem(view, NSLayoutAttribute::Left,
                                                         NSLayoutRelation::GreaterThanOrEqual, parent,
                                                         NSLayoutAttribute::Left, 2, 10);
    pinned->setPriority(UILayoutPriorityDefaultHigh);
    pinned->setActive(true);
    EXPECT_EQ(pinned->description(), "<NSLayoutConstraint:" + pinned->addressText() + " " + text(view) +
                                         ".left >= " + text(parent) + ".left*2 + 10 @750   (active)>");
    auto inset = NSLayoutConstraint::constraintWithItem(view, NSLayoutAttribute::Bottom,
                                                        NSLayoutRelation::LessThanOrEqual, parent,
                                                        NSLayoutAttribute::BottomMargin, 1, -8.5);
    EXPECT_EQ(inset->description(), "<NSLayoutConstraint:" + inset->addressText() + " " + text(view) +
                                        ".bottom <= " + text(parent) + ".bottomMargin - 8.5   (inactive)>");
    auto flush = NSLayoutConstraint::constraintWithItem(view, NSLayoutAttribute::Top, NSLayoutRelation::Equal,
                                                        parent, NSLayoutAttribute::Top, 1, 0);
    EXPECT_EQ(flush->description(), "<NSLayoutConstraint:" + flush->addressText() + " " + text(view) +
                                        ".top == " + text(parent) + ".top   (inactive)>");
    auto width = NSLayoutConstraint::constraintWithItem(view, NSLayoutAttribute::Width, NSLayoutRelation::Equal,
                                                        nullptr, NSLayoutAttribute::NotAnAttribute, 1, 40);
    EXPECT_EQ(width->description(),
              "<NSLayoutConstraint:" + width->addressText() + " " + text(view) + ".width == 40   (inactive)>");
    auto nothing = NSLayoutConstraint::constraintWithItem(nullptr, NSLayoutAttribute::NotAnAttribute,
                                                          NSLayoutRelation::Equal, nullptr,
                                                          NSLayoutAttribute::NotAnAttribute, 1, 0);
    EXPECT_EQ(nothing->description(),
              "<NSLayoutConstraint:" + nothing->addressText() + " (null).notAnAttribute == 0   (inactive)>");

    // Every attribute by its platform name.
    const std::pair<NSLayoutAttribute, const char*> names[] = {
        {NSLayoutAttribute::Left, "left"},
        {NSLayoutAttribute::Right, "right"},
        {NSLayoutAttribute::Top, "top"},
        {NSLayoutAttribute::Bottom, "bottom"},
        {NSLayoutAttribute::Leading, "leading"},
        {NSLayoutAttribute::Trailing, "trailing"},
        {NSLayoutAttribute::Width, "width"},
        {NSLayoutAttribute::Height, "height"},
        {NSLayoutAttribute::CenterX, "centerX"},
        {NSLayoutAttribute::CenterY, "centerY"},
        {NSLayoutAttribute::LastBaseline, "lastBaseline"},
        {NSLayoutAttribute::FirstBaseline, "firstBaseline"},
        {NSLayoutAttribute::LeftMargin, "leftMargin"},
        {NSLayoutAttribute::RightMargin, "rightMargin"},
        {NSLayoutAttribute::TopMargin, "topMargin"},
        {NSLayoutAttribute::BottomMargin, "bottomMargin"},
        {NSLayoutAttribute::LeadingMargin, "leadingMargin"},
        {NSLayoutAttribute::TrailingMargin, "trailingMargin"},
        {NSLayoutAttribute::CenterXWithinMargins, "centerXWithinMargins"},
        {NSLayoutAttribute::CenterYWithinMargins, "centerYWithinMargins"},
    };
    for (const auto& [attribute, name] : names) {
        auto c = NSLayoutConstraint::constraintWithItem(view, attribute, NSLayoutRelation::Equal, parent, attribute,
                                                        1, 0);
        EXPECT_EQ(c->description(), "<NSLayoutConstraint:" + c->addressText() + " " + text(view) + "." + name +
                                        " == " + text(parent) + "." + name + "   (inactive)>");
    }

    // An installed provider describes every constraint; taking it out gives the platform's text back.
    auto previous = NSLayoutConstraint::setDescriptionProvider(&providedText);
    EXPECT_EQ(previous, nullptr);
    EXPECT_EQ(width->description(), "provided");
    EXPECT_EQ(NSLayoutConstraint::setDescriptionProvider(nullptr), &providedText);
    EXPECT_NE(width->description(), "provided");
}

TEST(NSLayoutConstraintActivation, HeldByTheNearestCommonAncestorOfItsViewsOrGuides) {
    auto root = make<UIView>(CGRect(0, 0, 100, 100));
    auto a = make<UIView>(), b = make<UIView>(), inner = make<UIView>();
    root->addSubview(a);
    root->addSubview(b);
    a->addSubview(inner);
    auto toGuide = NSLayoutConstraint::constraintWithItem(inner, NSLayoutAttribute::Top, NSLayoutRelation::Equal,
                                                          b->safeAreaLayoutGuide(), NSLayoutAttribute::Top, 1, 0);
    auto alone = NSLayoutConstraint::constraintWithItem(nullptr, NSLayoutAttribute::NotAnAttribute,
                                                        NSLayoutRelation::Equal, a, NSLayoutAttribute::Width, 1, 5);
    auto stranger = make<UIView>();
    auto apart = NSLayoutConstraint::constraintWithItem(inner, NSLayoutAttribute::Left, NSLayoutRelation::Equal,
                                                        stranger, NSLayoutAttribute::Left, 1, 0);
    auto unrelated = NSLayoutConstraint::constraintWithItem(make<NSObject>(), NSLayoutAttribute::Left,
                                                            NSLayoutRelation::Equal, nullptr,
                                                            NSLayoutAttribute::NotAnAttribute, 1, 0);
    NSLayoutConstraint::activateConstraints({toGuide, nullptr, alone, apart, unrelated});
    EXPECT_EQ(toGuide->holder(), root);
    EXPECT_EQ(alone->holder(), a);  // a second item alone holds it
    EXPECT_FALSE(apart->isActive());
    EXPECT_FALSE(unrelated->isActive());
    EXPECT_EQ(root->constraints().size(), 1u);
    // Activating again adds nothing twice.
    toGuide->setActive(true);
    EXPECT_EQ(root->constraints().size(), 1u);
    NSLayoutConstraint::deactivateConstraints({toGuide, nullptr, alone, apart});
    EXPECT_FALSE(toGuide->isActive());
    EXPECT_TRUE(root->constraints().empty());
    EXPECT_TRUE(a->constraints().empty());
}

}  // namespace
}  // namespace brindlecue::platform
