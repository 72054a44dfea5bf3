#include "matching/BLQSemanticVersionFactory.h"

#include <vector>

namespace brindlecue {

namespace {

// The pieces between separators, empty ones dropped.
std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> pieces;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(separator, start);
        if (end == std::string::npos) end = text.size();
        if (end > start) pieces.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return pieces;
}

constexpr size_t kMaxParts = 3;

}  // namespace

std::optional<BLQSemanticVersion> BLQSemanticVersionFactory::create(const std::string& stringValue) {
    std::string text;
    text.reserve(stringValue.size());
    for (char c : stringValue)
        if (c != 'v') text.push_back(c);

    const auto pieces = split(text, '.');
    if (pieces.empty()) return std::nullopt;
    // Dots inside the build metadata ("1.2.3+build.7") are not parts of the version.
    if (split(text.substr(0, text.find('+')), '.').size() > kMaxParts) return std::nullopt;

    BLQSemanticVersionPart major(pieces[0]);
    BLQSemanticVersionPart minor(pieces.size() > 1 ? pieces[1] : std::string());
    BLQSemanticVersionPart patch{std::optional<int64_t>()};
    if (pieces.size() > 2) {
        const auto patchPieces = split(pieces[2], '+');
        if (patchPieces.empty()) return std::nullopt;
        patch = BLQSemanticVersionPart(patchPieces[0]);
    }
    const auto plusPieces = split(text, '+');
    BLQSemanticVersionBuildMetadata metadata(plusPieces.size() >= 2 ? plusPieces[1] : std::string());
    return BLQSemanticVersion(major, minor, patch, std::move(metadata));
}

}  // namespace brindlecue
