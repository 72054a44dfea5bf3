#include "platform/coredata/EntityDescription.h"

#include <utility>

#include "platform/coredata/ManagedObject.h"

namespace brindlecue::platform {

EntityDescription::EntityDescription(std::string name) : name_(std::move(name)) {
    struct Plain final : ManagedObject {};
    setObjectClass<Plain>();
}

EntityDescription& EntityDescription::addAttribute(std::string name, AttributeType type, bool optional,
                                                   Value defaultValue) {
    attributeIndex_[name] = static_cast<int>(attributes_.size());
    attributes_.push_back(AttributeDescription{std::move(name), type, optional, std::move(defaultValue), {}});
    return *this;
}

EntityDescription& EntityDescription::addIndex(std::string_view attribute) {
    int i = attributeIndex(attribute);
    if (i >= 0) attributes_[static_cast<size_t>(i)].indexed = true;
    return *this;
}

EntityDescription& EntityDescription::addTransformableAttribute(std::string name,
                                                                std::string valueTransformerName,
                                                                bool optional) {
    attributeIndex_[name] = static_cast<int>(attributes_.size());
    attributes_.push_back(AttributeDescription{std::move(name), AttributeType::Transformable, optional,
                                               Value(), std::move(valueTransformerName)});
    return *this;
}

EntityDescription& EntityDescription::addToOneRelationship(std::string name, std::string destinationEntity,
                                                           std::string inverseName, DeleteRule rule) {
    relationshipIndex_[name] = static_cast<int>(relationships_.size());
    relationships_.push_back(RelationshipDescription{std::move(name), std::move(destinationEntity),
                                                     std::move(inverseName), false, rule});
    return *this;
}

EntityDescription& EntityDescription::addToManyRelationship(std::string name, std::string destinationEntity,
                                                            std::string inverseName, DeleteRule rule) {
    relationshipIndex_[name] = static_cast<int>(relationships_.size());
    relationships_.push_back(RelationshipDescription{std::move(name), std::move(destinationEntity),
                                                     std::move(inverseName), true, rule});
    return *this;
}

namespace {

// Entities of a few names are searched name by name (lengths tell most apart at once), faster than
// hashing the name; the last of equal names wins, as in the index.
constexpr size_t kScanLimit = 16;

template <class Described>
int scan(const std::vector<Described>& items, std::string_view name) {
    for (size_t i = items.size(); i-- > 0;)
        if (items[i].name == name) return static_cast<int>(i);
    return -1;
}

}  // namespace

int EntityDescription::attributeIndex(std::string_view name) const {
    if (attributes_.size() <= kScanLimit) return scan(attributes_, name);
    auto it = attributeIndex_.find(name);
    return it == attributeIndex_.end() ? -1 : it->second;
}

int EntityDescription::relationshipIndex(std::string_view name) const {
    if (relationships_.size() <= kScanLimit) return scan(relationships_, name);
    auto it = relationshipIndex_.find(name);
    return it == relationshipIndex_.end() ? -1 : it->second;
}

const AttributeDescription* EntityDescription::attribute(std::string_view name) const {
    int i = attributeIndex(name);
    return i < 0 ? nullptr : &attributes_[static_cast<size_t>(i)];
}

const RelationshipDescription* EntityDescription::relationship(std::string_view name) const {
    int i = relationshipIndex(name);
    return i < 0 ? nullptr : &relationships_[static_cast<size_t>(i)];
}

}  // namespace brindlecue::platform
