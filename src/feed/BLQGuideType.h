#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace brindlecue {

// The kind of a guide as a word: "carousel", "fab", "modal", "feedback", "tour", "tip",
// "coachmark", "unknown".
enum class BLQGuideType { carousel, fab, modal, feedback, tour, tip, coachmark, unknown };

// Exactly one of the eight words (case-sensitive); none otherwise.
std::optional<BLQGuideType> BLQGuideTypeFromRawValue(std::string_view word);
// As above, with unknown for any other word.
BLQGuideType BLQGuideTypeCreateFromString(std::string_view word);
std::string rawValue(BLQGuideType type);

}  // namespace brindlecue
