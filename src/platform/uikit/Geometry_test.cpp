#include "platform/uikit/Geometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace brindlecue::platform {
namespace {

TEST(CGRectSemantics, ContainmentUnionsInsetsAndOffsetsFollowThePlatform) {
    const CGRect r(0, 0, 10, 10);
    EXPECT_TRUE(r.contains(CGRect(2, 2, 8, 8)));
    EXPECT_TRUE(r.contains(r));
    EXPECT_FALSE(r.contains(CGRect(2, 2, 9, 8)));
    EXPECT_FALSE(r.contains(CGRect(-1, 2, 3, 3)));
    EXPECT_FALSE(r.contains(CGRect(2, 2, 8, 9)));
    EXPECT_FALSE(r.contains(CGRect(2, -1, 3, 3)));
    EXPECT_FALSE(r.contains(CGRect::null()));
    EXPECT_FALSE(CGRect::null().contains(r));
    EXPECT_FALSE(CGRect::null().contains(CGPoint{0, 0}));
    // A negative size is the same rectangle, standardized.
    EXPECT_TRUE(r.contains(CGRect(10, 10, -4, -4)));
    EXPECT_EQ(CGRect(10, 10, -4, -4).standardized(), CGRect(6, 6, 4, 4));

    EXPECT_EQ(r.unionWith(CGRect::null()), r);
    EXPECT_EQ(CGRect::null().unionWith(r), r);
    EXPECT_EQ(r.unionWith(CGRect(20, -5, 5, 5)), CGRect(0, -5, 25, 15));
    EXPECT_TRUE(r.intersection(CGRect::null()).isNull());
    EXPECT_TRUE(CGRect::null().intersection(r).isNull());
    EXPECT_FALSE(r.intersects(CGRect(10, 0, 5, 5)));  // touching only

    EXPECT_EQ(r.insetBy(2, 3), CGRect(2, 3, 6, 4));
    EXPECT_TRUE(r.insetBy(6, 0).isNull());  // more than it has
    EXPECT_TRUE(r.insetBy(0, 6).isNull());
    EXPECT_TRUE(CGRect::null().insetBy(1, 1).isNull());
    EXPECT_EQ(r.insetBy(-1, -1), CGRect(-1, -1, 12, 12));
    EXPECT_TRUE(CGRect::null().offsetBy(1, 1).isNull());
    EXPECT_EQ(CGRect(5, 5, -5, 5).offsetBy(1, 0), CGRect(1, 5, 5, 5));

    EXPECT_TRUE(CGRect::null().isEmpty());
    EXPECT_TRUE(CGRect(0, 0, 0, 5).isEmpty());
    EXPECT_TRUE(CGRect(0, 0, 5, 0).isEmpty());
    EXPECT_FALSE(r.isEmpty());
    EXPECT_TRUE(CGRect(0, std::numeric_limits<double>::infinity(), 1, 1).isNull());
}

TEST(CGAffineTransformSemantics, InversesOfSingularTransformsAndNullRectangles) {
    const CGAffineTransform singular{1, 2, 2, 4, 5, 6};
    EXPECT_EQ(singular.inverted(), singular);  // the platform gives it back unchanged
    const auto t = CGAffineTransform::makeScale(2, 4).concat(CGAffineTransform::makeTranslation(3, 5));
    const auto back = t.inverted();
    CGPoint p = back.apply(t.apply(CGPoint{7, -3}));
    EXPECT_NEAR(p.x, 7, 1e-12);
    EXPECT_NEAR(p.y, -3, 1e-12);
    EXPECT_TRUE(t.apply(CGRect::null()).isNull());
    EXPECT_EQ(CGAffineTransform::makeRotation(M_PI).apply(CGRect(0, 0, 2, 1)).size.width, 2);
}

TEST(GeometryText, NumbersPrintAsThePlatformPrintsThem) {
    EXPECT_EQ(formatCGFloat(-0.0), "0");
    EXPECT_EQ(formatCGFloat(12), "12");
    EXPECT_EQ(formatCGFloat(-999999), "-999999");
    EXPECT_EQ(formatCGFloat(0.5), "0.5");
    EXPECT_EQ(formatCGFloat(1e7), "1e+07");
    EXPECT_EQ(formatCGFloat(-2e6), "-2e+06");
    EXPECT_EQ(NSStringFromCGRect(CGRect(1, 2.5, 3, 4)), "{{1, 2.5}, {3, 4}}");
    EXPECT_EQ(NSStringFromUIEdgeInsets({1, 2, 3, 4}), "{1, 2, 3, 4}");
    EXPECT_EQ(UIEdgeInsetsInsetRect(CGRect(0, 0, 10, 10), {1, 2, 3, 4}), CGRect(2, 1, 4, 6));
}

}  // namespace
}  // namespace brindlecue::platform
