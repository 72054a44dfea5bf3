#include "targeting/BLQScreenshotMetaDataElementUniquenessFilter.h"

#include <algorithm>
#include <cstdio>
#include <unordered_map>

#include "platform/Error.h"
#include "targeting/ScreenshotMetaDataElement.h"

namespace brindlecue {

using platform::Value;

namespace {

void printDecodingError(const std::string& description) {
    std::printf("Error decoding JSON: %s\n", description.c_str());
    std::fflush(stdout);
}

// The record as its JSON document would read back, or none (printed).
std::optional<ScreenshotMetaDataElement> readElement(const platform::Dictionary& record) {
    platform::Error error;
    auto json = Value(record).toJSON(false, &error);
    auto document = json ? Value::fromJSON(*json, &error) : std::nullopt;
    if (!document) {
        printDecodingError(error.description());
        return std::nullopt;
    }
    try {
        return ScreenshotMetaDataElement::decode(*document);
    } catch (const DecodingError& decoding) {
        printDecodingError(decoding.debugDescription());
        return std::nullopt;
    }
}

}  // namespace

std::vector<platform::Dictionary> BLQScreenshotMetaDataElementUniquenessFilter::getUniqueElementsOnly(
    const std::vector<platform::Dictionary>& arrayOfDictionaries) {
    std::vector<ScreenshotMetaDataElement> kept;
    // Later elements per coordinate, the coordinates in the order they were first met.
    std::unordered_map<MetaDataCoordinate, size_t, MetaDataCoordinate::Hash> slots;
    std::vector<std::vector<ScreenshotMetaDataElement>> later;

    for (const auto& record : arrayOfDictionaries) {
        auto element = readElement(record);
        if (!element) continue;
        auto [slot, isNew] = slots.try_emplace(MetaDataCoordinate(*element), later.size());
        if (isNew) {
            later.emplace_back();
            kept.push_back(std::move(*element));
        } else {
            later[slot->second].push_back(std::move(*element));
        }
    }

    for (auto& elements : later) {
        auto identified = std::find_if(elements.begin(), elements.end(),
                                       [](const auto& e) { return e.accessibilityIdentifier.has_value(); });
        if (identified != elements.end()) {
            kept.push_back(std::move(*identified));
        } else {
            for (auto& e : elements) kept.push_back(std::move(e));
        }
    }

    std::vector<platform::Dictionary> out;
    out.reserve(kept.size());
    for (const auto& element : kept) out.push_back(element.dictionaryWithNulls());
    return out;
}

}  // namespace brindlecue
