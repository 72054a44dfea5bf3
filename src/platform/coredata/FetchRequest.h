#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "platform/coredata/Predicate.h"

namespace brindlecue::platform {

// Orders results by the value at a key path; nil sorts before any value.
struct SortDescriptor {
    std::string key;
    bool ascending = true;
};

// What a context fetches or counts: the objects of one entity that satisfy the predicate (all of
// them without one), in the order of the sort descriptors (unspecified without any), at most
// fetchLimit of them (0: no limit).
class FetchRequest {
public:
    explicit FetchRequest(std::string entityName) : entityName_(std::move(entityName)) {}

    const std::string& entityName() const { return entityName_; }
    const PredicatePtr& predicate() const { return predicate_; }
    void setPredicate(PredicatePtr predicate) { predicate_ = std::move(predicate); }
    const std::vector<SortDescriptor>& sortDescriptors() const { return sortDescriptors_; }
    void setSortDescriptors(std::vector<SortDescriptor> descriptors) {
        sortDescriptors_ = std::move(descriptors);
    }
    size_t fetchLimit() const { return fetchLimit_; }
    void setFetchLimit(size_t limit) { fetchLimit_ = limit; }

private:
    std::string entityName_;
    PredicatePtr predicate_;
    std::vector<SortDescriptor> sortDescriptors_;
    size_t fetchLimit_ = 0;
};

}  // namespace brindlecue::platform
