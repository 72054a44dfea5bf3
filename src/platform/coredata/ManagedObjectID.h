#pragma once

#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace brindlecue::platform {

// The identity of a stored object: its entity and its row's primary key. Keys are assigned when an
// object is inserted and never reused, so an id is stable for the object's whole life.
struct ManagedObjectID {
    std::string entityName;
    int64_t primaryKey = 0;

    // "x-coredata://<store identifier>/<entity>/p<key>", the platform's URI form.
    std::string uriRepresentation(std::string_view storeIdentifier) const;
    // The id of a URI of the given store; none for another store or a malformed URI.
    static std::optional<ManagedObjectID> fromURIRepresentation(std::string_view uri,
                                                                std::string_view storeIdentifier);

    auto operator<=>(const ManagedObjectID&) const = default;
    bool operator==(const ManagedObjectID&) const = default;
};

}  // namespace brindlecue::platform
