#include <gtest/gtest.h>

#include <cmath>

#include "platform/graphics/CGContext.h"
#include "platform/uikit/CALayer.h"
#include "platform/uikit/NSStringDrawing.h"
#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UIBezierPath.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIGraphics.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UIVisualEffectView.h"
#include "platform/uikit/UIWindow.h"

namespace brindlecue::platform {
namespace {

// Snapshot of a view at a scale, as screenshots and coachmarks take it.
std::shared_ptr<UIImage> snapshot(const std::shared_ptr<UIView>& view, double scale) {
    UIGraphicsBeginImageContextWithOptions(view->bounds().size, false, scale);
    EXPECT_TRUE(view->drawViewHierarchyInRect(view->bounds(), true));
    auto image = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    return image;
}

RGBA8 px(const std::shared_ptr<UIImage>& image, double x, double y) {
    return image->cgImage()->pixelAt(int(x * image->scale()), int(y * image->scale()));
}

std::shared_ptr<UIImage> twoBands(int w, int h) {
    // Red top half, blue bottom half.
    std::vector<RGBA8> p(size_t(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) p[size_t(y) * w + x] = y < h / 2 ? RGBA8{255, 0, 0, 255} : RGBA8{0, 0, 255, 255};
    return UIImage::imageWithCGImage(CGImage::fromRGBA(w, h, p));
}

TEST(LayerRendering, BackgroundCornerRadiusBorderAlphaAndHidden) {
    auto root = make<UIView>(CGRect(0, 0, 100, 100));
    auto card = make<UIView>(CGRect(10, 10, 80, 80));
    card->setBackgroundColor(UIColor(0, 1, 0, 1));
    card->layer()->cornerRadius = 20;
    card->layer()->borderWidth = 4;
    card->layer()->borderColor = UIColor(0, 0, 0, 1);
    root->addSubview(card);
    auto faded = make<UIView>(CGRect(40, 40, 20, 20));
    faded->setBackgroundColor(UIColor(1, 0, 0, 1));
    faded->setAlpha(0.5);
    root->addSubview(faded);
    auto hidden = make<UIView>(CGRect(0, 0, 100, 100));
    hidden->setBackgroundColor(UIColor(1, 1, 1, 1));
    hidden->setHidden(true);
    root->addSubview(hidden);

    auto image = snapshot(root, 2);
    EXPECT_EQ(image->size(), (CGSize{100, 100}));
    EXPECT_EQ(image->cgImage()->width(), 200);
    EXPECT_EQ(px(image, 11, 11).a, 0);                     // cut off by the corner
    EXPECT_EQ(px(image, 30, 50), (RGBA8{0, 255, 0, 255}));  // background
    EXPECT_EQ(px(image, 11, 50), (RGBA8{0, 0, 0, 255}));    // border, inside the bounds
    EXPECT_EQ(px(image, 9, 50).a, 0);
    RGBA8 mixed = px(image, 50, 50);  // half red over green
    EXPECT_NEAR(mixed.r, 128, 2);
    EXPECT_NEAR(mixed.g, 127, 2);
}

TEST(LayerRendering, ClippingShadowsAndSublayers) {
    auto root = make<UIView>(CGRect(0, 0, 100, 100));
    auto clip = make<UIView>(CGRect(0, 0, 50, 50));
    clip->setClipsToBounds(true);
    auto overflow = make<UIView>(CGRect(25, 25, 50, 50));
    overflow->setBackgroundColor(UIColor(1, 0, 0, 1));
    clip->addSubview(overflow);
    root->addSubview(clip);

    auto shadowed = make<UIView>(CGRect(60, 10, 20, 20));
    shadowed->setBackgroundColor(UIColor(1, 1, 1, 1));
    shadowed->layer()->shadowOpacity = 1;
    shadowed->layer()->shadowRadius = 0;
    shadowed->layer()->shadowOffset = {0, 10};
    root->addSubview(shadowed);

    auto shape = make<CAShapeLayer>();
    shape->path.addRect(CGRect(0, 60, 40, 40));
    shape->path.addRect(CGRect(10, 70, 20, 20));
    shape->fillRule = "even-odd";
    shape->fillColor = UIColor(0, 0, 1, 1);
    root->layer()->addSublayer(shape);

    auto image = snapshot(root, 1);
    EXPECT_EQ(px(image, 40, 40).r, 255);
    EXPECT_EQ(px(image, 60, 60).a, 0);          // clipped away
    EXPECT_EQ(px(image, 70, 35), (RGBA8{0, 0, 0, 255}));  // the shadow below the view
    EXPECT_EQ(px(image, 70, 15), (RGBA8{255, 255, 255, 255}));
    EXPECT_EQ(px(image, 5, 65).b, 255);
    EXPECT_EQ(px(image, 20, 80).a, 0);  // the even-odd hole
}

class Triangle : public UIView {
public:
    using UIView::UIView;
    void drawRect(const CGRect& rect) override {
        // A triangle in the top left corner, drawn with UIKit calls.
        auto path = UIBezierPath::bezierPath();
        path->moveToPoint({0, 0});
        path->addLineToPoint({rect.size.width, 0});
        path->addLineToPoint({0, rect.size.height});
        path->closePath();
        UIColorSetFill(UIColor(1, 0, 1, 1));
        path->fill();
    }
};

// Fills 20 points beyond its bounds on every side.
class Overfill : public UIView {
public:
    using UIView::UIView;
    void drawRect(const CGRect& rect) override {
        UIGraphicsGetCurrentContext()->setFillColor(UIColor(0, 1, 0, 1));
        UIGraphicsGetCurrentContext()->fillRect(bounds().insetBy(-20, -20));
    }
};

class OverfillLayer : public CALayer {
public:
    void drawInContext(CGContext& ctx) override {
        ctx.setFillColor(UIColor(0, 0, 1, 1));
        ctx.fillRect(bounds().insetBy(-20, -20));
    }
};

TEST(LayerRendering, ContentStaysInsideItsBoundsButSublayersDoNot) {
    auto root = make<UIView>(CGRect(0, 0, 200, 100));
    auto view = make<Overfill>(CGRect(30, 30, 40, 40));
    root->addSubview(view);
    auto layer = make<OverfillLayer>();
    layer->setFrame(CGRect(130, 30, 40, 40));
    root->layer()->addSublayer(layer);
    // A sublayer placed past its view's bounds shows there (the view does not clip).
    auto outside = make<CALayer>();
    outside->setFrame(CGRect(45, -25, 10, 10));
    outside->setBackgroundColor(UIColor(1, 0, 0, 1));
    view->layer()->addSublayer(outside);

    auto image = snapshot(root, 1);
    EXPECT_EQ(px(image, 50, 50), (RGBA8{0, 255, 0, 255}));
    EXPECT_EQ(px(image, 150, 50), (RGBA8{0, 0, 255, 255}));
    for (CGPoint p : {CGPoint{25, 50}, CGPoint{75, 50}, CGPoint{50, 25}, CGPoint{50, 75}, CGPoint{125, 50},
                      CGPoint{175, 50}, CGPoint{150, 75}})
        EXPECT_EQ(px(image, p.x, p.y).a, 0) << p.x << "," << p.y;
    EXPECT_EQ(px(image, 80, 10), (RGBA8{255, 0, 0, 255}));
}

// Black and white stripes 2 points wide, as sharp as text.
class Stripes : public UIView {
public:
    using UIView::UIView;
    void drawRect(const CGRect&) override {
        auto ctx = UIGraphicsGetCurrentContext();
        ctx->setFillColor(UIColor(1, 1, 1, 1));
        ctx->fillRect(bounds());
        ctx->setFillColor(UIColor(0, 0, 0, 1));
        for (double x = 0; x < bounds().size.width; x += 4)
            ctx->fillRect(CGRect(x, 0, 2, bounds().size.height));
    }
};

TEST(LayerRendering, ABlurEffectViewBlursWhatLiesBeneathItOnly) {
    auto root = make<Stripes>(CGRect(0, 0, 200, 120));
    auto effect = make<UIVisualEffectView>(UIBlurEffect::effectWithStyle(UIBlurEffectStyle::Light));
    effect->setFrame(CGRect(40, 20, 120, 80));
    effect->layer()->cornerRadius = 10;
    effect->setClipsToBounds(true);
    root->addSubview(effect);
    auto mark = make<UIView>(CGRect(5, 5, 10, 10));  // content above the blur stays sharp
    mark->setBackgroundColor(UIColor(1, 0, 0, 1));
    effect->contentView()->addSubview(mark);

    for (double scale : {1.0, 2.0}) {
        auto image = snapshot(root, scale);
        int lo = 255, hi = 0;
        for (double y = 45; y < 95; y += 0.5)
            for (double x = 70; x < 150; x += 0.5) {
                int g = px(image, x, y).g;
                lo = std::min(lo, g), hi = std::max(hi, g);
            }
        EXPECT_LT(hi - lo, 12) << "the stripes beneath run together at scale " << scale;
        EXPECT_GT(lo, 128) << "under a light veil";
        EXPECT_EQ(px(image, 50, 30), (RGBA8{255, 0, 0, 255}));
        // Outside the view, and in its cut-off corner, the stripes stay as they are.
        EXPECT_EQ(px(image, 36.5, 50).g, 0);
        EXPECT_EQ(px(image, 38.5, 50).g, 255);
        EXPECT_EQ(px(image, 40.5, 20.5).g, 0);
        EXPECT_EQ(px(image, 42.5, 20.5).g, 255);
    }

    // Inside a faded parent (drawn as a layer of its own) what lies beneath is blurred too.
    auto faded = make<UIView>(CGRect(0, 0, 200, 120));
    faded->setAlpha(0.99);
    effect->removeFromSuperview();
    faded->addSubview(effect);
    root->addSubview(faded);
    auto image = snapshot(root, 1);
    int lo = 255, hi = 0;
    for (int x = 70; x < 150; ++x) {
        int g = px(image, x, 70).g;
        lo = std::min(lo, g), hi = std::max(hi, g);
    }
    EXPECT_LT(hi - lo, 12);
}

TEST(LayerRendering, CustomDrawRectAndImagesAreUpright) {
    auto root = make<UIView>(CGRect(0, 0, 100, 50));
    root->addSubview(make<Triangle>(CGRect(0, 0, 50, 50)));
    auto imageView = make<UIImageView>(CGRect(50, 0, 50, 50));
    imageView->setImage(twoBands(4, 4));
    root->addSubview(imageView);
    auto image = snapshot(root, 1);
    EXPECT_EQ(px(image, 5, 5), (RGBA8{255, 0, 255, 255}));
    EXPECT_EQ(px(image, 45, 45).a, 0);
    EXPECT_EQ(px(image, 75, 5).r, 255);   // red stays on top
    EXPECT_EQ(px(image, 75, 45).b, 255);
}

TEST(LayerRendering, ImageViewsPlaceByContentModeAndTintTemplates) {
    auto view = make<UIImageView>(CGRect(0, 0, 100, 50));
    view->setImage(twoBands(10, 10)->imageWithRenderingMode(UIImageRenderingMode::AlwaysTemplate));
    view->setContentMode(UIViewContentMode::ScaleAspectFit);
    view->setTintColor(UIColor(0, 1, 0, 1));
    auto image = snapshot(view, 1);
    EXPECT_EQ(px(image, 10, 25).a, 0);  // outside the 50 x 50 square in the middle
    EXPECT_EQ(px(image, 50, 10), (RGBA8{0, 255, 0, 255}));
    EXPECT_EQ(px(image, 50, 40), (RGBA8{0, 255, 0, 255}));
}

TEST(LayerRendering, WindowWithLabelButtonAndImageView) {
    auto window = make<UIWindow>(CGRect(0, 0, 200, 120));
    window->setBackgroundColor(UIColor(1, 1, 1, 1));
    auto label = make<UILabel>(CGRect(10, 10, 180, 30));
    label->setText("Hello");
    label->setTextColor(UIColor(0, 0, 0, 1));
    window->addSubview(label);
    auto button = UIButton::buttonWithType(UIButtonType::System);
    button->setFrame(CGRect(10, 50, 120, 40));
    button->setTitle("Tap", UIControlStateNormal);
    button->setImage(twoBands(16, 16), UIControlStateNormal);
    button->setTintColor(UIColor(1, 0, 0, 1));
    window->addSubview(button);
    auto imageView = make<UIImageView>(CGRect(150, 50, 40, 40));
    imageView->setImage(twoBands(8, 8));
    window->addSubview(imageView);

    auto image = snapshot(window, 2);
    auto countDark = [&](CGRect r) {
        int n = 0;
        for (double y = r.minY(); y < r.maxY(); y += 0.5)
            for (double x = r.minX(); x < r.maxX(); x += 0.5) n += px(image, x, y).r < 100 && px(image, x, y).g < 100;
        return n;
    };
    EXPECT_GT(countDark(CGRect(10, 10, 60, 30)), 40);  // the label's text, left aligned
    EXPECT_EQ(countDark(CGRect(100, 10, 90, 30)), 0);
    // The button's image and title sit side by side in its tint, centred together.
    CGRect img = button->imageView()->frame(), title = button->titleLabel()->frame();
    EXPECT_NEAR(img.maxX(), title.minX(), 0.01);
    EXPECT_NEAR((img.minX() + title.maxX()) / 2, 60, 0.51);
    CGRect inWindow = button->convertRectToView(img, window);
    EXPECT_EQ(px(image, inWindow.midX(), inWindow.minY() + 2), (RGBA8{255, 0, 0, 255}));  // template: all tint
    EXPECT_EQ(px(image, inWindow.midX(), inWindow.maxY() - 2), (RGBA8{255, 0, 0, 255}));
    EXPECT_EQ(px(image, 170, 85).b, 255);
    EXPECT_EQ(px(image, 195, 115), (RGBA8{255, 255, 255, 255}));
}

class InsetLabel : public UILabel {
public:
    using UILabel::UILabel;
    void drawTextInRect(const CGRect& rect) override {
        UILabel::drawTextInRect(CGRect(rect.origin.x + 50, rect.origin.y, rect.size.width - 50, rect.size.height));
    }
};

TEST(LayerRendering, LabelSubclassesMoveTheirTextAndBezierArcsFollowUIKitsFlag) {
    auto label = make<InsetLabel>(CGRect(0, 0, 100, 30));
    label->setText("Wide text");
    auto image = snapshot(label, 1);
    int left = 0, right = 0;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 100; ++x) (x < 50 ? left : right) += image->cgImage()->pixelAt(x, y).a > 0;
    EXPECT_EQ(left, 0);
    EXPECT_GT(right, 30);

    // UIKit's clockwise true sweeps towards increasing angles (down first on screen).
    auto arc = UIBezierPath::bezierPathWithArcCenter({0, 0}, 10, 0, M_PI / 2, true);
    EXPECT_EQ(arc->cgPath().elements().size(), 2u);
    EXPECT_NEAR(arc->currentPoint().y, 10, 1e-9);
    auto pill = UIBezierPath::bezierPathWithRoundedRect(CGRect(0, 0, 100, 20), 30);
    EXPECT_NEAR(pill->cgPath().elements()[0].points[0].x, 10, 1e-9);
}

TEST(LayerRendering, AlertDimsTheWindowAndDrawsItsBox) {
    auto alert = make<UIAlertView>(std::optional<std::string>("Thanks"), std::optional<std::string>("Sent."),
                                   nullptr, std::optional<std::string>("OK"), std::vector<std::string>{});
    alert->setFrame(CGRect(0, 0, 320, 480));
    auto image = snapshot(alert, 1);
    EXPECT_NEAR(px(image, 5, 5).a, 102, 1);  // the dimming
    RGBA8 box = px(image, 30, 240);          // inside the 270-point box, left of the texts
    EXPECT_GT(box.r, 240);
    EXPECT_EQ(box.a, 255);
}

TEST(NSStringDrawing, BoundingRectsWrapOnlyWithLineFragmentOrigin) {
    NSStringAttributes attrs;
    attrs.font = UIFont::systemFontOfSize(15);
    std::string text = "A sentence long enough to need more than one line at this width";
    CGSize line = NSStringDrawing::sizeWithAttributes(text, attrs);
    CGRect wrapped = NSStringDrawing::boundingRectWithSize(text, {150, 1000}, NSStringDrawingUsesLineFragmentOrigin, attrs);
    CGRect single = NSStringDrawing::boundingRectWithSize(text, {150, 1000}, 0, attrs);
    EXPECT_LE(wrapped.size.width, 150);
    EXPECT_GT(wrapped.size.height, 2 * line.height);
    EXPECT_EQ(single.size, line);
    CGRect capped = NSStringDrawing::boundingRectWithSize(text, {150, 20}, NSStringDrawingUsesLineFragmentOrigin, attrs);
    EXPECT_EQ(capped.size.height, 20);
}

TEST(UILabelMeasure, PangoByDefaultAndAnInstalledMeasurerWins) {
    UIFont font = UIFont::systemFontOfSize(17);
    CGSize pango = UILabel::measure("Hello world", font, 0, 1);
    EXPECT_EQ(pango.width, std::ceil(pango.width));
    EXPECT_EQ(pango.height, std::ceil(font.lineHeight() - 1e-9));
    EXPECT_NE(pango, UILabel::estimateTextSize("Hello world", font, 0, 1));
    UILabel::setTextMeasurer(UILabel::estimateTextSize);
    EXPECT_EQ(UILabel::measure("Hello world", font, 0, 1), UILabel::estimateTextSize("Hello world", font, 0, 1));
    UILabel::setTextMeasurer(nullptr);
    EXPECT_EQ(UILabel::measure("Hello world", font, 0, 1), pango);
}

}  // namespace
}  // namespace brindlecue::platform
