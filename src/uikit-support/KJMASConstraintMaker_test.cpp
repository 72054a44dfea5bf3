#include "uikit-support/KJMASConstraintMaker.h"

#include <gtest/gtest.h>

#include "platform/uikit/UILayoutGuide.h"
#include "platform/uikit/UIView.h"
#include "platform/uikit/UIViewController.h"
#include "uikit-support/KJMASCompositeConstraint.h"
#include "uikit-support/KJMASViewConstraint.h"
#include "uikit-support/NSArrayKJMASAdditions.h"
#include "uikit-support/NSLayoutConstraintKJMASDebugAdditions.h"
#include "uikit-support/UIViewControllerKJMASAdditions.h"
#include "uikit-support/UIViewKJMASAdditions.h"

namespace brindlecue {
namespace {

using namespace platform;
using Additions = UIViewKJMASAdditions;

std::shared_ptr<KJMASViewConstraint> viewStatement(const KJMASConstraintPtr& c) {
    return std::dynamic_pointer_cast<KJMASViewConstraint>(c);
}

std::shared_ptr<KJMASCompositeConstraint> composite(const KJMASConstraintPtr& c) {
    return std::dynamic_pointer_cast<KJMASCompositeConstraint>(c);
}

class ConstraintLanguage : public testing::Test {
protected:
    void SetUp() override {
        root->addSubview(a);
        root->addSubview(b);
        a->addSubview(child);
    }
    std::shared_ptr<UIView> root = make<UIView>(CGRect(0, 0, 320, 480));
    std::shared_ptr<UIView> a = make<UIView>(CGRect(0, 0, 100, 100));
    std::shared_ptr<UIView> b = make<UIView>(CGRect(0, 200, 100, 100));
    std::shared_ptr<UIView> child = make<UIView>(CGRect(0, 0, 10, 10));
};

TEST_F(ConstraintLanguage, ValuesPartnersAndWhereConstraintsAreHeld) {
    auto installed = Additions::mas_makeConstraints(child, [&](KJMASConstraintMaker& make) {
        make.width()->equalTo(40);
        make.left()->equalTo(10);
        make.top()->equalTo(Additions::mas_bottom(b))->offset(8);
    });
    ASSERT_EQ(installed.size(), 3u);
    EXPECT_FALSE(child->translatesAutoresizingMaskIntoConstraints());
    EXPECT_TRUE(a->translatesAutoresizingMaskIntoConstraints());

    auto width = viewStatement(installed[0])->layoutConstraint();
    ASSERT_TRUE(width);
    EXPECT_EQ(width->holder(), child);
    EXPECT_EQ(width->secondItem(), nullptr);
    EXPECT_EQ(width->secondAttribute(), NSLayoutAttribute::NotAnAttribute);
    EXPECT_EQ(width->constant(), 40);

    auto left = viewStatement(installed[1])->layoutConstraint();
    ASSERT_TRUE(left);
    EXPECT_EQ(left->holder(), a);
    EXPECT_EQ(left->secondItem(), a);
    EXPECT_EQ(left->secondAttribute(), NSLayoutAttribute::Left);
    EXPECT_EQ(left->constant(), 10);

    auto top = viewStatement(installed[2])->layoutConstraint();
    ASSERT_TRUE(top);
    EXPECT_EQ(top->holder(), root);  // the closest common superview of child and b
    EXPECT_EQ(top->secondItem(), b);
    EXPECT_EQ(top->secondAttribute(), NSLayoutAttribute::Bottom);
    EXPECT_EQ(top->constant(), 8);
    EXPECT_EQ(KJMASViewConstraint::installedConstraintsForView(child).size(), 3u);

    // A view as partner relates the same attribute.
    auto rel =
        Additions::mas_makeConstraints(a, [&](KJMASConstraintMaker& make) { make.centerX()->equalTo(b); });
    EXPECT_EQ(viewStatement(rel[0])->layoutConstraint()->secondAttribute(), NSLayoutAttribute::CenterX);
}

TEST_F(ConstraintLanguage, ChainedAttributesEdgesAndInsets) {
    KJMASConstraintPtr chained, edges;
    std::vector<KJMASConstraintPtr> listed;
    Additions::mas_makeConstraints(child, [&](KJMASConstraintMaker& make) {
        chained = make.top()->left()->equalTo(a);
        edges = make.edges()->insets({10, 20, 30, 40});
        listed = make.constraints();
    });
    ASSERT_EQ(listed.size(), 2u);
    auto pair = composite(listed[0]);
    ASSERT_TRUE(pair);
    EXPECT_EQ(pair, chained);
    ASSERT_EQ(pair->childConstraints().size(), 2u);
    EXPECT_EQ(viewStatement(pair->childConstraints()[0])->firstViewAttribute()->layoutAttribute(), 3);
    EXPECT_EQ(viewStatement(pair->childConstraints()[1])->firstViewAttribute()->layoutAttribute(), 1);

    auto four = composite(edges);
    ASSERT_EQ(four->childConstraints().size(), 4u);
    std::vector<int64_t> attrs;
    std::vector<double> constants;
    for (const auto& c : four->childConstraints()) {
        attrs.push_back(viewStatement(c)->firstViewAttribute()->layoutAttribute());
        constants.push_back(viewStatement(c)->layoutConstant());
    }
    EXPECT_EQ(attrs, (std::vector<int64_t>{1, 2, 3, 4}));
    EXPECT_EQ(constants, (std::vector<double>{20, -40, 10, -30}));

    // Settings for other attributes leave the constant alone; dividedBy is a multiplier.
    auto width = viewStatement(platform::make<KJMASViewConstraint>(Additions::mas_width(child)));
    width->offset(5);
    width->insets({1, 2, 3, 4});
    width->centerOffset({7, 7});
    EXPECT_EQ(width->layoutConstant(), 5);
    width->valueOffset(CGSize{9, 11});
    EXPECT_EQ(width->layoutConstant(), 9);
    width->valueOffset(KJMASBoxedValue{"{CGRect={CGPoint=dd}{CGSize=dd}}", {1, 2, 3, 4}});
    EXPECT_EQ(width->layoutConstant(), 9);
    width->dividedBy(4);
    EXPECT_EQ(width->layoutMultiplier(), 0.25);
}

TEST_F(ConstraintLanguage, LiveConstantsUpdatesAndRemakes) {
    auto made = Additions::mas_makeConstraints(child, [&](KJMASConstraintMaker& make) {
        make.left()->equalTo(a)->offset(4);
        make.height()->equalTo(20);
    });
    auto left = viewStatement(made[0]);
    auto live = left->layoutConstraint();
    left->offset(12);
    left->multipliedBy(2);
    EXPECT_EQ(live->constant(), 12);
    EXPECT_EQ(live->multiplier(), 1);

    // Updating the same statements changes the constants in place.
    for (double h : {30.0, 50.0})
        Additions::mas_updateConstraints(child,
                                         [&](KJMASConstraintMaker& make) { make.height()->equalTo(h); });
    size_t heights = 0;
    for (const auto& c : child->constraints())
        if (c->firstAttribute() == NSLayoutAttribute::Height) {
            ++heights;
            EXPECT_EQ(c->constant(), 50);
        }
    EXPECT_EQ(heights, 1u);
    // Priority is part of the match: a new platform constraint.
    Additions::mas_updateConstraints(
        child, [&](KJMASConstraintMaker& make) { make.height()->equalTo(60)->priorityHigh(); });
    EXPECT_EQ(child->constraints().size(), 2u);

    // Remake retires what was installed with child as first view and installs the new ones.
    auto heldBefore = child->constraints();
    auto remade = Additions::mas_remakeConstraints(
        child, [&](KJMASConstraintMaker& make) { make.width()->equalTo(5); });
    EXPECT_FALSE(live->isActive());
    for (const auto& c : heldBefore) EXPECT_FALSE(c->isActive());
    ASSERT_EQ(child->constraints().size(), 1u);
    EXPECT_EQ(child->constraints()[0]->constant(), 5);
    EXPECT_EQ(KJMASViewConstraint::installedConstraintsForView(child).size(), 1u);

    // An uninstalled statement whose constraint is still held comes back with the same one.
    auto width = viewStatement(remade[0]);
    auto widthConstraint = width->layoutConstraint();
    width->uninstall();
    EXPECT_FALSE(width->hasBeenInstalled());
    width->install();
    EXPECT_EQ(width->layoutConstraint(), widthConstraint);
    EXPECT_TRUE(widthConstraint->isActive());
}

TEST_F(ConstraintLanguage, ArraysOfPartnersKeysAndReplacementsOutsideTheList) {
    std::vector<KJMASConstraintPtr> listed;
    KJMASConstraintPtr keyed, firstReplacement;
    Additions::mas_makeConstraints(child, [&](KJMASConstraintMaker& make) {
        make.left()->equalTo(std::vector<KJMASObject>{a, b});
        keyed = make.attributes(KJMASAttributeLeft | KJMASAttributeTop | KJMASAttributeWidth)->key("pin");
        // A statement that an array relation replaced already asks to be replaced again: it is no
        // longer in the list, so the request changes nothing.
        auto stale = make.right();
        firstReplacement = stale->equalTo(std::vector<KJMASObject>{a});
        stale->equalTo(std::vector<KJMASObject>{b});
        listed = make.constraints();
    });
    ASSERT_EQ(listed.size(), 3u);
    auto copies = composite(listed[0]);
    ASSERT_TRUE(copies);
    ASSERT_EQ(copies->childConstraints().size(), 2u);
    EXPECT_EQ(viewStatement(copies->childConstraints()[0])->secondViewAttribute()->view(), a);
    EXPECT_EQ(viewStatement(copies->childConstraints()[1])->secondViewAttribute()->view(), b);

    auto three = composite(keyed);
    EXPECT_EQ(three->mas_key(), Value("pin"));
    std::vector<std::string> keys;
    for (const auto& c : three->childConstraints()) keys.push_back(viewStatement(c)->mas_key().stringValue());
    EXPECT_EQ(keys, (std::vector<std::string>{"pin[0]", "pin[1]", "pin[2]"}));

    EXPECT_EQ(listed[2], firstReplacement);
}

TEST_F(ConstraintLanguage, ClosestCommonSuperview) {
    auto loner = make<UIView>();
    EXPECT_EQ(Additions::mas_closestCommonSuperview(a, a), a);
    EXPECT_EQ(Additions::mas_closestCommonSuperview(a, b), root);
    EXPECT_EQ(Additions::mas_closestCommonSuperview(a, child), a);
    EXPECT_EQ(Additions::mas_closestCommonSuperview(a, loner), nullptr);
    EXPECT_EQ(Additions::mas_closestCommonSuperview(a, nullptr), nullptr);
    EXPECT_EQ(NSArrayKJMASAdditions::mas_commonSuperviewOfViews({child, nullptr, b}), root);
}

TEST_F(ConstraintLanguage, DistributionAlongAnAxis) {
    auto c = make<UIView>();
    root->addSubview(c);
    NSArrayKJMASAdditions::mas_distributeViewsAlongAxisWithFixedSpacing({a, b, c}, KJMASAxisTypeHorizontal,
                                                                        10, 5, 7);
    auto count = [](const std::shared_ptr<UIView>& v) {
        return KJMASViewConstraint::installedConstraintsForView(v).size();
    };
    EXPECT_EQ(count(a), 1u);
    EXPECT_EQ(count(b), 2u);
    EXPECT_EQ(count(c), 3u);
    bool tail = false;
    for (const auto& k : root->constraints())
        if (k->firstItem() == c && k->firstAttribute() == NSLayoutAttribute::Right) {
            tail = true;
            EXPECT_EQ(k->secondItem(), root);
            EXPECT_EQ(k->constant(), -7);
        }
    EXPECT_TRUE(tail);

    auto x = make<UIView>(), y = make<UIView>(), z = make<UIView>();
    for (const auto& v : {x, y, z}) root->addSubview(v);
    NSArrayKJMASAdditions::mas_distributeViewsAlongAxisWithFixedItemLength({x, y, z}, KJMASAxisTypeVertical,
                                                                           40, 6, 8);
    std::shared_ptr<NSLayoutConstraint> middle;
    for (const auto& k : root->constraints())
        if (k->firstItem() == y && k->firstAttribute() == NSLayoutAttribute::Bottom) middle = k;
    ASSERT_TRUE(middle);
    EXPECT_DOUBLE_EQ(middle->multiplier(), 0.5);
    EXPECT_DOUBLE_EQ(middle->constant(), 0.5 * (40 + 6) - 0.5 * 8);

    auto lone = make<UIView>();
    root->addSubview(lone);
    NSArrayKJMASAdditions::mas_distributeViewsAlongAxisWithFixedSpacing({lone}, KJMASAxisTypeHorizontal, 1, 1,
                                                                        1);
    EXPECT_EQ(count(lone), 0u);
}

TEST_F(ConstraintLanguage, DebugDescriptions) {
    Additions::setMas_key(child, "icon");
    auto made = Additions::mas_makeConstraints(child, [&](KJMASConstraintMaker& make) {
        make.left()->equalTo(10);
        make.width()->equalTo(40)->priority(750);
        make.height()->equalTo(a)->multipliedBy(0.5)->priority(999);
        make.right()->equalTo(a)->offset(-8)->key("edge");
    });
    auto text = [&](size_t i) { return viewStatement(made[i])->layoutConstraint()->description(); };
    auto addr = [](const std::shared_ptr<NSObject>& o) { return o->addressText(); };
    auto constraintAt = [&](size_t i) -> std::shared_ptr<NSObject> {
        return viewStatement(made[i])->layoutConstraint();
    };
    EXPECT_EQ(text(0), "<KJMASLayoutConstraint:" + addr(constraintAt(0)) +
                           " UIView:icon.left == UIView:" + addr(a) + ".left + 10>");
    EXPECT_EQ(text(1), "<KJMASLayoutConstraint:" + addr(constraintAt(1)) + " UIView:icon.width == 40 ^high>");
    EXPECT_EQ(text(2), "<KJMASLayoutConstraint:" + addr(constraintAt(2)) +
                           " UIView:icon.height == UIView:" + addr(a) + ".height * 0.5 ^999>");
    EXPECT_EQ(text(3), "<KJMASLayoutConstraint:edge UIView:icon.right == UIView:" + addr(a) + ".right - 8>");
    // Constraints the language did not make are described the same way.
    auto plain = NSLayoutConstraint::constraintWithItem(
        a, NSLayoutAttribute::Top, NSLayoutRelation::GreaterThanOrEqual, b, NSLayoutAttribute::Top, 1, 0);
    EXPECT_EQ(plain->description(), "<NSLayoutConstraint:" + addr(plain) + " UIView:" + addr(a) +
                                        ".top >= UIView:" + addr(b) + ".top>");
    EXPECT_EQ(NSLayoutConstraintKJMASDebugAdditions::layoutAttributeDescriptionsByValue().size(), 20u);
}

TEST_F(ConstraintLanguage, SafeAreaGuidesGroupsAndAttributeEquality) {
    auto controller = make<UIViewController>();
    auto screen = controller->view();
    screen->addSubview(child);
    auto made = Additions::mas_makeConstraints(child, [&](KJMASConstraintMaker& make) {
        make.top()->equalTo(Additions::mas_safeAreaLayoutGuideTop(screen));
        make.bottom()->equalTo(UIViewControllerKJMASAdditions::mas_bottomLayoutGuide(controller));
    });
    for (const auto& statement : made) {
        auto c = viewStatement(statement)->layoutConstraint();
        ASSERT_TRUE(c);
        EXPECT_EQ(c->secondItem(), screen->safeAreaLayoutGuide());
        EXPECT_EQ(c->secondAttribute(), NSLayoutAttribute::Top);
        EXPECT_EQ(c->holder(), screen);
    }
    // A statement taken off and put back finds its guide's view again.
    auto first = viewStatement(made[0]);
    auto held = first->layoutConstraint();
    first->deactivate();
    EXPECT_FALSE(held->isActive());
    first->activate();
    EXPECT_EQ(held->holder(), screen);

    // A group reaches every statement declared in it; they are installed one by one.
    KJMASConstraintPtr handle;
    auto grouped = Additions::mas_makeConstraints(b, [&](KJMASConstraintMaker& make) {
        handle = make.group([&] {
            make.width()->equalTo(10);
            make.height()->equalTo(20);
        });
        handle->priorityLow();
        make.center()->centerOffset({3, 4});
        make.size()->sizeOffset({5, 6});
    });
    ASSERT_EQ(grouped.size(), 4u);
    EXPECT_EQ(viewStatement(grouped[1])->layoutConstraint()->priority(), 250);
    auto center = composite(grouped[2]);
    EXPECT_EQ(viewStatement(center->childConstraints()[1])->layoutConstant(), 4);
    auto size = composite(grouped[3]);
    EXPECT_EQ(viewStatement(size->childConstraints()[0])->layoutConstant(), 5);

    auto left = Additions::mas_left(a);
    EXPECT_TRUE(left->isEqual(Additions::mas_left(a)));
    EXPECT_EQ(left->hash(), Additions::mas_left(a)->hash());
    EXPECT_FALSE(left->isEqual(Additions::mas_right(a)));
    EXPECT_FALSE(left->isEqual(Additions::mas_left(b)));
}


TEST_F(ConstraintLanguage, CompositeSettingsReachEveryChildAndItsPlatformConstraints) {
    KJMASConstraintPtr edges, size, chained;
    std::vector<KJMASConstraintPtr> listed;
    auto made = Additions::mas_makeConstraints(child, [&](KJMASConstraintMaker& make) {
        edges = make.edges()->equalTo(a)->inset(5);
        size = make.size()->equalTo(b)->dividedBy(4);
        // An attribute chained onto a composite joins it and the chain goes on with the composite.
        chained = make.attributes(KJMASAttributeCenterX)->centerY()->multipliedBy(2);
        listed = make.constraints();
    });
    ASSERT_EQ(made.size(), 3u);
    EXPECT_EQ(listed, made);
    EXPECT_EQ(chained, made[2]);
    auto centre = composite(chained);
    ASSERT_EQ(centre->childConstraints().size(), 2u);
    EXPECT_EQ(viewStatement(centre->childConstraints()[1])->firstViewAttribute()->layoutAttribute(), 10);
    for (const auto& c : centre->childConstraints()) EXPECT_EQ(viewStatement(c)->layoutMultiplier(), 2);

    auto four = composite(edges);
    ASSERT_EQ(four->childConstraints().size(), 4u);
    std::vector<double> constants;
    for (const auto& c : four->childConstraints()) constants.push_back(viewStatement(c)->layoutConstant());
    EXPECT_EQ(constants, (std::vector<double>{5, -5, 5, -5}));
    for (const auto& c : composite(size)->childConstraints()) {
        ASSERT_TRUE(viewStatement(c)->layoutConstraint());
        EXPECT_EQ(viewStatement(c)->layoutConstraint()->multiplier(), 0.25);
        EXPECT_EQ(viewStatement(c)->layoutConstraint()->holder(), root);
    }

    // Once installed, an offset reaches every live constraint; a multiplier waits for the next
    // installation.
    std::vector<std::shared_ptr<NSLayoutConstraint>> live;
    for (const auto& c : four->childConstraints()) live.push_back(viewStatement(c)->layoutConstraint());
    edges->offset(3);
    edges->multipliedBy(3);
    for (const auto& c : live) {
        ASSERT_TRUE(c);
        EXPECT_EQ(c->constant(), 3);
        EXPECT_EQ(c->multiplier(), 1);
        EXPECT_EQ(c->holder(), a);
    }
    EXPECT_EQ(KJMASViewConstraint::installedConstraintsForView(child).size(), 8u);

    // Deactivating the composite takes all four off; activating puts the same four back.
    edges->deactivate();
    for (const auto& c : live) EXPECT_FALSE(c->isActive());
    EXPECT_EQ(KJMASViewConstraint::installedConstraintsForView(child).size(), 4u);
    edges->activate();
    for (size_t i = 0; i < live.size(); ++i) {
        EXPECT_TRUE(live[i]->isActive());
        EXPECT_EQ(viewStatement(four->childConstraints()[i])->layoutConstraint(), live[i]);
    }
    EXPECT_EQ(KJMASViewConstraint::installedConstraintsForView(child).size(), 8u);
    edges->uninstall();
    for (const auto& c : live) EXPECT_FALSE(c->isActive());
    EXPECT_EQ(KJMASViewConstraint::installedConstraintsForView(child).size(), 4u);
}

TEST_F(ConstraintLanguage, UpdatesThroughACompositeMatchOnlyTheSameRelation) {
    Additions::mas_makeConstraints(child, [&](KJMASConstraintMaker& make) { make.edges()->equalTo(a); });
    ASSERT_EQ(a->constraints().size(), 4u);
    // The same edges again, with new constants: the four constraints change in place.
    Additions::mas_updateConstraints(child,
                                     [&](KJMASConstraintMaker& make) { make.edges()->equalTo(a)->inset(2); });
    ASSERT_EQ(a->constraints().size(), 4u);
    for (const auto& c : a->constraints()) EXPECT_EQ(std::abs(c->constant()), 2);
    // Another partner, attribute, relation or multiplier makes another constraint.
    auto sibling = make<UIView>();
    a->addSubview(sibling);
    Additions::mas_updateConstraints(child, [&](KJMASConstraintMaker& make) {
        make.left()->equalTo(sibling);
        make.right()->greaterThanOrEqualTo(a);
        make.top()->equalTo(a)->multipliedBy(2);
        make.bottom()->equalTo(Additions::mas_top(a));
    });
    ASSERT_EQ(a->constraints().size(), 8u);
    for (size_t i = 0; i < 4; ++i) EXPECT_EQ(a->constraints()[i]->constant(), i % 2 ? -2 : 2);
    EXPECT_EQ(a->constraints()[4]->secondItem(), sibling);
    EXPECT_EQ(a->constraints()[5]->relation(), NSLayoutRelation::GreaterThanOrEqual);
    EXPECT_EQ(a->constraints()[6]->multiplier(), 2);
    EXPECT_EQ(a->constraints()[7]->secondAttribute(), NSLayoutAttribute::Top);
}

TEST_F(ConstraintLanguage, ValuesOfEveryKindSetTheConstantOfTheirOwnAttributes) {
    auto statement = [&](int64_t attribute) {
        return platform::make<KJMASViewConstraint>(platform::make<KJMASViewAttribute>(child, attribute));
    };
    auto leading = statement(KJMASLayoutAttributeLeading);
    auto trailing = statement(KJMASLayoutAttributeTrailing);
    auto centerY = statement(KJMASLayoutAttributeCenterY);
    auto baseline = statement(KJMASLayoutAttributeBaseline);
    for (const auto& s : {leading, trailing, centerY, baseline}) s->valueOffset(UIEdgeInsets{1, 2, 3, 4});
    EXPECT_EQ(leading->layoutConstant(), 2);
    EXPECT_EQ(trailing->layoutConstant(), -4);
    EXPECT_EQ(centerY->layoutConstant(), 0);
    EXPECT_EQ(baseline->layoutConstant(), 0);
    centerY->valueOffset(CGPoint{7, 9});
    EXPECT_EQ(centerY->layoutConstant(), 9);
    // A boxed value with the wrong number of fields, or an encoding the language does not know,
    // changes nothing.
    centerY->valueOffset(KJMASBoxedValue{kKJMASPointEncoding, {1, 2, 3}});
    leading->valueOffset(KJMASBoxedValue{kKJMASEdgeInsetsEncoding, {1, 2}});
    baseline->valueOffset(KJMASBoxedValue{"{CGVector=dd}", {5, 6}});
    EXPECT_EQ(centerY->layoutConstant(), 9);
    EXPECT_EQ(leading->layoutConstant(), 2);
    EXPECT_EQ(baseline->layoutConstant(), 0);

    // A partner of a kind the language does not relate to leaves the statement without one, so
    // the position is measured from the superview.
    auto made = Additions::mas_makeConstraints(child, [&](KJMASConstraintMaker& make) {
        make.left()->equalTo(platform::make<NSObject>())->offset(6);
        make.top()->equalTo(std::shared_ptr<UIView>());
    });
    auto left = viewStatement(made[0]);
    EXPECT_EQ(left->secondViewAttribute(), nullptr);
    EXPECT_EQ(left->layoutConstraint()->secondItem(), a);
    EXPECT_EQ(left->layoutConstraint()->secondAttribute(), NSLayoutAttribute::Left);
    EXPECT_EQ(left->layoutConstraint()->constant(), 6);
    EXPECT_EQ(viewStatement(made[1])->layoutConstraint()->secondItem(), a);
}

TEST_F(ConstraintLanguage, ViewsWithoutACommonAncestorGetNoConstraint) {
    auto stranger = make<UIView>(CGRect(0, 0, 10, 10));
    auto made = Additions::mas_makeConstraints(child, [&](KJMASConstraintMaker& make) {
        make.left()->equalTo(stranger);
        make.width()->equalTo(stranger);
    });
    ASSERT_EQ(made.size(), 2u);
    for (const auto& statement : made) {
        EXPECT_EQ(viewStatement(statement)->layoutConstraint(), nullptr);
        EXPECT_EQ(viewStatement(statement)->installedView(), nullptr);
        EXPECT_FALSE(viewStatement(statement)->hasBeenInstalled());
    }
    EXPECT_TRUE(KJMASViewConstraint::installedConstraintsForView(child).empty());
    for (const auto& v : {root, a, b, child, stranger}) EXPECT_TRUE(v->constraints().empty());
    // A view alone has no superview to measure a position from: only a size is held.
    auto alone = make<UIView>();
    auto lone = Additions::mas_makeConstraints(alone, [&](KJMASConstraintMaker& make) {
        make.top()->equalTo(4);
        make.height()->equalTo(4);
    });
    EXPECT_EQ(viewStatement(lone[0])->layoutConstraint(), nullptr);
    ASSERT_TRUE(viewStatement(lone[1])->layoutConstraint());
    EXPECT_EQ(alone->constraints().size(), 1u);
    EXPECT_TRUE(Additions::mas_makeConstraints(nullptr, [](KJMASConstraintMaker& make) { make.width(); }).empty());
}

TEST_F(ConstraintLanguage, ArraysOfViewsAndDistributionOnTheOtherAxes) {
    // Every view of the array in turn; a null entry is passed over.
    auto made = NSArrayKJMASAdditions::mas_makeConstraints(
        {a, nullptr, b}, [](KJMASConstraintMaker& make) { make.height()->equalTo(30); });
    ASSERT_EQ(made.size(), 2u);
    EXPECT_EQ(viewStatement(made[0])->firstViewAttribute()->view(), a);
    EXPECT_EQ(viewStatement(made[1])->firstViewAttribute()->view(), b);
    NSArrayKJMASAdditions::mas_updateConstraints({a, b},
                                                 [](KJMASConstraintMaker& make) { make.height()->equalTo(45); });
    for (const auto& v : {a, b}) {
        ASSERT_EQ(v->constraints().size(), 1u);
        EXPECT_EQ(v->constraints()[0]->constant(), 45);
    }
    auto remade = NSArrayKJMASAdditions::mas_remakeConstraints(
        {a, b}, [](KJMASConstraintMaker& make) { make.width()->equalTo(12); });
    ASSERT_EQ(remade.size(), 2u);
    for (const auto& v : {a, b}) {
        EXPECT_EQ(KJMASViewConstraint::installedConstraintsForView(v).size(), 1u);
        EXPECT_EQ(v->constraints().size(), 1u);  // the retired height is gone from the view
        EXPECT_EQ(v->constraints()[0]->firstAttribute(), NSLayoutAttribute::Width);
    }

    // Vertically with fixed spacing: equal heights, each top under the one before, the last
    // bottom at the tail spacing from the container.
    auto p = make<UIView>(), q = make<UIView>(), r = make<UIView>();
    for (const auto& v : {p, q, r}) root->addSubview(v);
    NSArrayKJMASAdditions::mas_distributeViewsAlongAxisWithFixedSpacing({p, q, r}, KJMASAxisTypeVertical, 10, 5,
                                                                        7);
    auto find = [&](const std::shared_ptr<UIView>& first, NSLayoutAttribute attribute) {
        std::shared_ptr<NSLayoutConstraint> found;
        for (const auto& k : root->constraints())
            if (k->firstItem() == first && k->firstAttribute() == attribute && k->isActive()) found = k;
        return found;
    };
    ASSERT_TRUE(find(p, NSLayoutAttribute::Top));
    EXPECT_EQ(find(p, NSLayoutAttribute::Top)->constant(), 5);
    ASSERT_TRUE(find(q, NSLayoutAttribute::Top));
    EXPECT_EQ(find(q, NSLayoutAttribute::Top)->secondItem(), p);
    EXPECT_EQ(find(q, NSLayoutAttribute::Top)->secondAttribute(), NSLayoutAttribute::Bottom);
    EXPECT_EQ(find(q, NSLayoutAttribute::Top)->constant(), 10);
    ASSERT_TRUE(find(r, NSLayoutAttribute::Height));
    EXPECT_EQ(find(r, NSLayoutAttribute::Height)->secondItem(), q);
    ASSERT_TRUE(find(r, NSLayoutAttribute::Bottom));
    EXPECT_EQ(find(r, NSLayoutAttribute::Bottom)->constant(), -7);
    EXPECT_FALSE(find(p, NSLayoutAttribute::Bottom));

    // Horizontally with a fixed length: constant widths, the first at the lead spacing, the
    // last at the tail spacing, the middle one's right edge in proportion.
    auto x = make<UIView>(), y = make<UIView>(), z = make<UIView>();
    for (const auto& v : {x, y, z}) root->addSubview(v);
    NSArrayKJMASAdditions::mas_distributeViewsAlongAxisWithFixedItemLength({x, y, z}, KJMASAxisTypeHorizontal,
                                                                           40, 6, 8);
    for (const auto& v : {x, y, z}) {
        ASSERT_EQ(v->constraints().size(), 1u);
        EXPECT_EQ(v->constraints()[0]->firstAttribute(), NSLayoutAttribute::Width);
        EXPECT_EQ(v->constraints()[0]->constant(), 40);
    }
    ASSERT_TRUE(find(x, NSLayoutAttribute::Left));
    EXPECT_EQ(find(x, NSLayoutAttribute::Left)->constant(), 6);
    ASSERT_TRUE(find(z, NSLayoutAttribute::Right));
    EXPECT_EQ(find(z, NSLayoutAttribute::Right)->constant(), -8);
    auto middle = find(y, NSLayoutAttribute::Right);
    ASSERT_TRUE(middle);
    EXPECT_DOUBLE_EQ(middle->multiplier(), 0.5);
    EXPECT_DOUBLE_EQ(middle->constant(), 0.5 * (40 + 6) - 0.5 * 8);
    EXPECT_EQ(NSArrayKJMASAdditions::mas_commonSuperviewOfViews({}), nullptr);
}

}  // namespace
}  // namespace brindlecue
