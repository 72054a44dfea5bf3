#include "presentation/PaddingLabel.h"

#include <gtest/gtest.h>

#include "feed/KJTipTextElement.h"
#include "platform/graphics/CGImage.h"
#include "platform/uikit/CALayer.h"
#include "platform/uikit/UIGraphics.h"
#include "platform/uikit/UIImage.h"

namespace brindlecue {
namespace {

using namespace platform;

TEST(PaddingLabel, GrowsByItsInsetsAndDrawsInsideThem) {
    UILabel::setTextMeasurer([](const std::string&, const UIFont&, double, int) { return CGSize{100, 20}; });
    auto label = make<PaddingLabel>(CGRect(0, 0, 116, 36));
    label->setText("Hello");
    EXPECT_EQ(label->edgeInsets(), UIEdgeInsets{});
    EXPECT_EQ(label->intrinsicContentSize(), CGSize(100, 20));

    // The text element's layout sets the insets from its padding (top, left, bottom, right).
    auto element = std::make_shared<KJTipTextElement>();
    element->text = "Hello";
    element->padding = {8, 8, 8, 8};
    KJTipTextElement::layoutLabel(label, nullptr, element);
    EXPECT_EQ(label->edgeInsets(), (UIEdgeInsets{8, 8, 8, 8}));
    EXPECT_EQ(label->intrinsicContentSize(), CGSize(116, 36));
    label->setEdgeInsets({1, 2, 3, 4});
    EXPECT_EQ(label->intrinsicContentSize(), CGSize(106, 24));
    UILabel::setTextMeasurer(nullptr);

    // Drawn, the text keeps out of the insets: a label of solid blocks leaves the inset rows clear.
    label->setText("\u2588\u2588\u2588\u2588\u2588\u2588\u2588\u2588\u2588\u2588");
    label->setEdgeInsets({0, 40, 0, 0});
    UIGraphicsBeginImageContextWithOptions({116, 36}, false, 1);
    label->layer()->renderInContext(*UIGraphicsGetCurrentContext());
    auto image = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    int inked = 0;
    for (int x = 0; x < 40; ++x)
        for (int y = 0; y < 36; ++y) inked += image->cgImage()->pixelAt(x, y).a > 0;
    EXPECT_EQ(inked, 0);
    int drawn = 0;
    for (int x = 40; x < 116; ++x) drawn += image->cgImage()->pixelAt(x, 18).a > 0;
    EXPECT_GT(drawn, 20);
}

}  // namespace
}  // namespace brindlecue
