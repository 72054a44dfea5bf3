#include "widgets/WidgetConstants.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>

#include "platform/uikit/UIFont.h"

namespace brindlecue::widgets {

namespace {

struct ImageName {
    FABImages image;
    const char* raw;
    const char* symbol;
};

constexpr ImageName kImageNames[] = {
    {FABImages::none, "None", ""},
    {FABImages::help, "help", "questionmark.circle.fill"},
    {FABImages::alert, "alert", "exclamationmark.triangle.fill"},
    {FABImages::close, "close", "xmark"},
    {FABImages::information, "information", "info.circle.fill"},
    {FABImages::record, "record", "stop.fill"},
    {FABImages::minimize, "minimize", "minus"},
    {FABImages::expandmore, "expandmore", "chevron.down"},
};

}  // namespace

std::optional<FABImages> FABImagesFromRawValue(std::string_view raw) {
    for (const auto& entry : kImageNames) {
        if (raw == entry.raw) return entry.image;
    }
    return std::nullopt;
}

const char* rawValue(FABImages image) {
    return kImageNames[static_cast<int>(image)].raw;
}

const char* systemImageName(FABImages image) {
    return kImageNames[static_cast<int>(image)].symbol;
}

std::optional<ActionType> ActionTypeFromRawValue(std::string_view raw) {
    if (raw == "page") return ActionType::page;
    if (raw == "launch_experiment") return ActionType::launch_experiment;
    if (raw == "page_launch_experiment") return ActionType::page_launch_experiment;
    return std::nullopt;
}

std::optional<CloseList> CloseListFromRawValue(int64_t raw) {
    if (raw == 0) return CloseList::close;
    if (raw == 1) return CloseList::donotshow;
    return std::nullopt;
}

const char* rawValue(MeasurementUnit unit) {
    return unit == MeasurementUnit::PERCENTAGE ? "PERCENTAGE" : "DP";
}

float parseDPOrPercentage(std::string_view input) {
    if (!input.empty() && input.back() == '%') input.remove_suffix(1);
    if (input.empty() || std::isspace(static_cast<unsigned char>(input.front()))) return 0;
    std::string text(input);
    char* end = nullptr;
    errno = 0;
    float value = std::strtof(text.c_str(), &end);
    if (end != text.c_str() + text.size()) return 0;
    return value;
}

std::string resolvedWidgetFontFamily(const std::optional<std::string>& fontFamily) {
    if (!fontFamily) return FontConstant::defaultFamily;
    std::string capitalised = *fontFamily;
    bool wordStart = true;
    for (char& c : capitalised) {
        unsigned char u = static_cast<unsigned char>(c);
        if (std::isalpha(u)) {
            c = static_cast<char>(wordStart ? std::toupper(u) : std::tolower(u));
            wordStart = false;
        } else {
            wordStart = !std::isalnum(u);
        }
    }
    auto families = platform::UIFont::familyNames();
    if (std::find(families.begin(), families.end(), capitalised) != families.end()) return *fontFamily;
    return platform::UIFont::preferredFontForTextStyle(platform::UIFontTextStyleTitle1).familyName();
}

}  // namespace brindlecue::widgets
