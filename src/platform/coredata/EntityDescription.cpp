#include "platform/coredata/EntityDescription.h"

#include <atomic>
#include <cstring>
#include <utility>

#include "platform/coredata/ManagedObject.h"

namespace brindlecue::platform {

EntityDescription::EntityDescription(std::string name) : name_(std::move(name)) {
    revise();
    struct Plain final : ManagedObject {};
    setObjectClass<Plain>();
}

EntityDescription& EntityDescription::addAttribute(std::string name, AttributeType type, bool optional,
                                                   Value defaultValue) {
    attributes_.push_back(AttributeDescription{std::move(name), type, optional, std::move(defaultValue), {}});
    index(attributes_, attributeSlots_, attributeIndex_);
    revise();
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
    revise();
    return *this;
}

EntityDescription& EntityDescription::addToOneRelationship(std::string name, std::string destinationEntity,
                                                           std::string inverseName, DeleteRule rule) {
    relationships_.push_back(RelationshipDescription{std::move(name), std::move(destinationEntity),
                                                     std::move(inverseName), false, rule});
    index(relationships_, relationshipSlots_, relationshipIndex_);
    revise();
    return *this;
}

EntityDescription& EntityDescription::addToManyRelationship(std::string name, std::string destinationEntity,
                                                            std::string inverseName, DeleteRule rule) {
    relationships_.push_back(RelationshipDescription{std::move(name), std::move(destinationEntity),
                                                     std::move(inverseName), true, rule});
    index(relationships_, relationshipSlots_, relationshipIndex_);
    revise();
    return *this;
}

void EntityDescription::revise() {
    // Never 0, never reused: a key that remembers an index by revision cannot take another
    // entity's, or an earlier layout's, for this one.
    static std::atomic<uint64_t> revisions{0};
    revision_ = revisions.fetch_add(1, std::memory_order_relaxed) + 1;
}

namespace {

// Names at most half the table's size are kept in it, so that a probe soon meets a free slot.
constexpr size_t kTableLimit = 32;

uint64_t load64(const char* p) {
    uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

uint32_t load32(const char* p) {
    uint32_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// Two words that, with the length, are the whole name when it has at most 16 bytes: its first and
// last eight (or four) bytes, overlapping in a shorter name; a name under four bytes by its first,
// middle and last byte.
struct NameKey {
    uint64_t first;
    uint64_t last;
};

NameKey keyOf(std::string_view name) {
    const char* p = name.data();
    const size_t n = name.size();
    if (n >= 8) return {load64(p), load64(p + n - 8)};
    if (n >= 4) return {load32(p), load32(p + n - 4)};
    if (n == 0) return {0, 0};
    return {static_cast<uint64_t>(static_cast<unsigned char>(p[0])) |
                static_cast<uint64_t>(static_cast<unsigned char>(p[n / 2])) << 8 |
                static_cast<uint64_t>(static_cast<unsigned char>(p[n - 1])) << 16,
            0};
}

size_t slotOf(const NameKey& key, size_t size, size_t slots) {
    const uint64_t h = (key.first * 0x9E3779B97F4A7C15ull) ^ (key.last * 0xC2B2AE3D27D4EB4Full) ^ size;
    return static_cast<size_t>(h ^ (h >> 29) ^ (h >> 47)) & (slots - 1);
}

}  // namespace

template <class Described>
void EntityDescription::index(const std::vector<Described>& items, Slots& slots, NameMap& map) {
    const int added = static_cast<int>(items.size()) - 1;
    const std::string& name = items.back().name;
    if (items.size() > kTableLimit) {
        // Past the table's limit the map finds every name: it takes the earlier ones when the
        // limit is first passed, in order, so that of equal names the last is found there too.
        if (map.empty())
            for (int i = 0; i < added; ++i) map[items[static_cast<size_t>(i)].name] = i;
        map[name] = added;
        return;
    }
    const NameKey key = keyOf(name);
    // The last of equal names takes the slot of the earlier one.
    for (size_t s = slotOf(key, name.size(), kSlots);; s = (s + 1) & (kSlots - 1)) {
        Slot& slot = slots[s];
        if (slot.index < 0 || items[static_cast<size_t>(slot.index)].name == name) {
            slot = Slot{key.first, key.last, static_cast<uint32_t>(name.size()), added};
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
    const NameKey key = keyOf(name);
    for (size_t s = slotOf(key, name.size(), kSlots);; s = (s + 1) & (kSlots - 1)) {
        const Slot& slot = slots[s];
        if (slot.index < 0) return -1;
        if (slot.size == name.size() && slot.first == key.first && slot.last == key.last &&
            (name.size() <= 16 || items[static_cast<size_t>(slot.index)].name == name))
            return slot.index;
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
