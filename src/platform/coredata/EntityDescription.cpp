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
    attributes_.push_back(AttributeDescription{std::move(name), type, optional, std::move(defaultValue), {}});
    index(attributes_, attributeSlots_, attributeIndex_);
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
    attributes_.push_back(AttributeDescription{std::move(name), AttributeType::Transformable, optional,
                                               Value(), std::move(valueTransformerName)});
    index(attributes_, attributeSlots_, attributeIndex_);
    return *this;
}

EntityDescription& EntityDescription::addToOneRelationship(std::string name, std::string destinationEntity,
                                                           std::string inverseName, DeleteRule rule) {
    relationships_.push_back(RelationshipDescription{std::move(name), std::move(destinationEntity),
                                                     std::move(inverseName), false, rule});
    index(relationships_, relationshipSlots_, relationshipIndex_);
    return *this;
}

EntityDescription& EntityDescription::addToManyRelationship(std::string name, std::string destinationEntity,
                                                            std::string inverseName, DeleteRule rule) {
    relationships_.push_back(RelationshipDescription{std::move(name), std::move(destinationEntity),
                                                     std::move(inverseName), true, rule});
    index(relationships_, relationshipSlots_, relationshipIndex_);
    return *this;
}

namespace {

// Names at most half the table's size are kept in it, so that a probe soon meets a free slot.
constexpr size_t kTableLimit = 32;

size_t slotOf(std::string_view name, size_t slots) {
    size_t h = name.size();
    if (!name.empty())
        h ^= static_cast<size_t>(static_cast<unsigned char>(name.front())) * 7 +
             static_cast<size_t>(static_cast<unsigned char>(name.back())) * 31 +
             static_cast<size_t>(static_cast<unsigned char>(name[name.size() / 2])) * 3;
    return h & (slots - 1);
}

}  // namespace

template <class Described>
void EntityDescription::index(const std::vector<Described>& items, Slots& slots, NameMap& map) {
    const int added = static_cast<int>(items.size()) - 1;
    map[items.back().name] = added;
    if (items.size() > kTableLimit) return;
    if (items.size() == 1) slots.fill(-1);
    // The last of equal names takes the slot of the earlier one.
    for (size_t s = slotOf(items.back().name, kSlots);; s = (s + 1) & (kSlots - 1)) {
        if (slots[s] < 0 || items[static_cast<size_t>(slots[s])].name == items.back().name) {
            slots[s] = static_cast<int8_t>(added);
            return;
        }
    }
}

template <class Described>
int EntityDescription::find(const std::vector<Described>& items, const Slots& slots, const NameMap& map,
                            std::string_view name) {
    if (items.size() > kTableLimit) {
        auto it = map.find(name);
        return it == map.end() ? -1 : it->second;
    }
    if (items.empty()) return -1;
    for (size_t s = slotOf(name, kSlots);; s = (s + 1) & (kSlots - 1)) {
        const int i = slots[s];
        if (i < 0) return -1;
        if (items[static_cast<size_t>(i)].name == name) return i;
    }
}

int EntityDescription::attributeIndex(std::string_view name) const {
    return find(attributes_, attributeSlots_, attributeIndex_, name);
}

int EntityDescription::relationshipIndex(std::string_view name) const {
    return find(relationships_, relationshipSlots_, relationshipIndex_, name);
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
