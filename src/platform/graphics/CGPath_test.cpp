#include "platform/graphics/CGPath.h"

#include <gtest/gtest.h>

#include <cmath>

namespace brindlecue::platform {
namespace {

constexpr double kQuarter = 0.5522847498;  // control distance of a quarter circle of radius 1

void expectPoint(CGPoint actual, CGPoint expected) {
    EXPECT_NEAR(actual.x, expected.x, 1e-9);
    EXPECT_NEAR(actual.y, expected.y, 1e-9);
}

TEST(CGPathTangentArc, RightAngleCornerGivesTangentPointsAndQuarterCircle) {
    CGPath p;
    p.moveToPoint({0, 0});
    p.addArcToPoint({100, 0}, {100, 100}, 20);
    const auto& e = p.elements();
    ASSERT_EQ(e.size(), 3u);
    EXPECT_EQ(e[1].type, CGPathElementType::AddLineToPoint);
    expectPoint(e[1].points[0], {80, 0});
    ASSERT_EQ(e[2].type, CGPathElementType::AddCurveToPoint);
    expectPoint(e[2].points[0], {80 + 20 * kQuarter, 0});
    expectPoint(e[2].points[1], {100, 20 - 20 * kQuarter});
    expectPoint(e[2].points[2], {100, 20});
    expectPoint(p.currentPoint(), {100, 20});
}

TEST(CGPathTangentArc, ObtuseCornerTouchesBothLinesAtEqualDistance) {
    // A 120-degree turn: the tangent points lie r / tan(30 deg) from the corner on each line.
    CGPath p;
    p.moveToPoint({0, 0});
    CGPoint corner{100, 0}, towards{100 + 50, 50 * std::sqrt(3.0)};
    p.addArcToPoint(corner, towards, 10);
    const auto& e = p.elements();
    double d = 10 / std::tan(M_PI / 3);
    expectPoint(e[1].points[0], {100 - d, 0});
    expectPoint(p.currentPoint(), {100 + d * 0.5, d * std::sqrt(3.0) / 2});
    // The arc's centre lies r below the first tangent point and r from the second.
    CGPoint center{100 - d, 10};
    CGPoint end = p.currentPoint();
    EXPECT_NEAR(std::hypot(end.x - center.x, end.y - center.y), 10, 1e-9);
}

TEST(CGPathTangentArc, DegenerateCasesAddALineOrAMove) {
    CGPath collinear;
    collinear.moveToPoint({0, 0});
    collinear.addArcToPoint({50, 0}, {100, 0}, 10);
    ASSERT_EQ(collinear.elements().size(), 2u);
    EXPECT_EQ(collinear.elements()[1].type, CGPathElementType::AddLineToPoint);
    expectPoint(collinear.currentPoint(), {50, 0});

    CGPath zeroRadius;
    zeroRadius.moveToPoint({0, 0});
    zeroRadius.addArcToPoint({50, 0}, {50, 50}, 0);
    expectPoint(zeroRadius.currentPoint(), {50, 0});

    CGPath empty;
    empty.addArcToPoint({5, 6}, {50, 50}, 10);
    ASSERT_EQ(empty.elements().size(), 1u);
    EXPECT_EQ(empty.elements()[0].type, CGPathElementType::MoveToPoint);
}

TEST(CGPathArc, DirectionFollowsThePlatformFlag) {
    // Not clockwise: increasing angles, a quarter turn from +x to +y in one curve.
    CGPath a;
    a.addArc({0, 0}, 10, 0, M_PI / 2, false);
    ASSERT_EQ(a.elements().size(), 2u);
    expectPoint(a.currentPoint(), {0, 10});
    // Clockwise from 0 to pi/2: three quarters the other way round, through -y.
    CGPath b;
    b.addArc({0, 0}, 10, 0, M_PI / 2, true);
    ASSERT_EQ(b.elements().size(), 4u);
    expectPoint(b.elements()[1].points[2], {0, -10});
    expectPoint(b.currentPoint(), {0, 10});
    // More than a turn is one turn.
    CGPath c;
    c.addArc({0, 0}, 10, 0, 5 * M_PI, false);
    EXPECT_EQ(c.elements().size(), 5u);
}

TEST(CGPathShapes, RoundedRectStaysInsideItsRectangleAndTransformsApply) {
    CGPath p = CGPath::withRoundedRect(CGRect(10, 20, 100, 50), 10, 10);
    EXPECT_EQ(p.boundingBox(), CGRect(10, 20, 100, 50));
    EXPECT_EQ(p.elements().back().type, CGPathElementType::CloseSubpath);
    // Each corner size is cut to half its side: 30 wide but only 10 high here.
    CGPath cut = CGPath::withRoundedRect(CGRect(0, 0, 100, 20), 30, 30);
    expectPoint(cut.elements()[0].points[0], {30, 0});
    expectPoint(cut.elements()[1].points[0], {70, 0});
    expectPoint(cut.elements()[2].points[2], {100, 10});
    CGPath moved = p.transformed(CGAffineTransform::makeTranslation(5, -20));
    EXPECT_EQ(moved.boundingBox(), CGRect(15, 0, 100, 50));
    EXPECT_TRUE(CGPath().boundingBox().isNull());
}

TEST(CGPathArc, SweepsAreNormalisedAndEmptyArcsAddOnlyTheirStart) {
    // Counter-clockwise (increasing angles) from pi/2 down to 0 goes the long way: three quarters.
    CGPath longWay;
    longWay.addArc({0, 0}, 10, M_PI / 2, 0, false);
    ASSERT_EQ(longWay.elements().size(), 4u);
    expectPoint(longWay.elements()[1].points[2], {-10, 0});
    expectPoint(longWay.currentPoint(), {10, 0});
    // Clockwise more than a turn is one turn back to the start.
    CGPath clockwise;
    clockwise.addArc({0, 0}, 10, 0, -5 * M_PI, true);
    EXPECT_EQ(clockwise.elements().size(), 5u);
    expectPoint(clockwise.currentPoint(), {10, 0});
    // No sweep, or no radius: only the start point.
    CGPath none;
    none.addArc({5, 5}, 10, 1, 1, true);
    ASSERT_EQ(none.elements().size(), 1u);
    expectPoint(none.currentPoint(), {5 + 10 * std::cos(1), 5 + 10 * std::sin(1)});
    CGPath point;
    point.moveToPoint({0, 0});
    point.addArc({5, 5}, 0, 0, M_PI, false);
    ASSERT_EQ(point.elements().size(), 2u);
    EXPECT_EQ(point.elements()[1].type, CGPathElementType::AddLineToPoint);
    expectPoint(point.currentPoint(), {5, 5});
}

TEST(CGPathShapes, TransformsApplyToEveryKindOfElement) {
    const CGAffineTransform twice = CGAffineTransform::makeScale(2, 2);
    CGPath p;
    p.moveToPoint({0, 0});
    p.addQuadCurveToPoint({1, 2}, {3, 4});
    p.addRect(CGRect(10, 10, 5, 5), &twice);
    p.addRoundedRect(CGRect(0, 0, 10, 10), 0, 3, &twice);  // no corner: a plain rectangle
    p.addRoundedRect(CGRect(0, 0, 10, 10), 2, 2, &twice);
    p.addEllipseInRect(CGRect(0, 0, 4, 2), &twice);
    CGPath moved = p.transformed(CGAffineTransform::makeTranslation(1, 1));
    ASSERT_EQ(moved.elements().size(), p.elements().size());
    ASSERT_EQ(moved.elements()[1].type, CGPathElementType::AddQuadCurveToPoint);
    expectPoint(moved.elements()[1].points[0], {2, 3});
    expectPoint(moved.elements()[1].points[1], {4, 5});
    expectPoint(p.elements()[2].points[0], {20, 20});  // the rectangle, doubled
    expectPoint(p.elements()[4].points[0], {30, 30});
    EXPECT_EQ(p.elements()[7].type, CGPathElementType::MoveToPoint);  // the plain rectangle
    expectPoint(p.elements()[7].points[0], {0, 0});
    expectPoint(p.elements()[8].points[0], {20, 0});
    EXPECT_EQ(p.elements()[11].type, CGPathElementType::CloseSubpath);
    expectPoint(p.elements()[12].points[0], {4, 0});  // the rounded one starts after its corner
    EXPECT_EQ(p.boundingBox(), CGRect(0, 0, 30, 30));

    // A curve on an empty path starts there; closing twice, or closing nothing, adds one close.
    CGPath curve;
    curve.closeSubpath();
    EXPECT_TRUE(curve.elements().empty());
    curve.addCurveToPoint({1, 1}, {2, 2}, {3, 0});
    ASSERT_EQ(curve.elements().size(), 2u);
    expectPoint(curve.elements()[0].points[0], {1, 1});
    curve.closeSubpath();
    curve.closeSubpath();
    EXPECT_EQ(curve.elements().size(), 3u);
    expectPoint(curve.currentPoint(), {1, 1});
}

TEST(CGPathTangentArc, ATransformScalesTheRadiusWithThePoints) {
    const CGAffineTransform twice = CGAffineTransform::makeScale(2, 2);
    CGPath p;
    p.moveToPoint({0, 0});
    p.addArcToPoint({50, 0}, {50, 50}, 10, &twice);
    // In path space the corner is (100, 0) and the radius 20.
    expectPoint(p.elements()[1].points[0], {80, 0});
    expectPoint(p.currentPoint(), {100, 20});
    // The corner on the current point itself: a line to it, no arc.
    CGPath same;
    same.moveToPoint({5, 5});
    same.addArcToPoint({5, 5}, {9, 9}, 3);
    ASSERT_EQ(same.elements().size(), 2u);
    EXPECT_EQ(same.elements()[1].type, CGPathElementType::AddLineToPoint);
}

}  // namespace
}  // namespace brindlecue::platform
