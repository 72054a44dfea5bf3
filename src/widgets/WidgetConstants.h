#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The vocabulary the widget records and views share: view tags, default sizes and fonts, icon
// names, action kinds, units and the reader of size texts.
namespace brindlecue::widgets {

// Tags of the views the widget host adds to the key window.
struct ViewTags {
    static constexpr int64_t fabButton = 108101;
    static constexpr int64_t faqList = 108102;
    static constexpr int64_t dimView = 108103;
};

// Default content size of the floating button, in points.
struct FABConstant {
    static constexpr double defaultWidth = 100.0;
    static constexpr double defaultHeight = 50.0;
};

struct FontConstant {
    static constexpr const char* defaultWeight = "bold";
    static constexpr double defaultSize = 16.0;
    static constexpr const char* defaultFamily = "Arial";
};

// Icon names a launcher's file name may carry, and the symbol each stands for.
enum class FABImages { none, help, alert, close, information, record, minimize, expandmore };
// By raw value: "None" (capitalised), "help", "alert", "close", "information", "record",
// "minimize", "expandmore"; any other text is no icon name.
std::optional<FABImages> FABImagesFromRawValue(std::string_view raw);
const char* rawValue(FABImages image);
// "questionmark.circle.fill" and so on; empty for none.
const char* systemImageName(FABImages image);

enum class ActionType { page, launch_experiment, page_launch_experiment };
std::optional<ActionType> ActionTypeFromRawValue(std::string_view raw);

enum class CloseList : int64_t { close = 0, donotshow = 1 };
std::optional<CloseList> CloseListFromRawValue(int64_t raw);

enum class MeasurementUnit { PERCENTAGE, DP };
const char* rawValue(MeasurementUnit unit);

// A size text as a number, as written: a trailing "%" is dropped and the rest must read whole
// as a number ("80%" gives 80, "12.5" 12.5); anything else gives 0. The caller decides from the
// unit whether it is a percentage.
float parseDPOrPercentage(std::string_view input);

// The font family a widget record draws with: "Arial" when it names none; the family as written
// when its capitalised form ("open sans" -> "Open Sans") is an installed family; otherwise the
// family of the preferred Title 1 font.
std::string resolvedWidgetFontFamily(const std::optional<std::string>& fontFamily);

}  // namespace brindlecue::widgets
