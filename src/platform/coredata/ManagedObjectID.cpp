#include "platform/coredata/ManagedObjectID.h"

#include <charconv>

namespace brindlecue::platform {

namespace {
constexpr std::string_view kScheme = "x-coredata://";
}

std::string ManagedObjectID::uriRepresentation(std::string_view storeIdentifier) const {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, primaryKey).ptr;
    std::string out;
    out.reserve(kScheme.size() + storeIdentifier.size() + entityName.size() + 3 + size_t(end - digits));
    out.append(kScheme).append(storeIdentifier).append("/").append(entityName).append("/p").append(digits, end);
    return out;
}

std::optional<ManagedObjectID> ManagedObjectID::fromURIRepresentation(std::string_view uri,
                                                                      std::string_view storeIdentifier) {
    if (uri.substr(0, kScheme.size()) != kScheme) return std::nullopt;
    uri.remove_prefix(kScheme.size());
    if (uri.substr(0, storeIdentifier.size()) != storeIdentifier || uri.size() <= storeIdentifier.size() ||
        uri[storeIdentifier.size()] != '/')
        return std::nullopt;
    uri.remove_prefix(storeIdentifier.size() + 1);
    size_t slash = uri.rfind("/p");
    if (slash == std::string_view::npos || slash == 0) return std::nullopt;
    std::string_view digits = uri.substr(slash + 2);
    int64_t key = 0;
    auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), key);
    if (ec != std::errc() || end != digits.data() + digits.size() || digits.empty() || key <= 0)
        return std::nullopt;
    return ManagedObjectID{std::string(uri.substr(0, slash)), key};
}

}  // namespace brindlecue::platform
