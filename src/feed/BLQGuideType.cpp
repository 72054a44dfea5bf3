#include "feed/BLQGuideType.h"

#include <array>
#include <utility>

namespace brindlecue {

namespace {

constexpr std::array<std::pair<BLQGuideType, const char*>, 8> kWords{{
    {BLQGuideType::carousel, "carousel"},
    {BLQGuideType::fab, "fab"},
    {BLQGuideType::modal, "modal"},
    {BLQGuideType::feedback, "feedback"},
    {BLQGuideType::tour, "tour"},
    {BLQGuideType::tip, "tip"},
    {BLQGuideType::coachmark, "coachmark"},
    {BLQGuideType::unknown, "unknown"},
}};

}  // namespace

std::optional<BLQGuideType> BLQGuideTypeFromRawValue(std::string_view word) {
    for (const auto& [type, text] : kWords) {
        if (word == text) return type;
    }
    return std::nullopt;
}

BLQGuideType BLQGuideTypeCreateFromString(std::string_view word) {
    return BLQGuideTypeFromRawValue(word).value_or(BLQGuideType::unknown);
}

std::string rawValue(BLQGuideType type) {
    for (const auto& [candidate, text] : kWords) {
        if (candidate == type) return text;
    }
    return "unknown";
}

}  // namespace brindlecue
