#include "widgets/Payload.h"

#include "platform/uikit/UIScreen.h"
#include "widgets/WidgetConstants.h"

namespace brindlecue::widgets {

namespace {

std::string unitOf(const std::optional<MixedValue>& value) {
    if (!value) return rawValue(MeasurementUnit::DP);
    return rawValue(value->textForm().find('%') != std::string::npos ? MeasurementUnit::PERCENTAGE
                                                                      : MeasurementUnit::DP);
}

}  // namespace

std::string DisplayParams::widthUnit() const {
    return unitOf(width);
}

std::string DisplayParams::heightUnit() const {
    return unitOf(height);
}

double DisplayParams::heightInPoints() const {
    if (!height) return 0;
    double number = parseDPOrPercentage(height->textForm());
    if (heightUnit() == rawValue(MeasurementUnit::PERCENTAGE)) {
        return number * platform::UIScreen::mainScreen()->bounds().size.height / 100;
    }
    return number;
}

platform::UIColor DisplayParams::dimColor() const {
    if (!color) return platform::UIColor::clearColor();
    return widgetColor(*color);
}

std::string Payload::listBackgroundColor() const {
    if (!buttonList.empty() && buttonList.front().backgroundColor) return *buttonList.front().backgroundColor;
    return "#ffffff";
}

}  // namespace brindlecue::widgets
