#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "foundation/DecodingError.h"
#include "platform/Value.h"

namespace brindlecue {

// One target-metadata record of an author screenshot in typed form. The document is a flat
// object: "accessibility_identifier" (text, optional), "ancestor" (text), "height" (number), "id"
// (text), "index" (number), "ios_version" (text), "supertag" (text, optional), "tag" (number,
// optional), "type" (text), "version" (text), "width", "x", "y" (numbers). Other keys are ignored.
struct ScreenshotMetaDataElement {
    std::optional<std::string> accessibilityIdentifier;
    std::string ancestor;
    double height = 0;
    std::string id;
    double index = 0;
    std::string iosVersion;
    std::optional<std::string> superTag;
    std::optional<double> tag;
    std::string type;
    std::string version;
    double width = 0;
    double x = 0;
    double y = 0;

    // Every required key must hold a value of its kind (a number, not a Boolean, where a number is
    // due); an optional key may be missing or null. Throws DecodingError otherwise.
    static ScreenshotMetaDataElement decode(const platform::Value& document);
    // The keys in the order above; an absent optional is left out.
    platform::Dictionary encode() const;
    // All thirteen keys; an absent optional is null.
    platform::Dictionary dictionaryWithNulls() const;
};

// The rectangle and type of an element, the key by which screenshot targets are compared: equal
// numbers (0 equals -0) and canonically equivalent type texts.
class MetaDataCoordinate {
public:
    explicit MetaDataCoordinate(const ScreenshotMetaDataElement& element);

    double height, width, x, y;
    std::string type;

    bool operator==(const MetaDataCoordinate& other) const;
    size_t hash() const;

    struct Hash {
        size_t operator()(const MetaDataCoordinate& c) const { return c.hash(); }
    };

private:
    // The type in its canonical composed form.
    std::string canonicalType_;
};

}  // namespace brindlecue
