// libFuzzer target for the keyed-archive reader (see fuzz/README.md): campaign rows and archived
// objects are read from disk, where they may be damaged.
//
// Every input is read as an untyped value and as an object of two registered classes. Whatever
// reads as a value must be whole: written again it reads back, and writes the same bytes.
#include <cstdlib>

#include "platform/KeyedArchiver.h"

namespace {

using namespace brindlecue::platform;

struct Shape : SecureCoding {
    std::string name;
    int64_t sides = 0;
    std::vector<std::string> archivedClassNames() const override { return {"Shape"}; }
    void encodeWithCoder(KeyedArchiver& coder) const override {
        coder.encodeObject(Value(name), "name");
        coder.encodeInt64(sides, "sides");
    }
};

struct Drawing final : Shape {
    bool filled = false;
    double scale = 0;
    std::shared_ptr<Shape> inner;
    std::vector<std::shared_ptr<Shape>> parts;
    Value extra;
    std::vector<std::string> archivedClassNames() const override { return {"Drawing", "Shape"}; }
};

void readShape(KeyedUnarchiver& coder, Shape& shape) {
    shape.name = coder.decodeObjectForKey("name").stringValue();
    shape.sides = coder.decodeInt64ForKey("sides");
}

bool registerClasses() {
    KeyedUnarchiver::registerClass("Shape", [](KeyedUnarchiver& coder) -> std::shared_ptr<SecureCoding> {
        auto shape = std::make_shared<Shape>();
        readShape(coder, *shape);
        return shape;
    });
    KeyedUnarchiver::registerClass("Drawing", [](KeyedUnarchiver& coder) -> std::shared_ptr<SecureCoding> {
        auto drawing = std::make_shared<Drawing>();
        readShape(coder, *drawing);
        drawing->filled = coder.decodeBoolForKey("filled");
        drawing->scale = coder.decodeDoubleForKey("scale");
        drawing->inner = coder.decodeObjectOfClass<Shape>("inner");
        if (auto parts = coder.decodeArrayOfObjectsOfClass<Shape>("parts")) drawing->parts = *parts;
        drawing->extra = coder.decodeObjectForKey("extra");
        (void)coder.containsValueForKey("missing");
        return drawing;
    });
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool registered = registerClasses();
    (void)registered;
    Data bytes(data, data + size);
    if (auto value = KeyedArchiver::unarchiveObject(bytes)) {
        Data again = KeyedArchiver::archivedData(*value);
        auto back = KeyedArchiver::unarchiveObject(again);
        if (!back || KeyedArchiver::archivedData(*back) != again) std::abort();
        volatile size_t sink = value->description().size();
        (void)sink;
    }
    if (auto object = KeyedUnarchiver::unarchivedObject(bytes)) {
        if (auto drawing = std::dynamic_pointer_cast<Drawing>(object)) {
            volatile size_t sink = drawing->extra.description().size() + drawing->parts.size();
            (void)sink;
        }
    }
    return 0;
}
