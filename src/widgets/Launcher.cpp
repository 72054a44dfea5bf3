#include "widgets/Launcher.h"

#include <mutex>

#include "platform/TestingReset.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIWindow.h"
#include "widgets/Payload.h"
#include "widgets/WidgetConstants.h"

namespace brindlecue::widgets {

using platform::CGPoint;
using platform::CGRect;
using platform::CGSize;

std::string Launcher::iconFileName() const {
    if (!fileName) return rawValue(FABImages::none);
    if (*fileName == "expand_more") return "expandmore";
    return *fileName;
}

EdgeInsets Launcher::marginInsets() const {
    EdgeInsets insets = widgetInsets(marginTop, marginLeft, marginBottom, std::nullopt);
    insets.trailing = marginRight ? double(*marginRight) + 10 : 0;
    return insets;
}

double Launcher::btnWidth() const {
    double content = width ? double(*width) : (!textValue().empty() ? FABConstant::defaultWidth : 0);
    EdgeInsets p = paddingInsets();
    return content + p.leading + p.trailing;
}

double Launcher::btnHeight() const {
    EdgeInsets p = paddingInsets();
    return (height ? double(*height) : FABConstant::defaultHeight) + p.top + p.bottom;
}

std::string Launcher::imageName() const {
    if (auto image = FABImagesFromRawValue(iconFileName())) return systemImageName(*image);
    return rawValue(FABImages::none);
}

double Launcher::contentWidth(double textWidth) const {
    if (width) return double(*width);
    if (!textValue().empty()) return textWidth;
    if (iconheight() != 0) return iconheight();
    if (iconFileName() != rawValue(FABImages::none)) return 25;
    return 0;
}

double Launcher::frameWidth(double content) const {
    EdgeInsets p = paddingInsets();
    if (width) return double(*width) + p.leading + p.trailing;
    return content + p.leading + p.trailing + iconheight();
}

std::optional<FABPlacement> FABPlacementFromRawValue(std::string_view raw) {
    if (raw == "top-left") return FABPlacement::topLeft;
    if (raw == "top-right") return FABPlacement::topRight;
    if (raw == "top-center") return FABPlacement::topCenter;
    if (raw == "bottom-left") return FABPlacement::bottomLeft;
    if (raw == "bottom-right") return FABPlacement::bottomRight;
    if (raw == "bottom-center") return FABPlacement::bottomCenter;
    return std::nullopt;
}

namespace {

struct ScreenBoundsCache {
    std::mutex mutex;
    std::optional<CGRect> bounds;
};

ScreenBoundsCache& screenBoundsCache() {
    static auto* cache = [] {
        auto* made = new ScreenBoundsCache();
        platform::TestingReset::add("FABPlacement.screenBounds", resetScreenBoundsForTesting);
        return made;
    }();
    return *cache;
}

bool isTop(FABPlacement p) {
    return p == FABPlacement::topLeft || p == FABPlacement::topRight || p == FABPlacement::topCenter;
}

bool isLeft(FABPlacement p) {
    return p == FABPlacement::topLeft || p == FABPlacement::bottomLeft;
}

bool isCenter(FABPlacement p) {
    return p == FABPlacement::topCenter || p == FABPlacement::bottomCenter;
}

}  // namespace

CGRect screenBounds() {
    auto& cache = screenBoundsCache();
    std::lock_guard lock(cache.mutex);
    if (!cache.bounds) cache.bounds = platform::UIScreen::mainScreen()->bounds();
    return *cache.bounds;
}

void resetScreenBoundsForTesting() {
    auto& cache = screenBoundsCache();
    std::lock_guard lock(cache.mutex);
    cache.bounds.reset();
}

CGPoint buttonOrigin(FABPlacement placement, double width, double height, const EdgeInsets& insets) {
    CGSize screen = screenBounds().size;
    double x = 0;
    if (isLeft(placement)) {
        x = insets.leading;
    } else if (isCenter(placement)) {
        x = screen.width * 0.5 - width * 0.5 + insets.leading - insets.trailing;
    } else {
        x = screen.width - insets.trailing - width;
    }
    double y = isTop(placement) ? insets.top + 20 - insets.bottom : screen.height - height - 20 - insets.bottom;
    return {x, y};
}

CGSize ElementPositon::listSize(const Meta& meta) {
    const DisplayParams& params = meta.displayParams;
    CGSize screen = platform::UIScreen::mainScreen()->bounds().size;
    std::string widthText = params.width ? params.width->textForm() : "0";
    std::string heightText = params.height ? params.height->textForm() : "0%";
    double wv = parseDPOrPercentage(widthText);
    double hv = parseDPOrPercentage(heightText);
    double bw = params.borderWidthOrZero();
    double w = wv == 0 ? 90 : wv;
    bool widthPercent = widthText.find('%') != std::string::npos;
    bool heightPercent = heightText.find('%') != std::string::npos;
    double width = widthPercent ? screen.width * w / 100 + 2 * bw : w + 2 * bw;
    double h = heightPercent ? screen.height * hv / 100 : hv;
    double height = h > 1 ? h + 2 * bw : 0;
    return {width, height};
}

CGRect ElementPositon::listFrame(const Meta& meta, const Launcher& launcher, const CGRect& fabFrame,
                                 CGSize measuredSize) {
    CGSize size = listSize(meta);
    double W = size.width == 0 ? measuredSize.width : size.width;
    double H = size.height == 0 ? measuredSize.height : size.height;
    FABPlacement placement = FABPlacementFromRawValue(meta.placementOrDefault()).value_or(FABPlacement::bottomRight);
    EdgeInsets mi = meta.marginInsets();
    double inset = 0;
    auto windows = platform::UIApplication::sharedApplication()->windows();
    if (!windows.empty()) inset = windows.front()->safeAreaInsets().top;
    double screenWidth = platform::UIScreen::mainScreen()->bounds().size.width;

    double x = mi.leading - mi.trailing;
    if (isCenter(placement)) {
        x += screenWidth * 0.5 - W * 0.5;
    } else if (!isLeft(placement)) {
        x += screenWidth - W;
    }
    double y = 0;
    if (isTop(placement)) {
        y = inset + fabFrame.origin.y + fabFrame.size.height - mi.bottom + mi.top;
    } else {
        y = fabFrame.origin.y - H - mi.bottom + mi.top - launcher.marginInsets().top;
    }
    return {x, y, W, H};
}

}  // namespace brindlecue::widgets
