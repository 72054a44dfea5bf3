#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/Value.h"

namespace brindlecue::platform {

class ManagedObject;

enum class AttributeType {
    String,
    Integer16,
    Integer32,
    Integer64,
    Double,
    Boolean,
    Date,
    Binary,
    Transformable
};

struct AttributeDescription {
    std::string name;
    AttributeType type = AttributeType::String;
    bool optional = true;
    // The value a newly inserted object starts with (absent: nil).
    Value defaultValue;
    // Transformable attributes only: the name under which the value transformer is registered.
    std::string valueTransformerName;
    // The store keeps an index on the attribute's column (for attributes that fetches look up by).
    bool indexed = false;
};

// What deleting an object does to the objects on the other side of a relationship.
enum class DeleteRule { Nullify, Cascade };

// Every relationship has an inverse. A to-one relationship is stored with its object (the row
// keeps the related row's key); a to-many relationship is the set of objects whose to-one inverse
// names this object.
struct RelationshipDescription {
    std::string name;
    std::string destinationEntity;
    std::string inverseName;
    bool toMany = false;
    DeleteRule deleteRule = DeleteRule::Nullify;
};

// One entity of a model: its name, attributes and relationships in declaration order, and the
// managed-object class its objects are made of (ManagedObject unless setObjectClass says otherwise).
// Built once, then handed to a ManagedObjectModel, after which it is not changed.
class EntityDescription {
public:
    using Factory = std::function<std::shared_ptr<ManagedObject>()>;

    explicit EntityDescription(std::string name);

    const std::string& name() const { return name_; }

    EntityDescription& addAttribute(std::string name, AttributeType type, bool optional = true,
                                    Value defaultValue = Value());
    EntityDescription& addTransformableAttribute(std::string name, std::string valueTransformerName,
                                                 bool optional = true);
    // Indexes an attribute added before; an unknown name changes nothing.
    EntityDescription& addIndex(std::string_view attribute);
    EntityDescription& addToOneRelationship(std::string name, std::string destinationEntity,
                                            std::string inverseName, DeleteRule rule = DeleteRule::Nullify);
    EntityDescription& addToManyRelationship(std::string name, std::string destinationEntity,
                                             std::string inverseName, DeleteRule rule = DeleteRule::Nullify);

    // Objects of this entity are made as T, a subclass of ManagedObject with a default constructor.
    template <class T>
    EntityDescription& setObjectClass() {
        factory_ = [] { return std::static_pointer_cast<ManagedObject>(std::make_shared<T>()); };
        return *this;
    }
    const Factory& factory() const { return factory_; }

    const std::vector<AttributeDescription>& attributes() const { return attributes_; }
    const std::vector<RelationshipDescription>& relationships() const { return relationships_; }
    // Index into attributes() / relationships(), or -1.
    int attributeIndex(std::string_view name) const;
    int relationshipIndex(std::string_view name) const;
    const AttributeDescription* attribute(std::string_view name) const;
    const RelationshipDescription* relationship(std::string_view name) const;
    // Changes whenever a name is added: what was found by name in one revision holds in it.
    uint64_t revision() const { return revision_; }

private:
    std::string name_;
    std::vector<AttributeDescription> attributes_;
    std::vector<RelationshipDescription> relationships_;
    // Names are looked up on every read and write of a value. An entity of a few names finds them
    // in a small open-addressed table keyed on the name's length and two words of its bytes, which
    // tell names of up to 16 bytes apart without comparing texts; larger entities through a hashed
    // map, found by a view.
    static constexpr size_t kSlots = 64;
    struct Slot {
        uint64_t first = 0;
        uint64_t last = 0;
        uint32_t size = 0;
        int32_t index = -1;
    };
    using Slots = std::array<Slot, kSlots>;
    struct NameHash {
        using is_transparent = void;
        size_t operator()(std::string_view name) const noexcept { return std::hash<std::string_view>{}(name); }
    };
    using NameMap = std::unordered_map<std::string, int, NameHash, std::equal_to<>>;
    template <class Described>
    static void index(const std::vector<Described>& items, Slots& slots, NameMap& map);
    template <class Described>
    static int find(const std::vector<Described>& items, const Slots& slots, const NameMap& map,
                    std::string_view name);
    Slots attributeSlots_{};
    Slots relationshipSlots_{};
    NameMap attributeIndex_;
    NameMap relationshipIndex_;
    Factory factory_;
    uint64_t revision_ = 0;
    void revise();
};

}  // namespace brindlecue::platform
