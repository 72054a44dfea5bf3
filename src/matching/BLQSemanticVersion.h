#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

namespace brindlecue {

// One numeric part of a version (major, minor or patch).
class BLQSemanticVersionPart {
public:
    explicit BLQSemanticVersionPart(std::optional<int64_t> value = std::nullopt) : value(value.value_or(0)) {}
    // A base-10 integer (an optional sign, then digits, nothing else, within 64 bits); any other
    // text, the empty one included, gives 0.
    explicit BLQSemanticVersionPart(const std::string& text);

    bool operator==(const BLQSemanticVersionPart& o) const { return value == o.value; }
    bool operator<(const BLQSemanticVersionPart& o) const { return value < o.value; }
    bool operator>(const BLQSemanticVersionPart& o) const { return o < *this; }
    bool operator<=(const BLQSemanticVersionPart& o) const { return !(o < *this); }
    bool operator>=(const BLQSemanticVersionPart& o) const { return !(*this < o); }

    int64_t value;
};

// The text after "+" of a version, and its integer value when the whole text is one.
class BLQSemanticVersionBuildMetadata {
public:
    BLQSemanticVersionBuildMetadata(std::string value, std::optional<int64_t> intValue)
        : value(std::move(value)), intValue(intValue) {}
    explicit BLQSemanticVersionBuildMetadata(const std::string& text);

    // Two empty texts are equal; two integers compare as integers ("007" equals "7"); anything
    // else compares as text in canonical (NFC) code-point order, the empty text first.
    bool operator==(const BLQSemanticVersionBuildMetadata& o) const;
    bool operator<(const BLQSemanticVersionBuildMetadata& o) const;
    bool operator>(const BLQSemanticVersionBuildMetadata& o) const { return o < *this; }
    bool operator<=(const BLQSemanticVersionBuildMetadata& o) const { return !(o < *this); }
    bool operator>=(const BLQSemanticVersionBuildMetadata& o) const { return !(*this < o); }

    std::string value;
    std::optional<int64_t> intValue;
};

// major.minor.patch+metadata; ordered by major, minor, patch and then build metadata. There is no
// pre-release component.
class BLQSemanticVersion {
public:
    BLQSemanticVersion(BLQSemanticVersionPart major, BLQSemanticVersionPart minor,
                       BLQSemanticVersionPart patch, BLQSemanticVersionBuildMetadata buildMetadata)
        : major(major), minor(minor), patch(patch), buildMetadata(std::move(buildMetadata)) {}

    bool operator==(const BLQSemanticVersion& o) const;
    bool operator<(const BLQSemanticVersion& o) const;
    bool operator!=(const BLQSemanticVersion& o) const { return !(*this == o); }
    bool operator>(const BLQSemanticVersion& o) const { return o < *this; }
    bool operator<=(const BLQSemanticVersion& o) const { return !(o < *this); }
    bool operator>=(const BLQSemanticVersion& o) const { return !(*this < o); }

    BLQSemanticVersionPart major;
    BLQSemanticVersionPart minor;
    BLQSemanticVersionPart patch;
    BLQSemanticVersionBuildMetadata buildMetadata;
};

}  // namespace brindlecue
