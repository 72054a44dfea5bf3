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
    auto element = std::make_shared<KJTipTextElement>();
    element->text = "\u2588\u2588\u2588\u2588\u2588\u2588";
    element->padding = {8, 8, 8, 8};
    // The text element's layout sets the insets from its padding.
    KJTipTextElement::layoutLabel(label, nullptr, element);
    EXPECT_EQ(label->intrinsicContentSize(), (CGSize{116, 36}));
    UILabel::setTextMeasurer(nullptr);

    // Drawn, the text keeps out of a 40-point left inset.
    label->setEdgeInsets({0, 40, 0, 0});
    UIGraphicsBeginImageContextWithOptions({116, 36}, false, 1);
    label->layer()->renderInContext(*UIGraphicsGetCurrentContext());
    auto image = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    int left = 0, right = 0;
    for (int x = 0; x < 116; ++x) (x < 40 ? left : right) += image->cgImage()->pixelAt(x, 18).a > 0;
    EXPECT_EQ(left, 0);
    EXPECT_GT(right, 20);
}

}  // namespace
}  // namespace brindlecue
