#include "platform/KeyedArchiver.h"

#include <gtest/gtest.h>

namespace brindlecue::platform {
namespace {

TEST(KeyedArchiver, RoundTripsEveryKindKeepingKeyOrder) {
    Value root = Value::dictionary({
        {"z", "text"},
        {"a", Value::null()},
        {"flag", true},
        {"count", -42},
        {"ratio", 0.5},
        {"when", Date::fromTimeIntervalSince1970(1718459130.25)},
        {"bytes", Data{0, 1, 255}},
        {"list", Value::array({1, "two", Value::array(), Value::dictionary()})},
    });
    auto back = KeyedArchiver::unarchiveObject(KeyedArchiver::archivedData(root));
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, root);
    EXPECT_EQ(back->getDictionary()->keys(), root.getDictionary()->keys());
    EXPECT_TRUE((*back)["count"].isInteger());
    EXPECT_TRUE((*back)["flag"].isBool());

    auto nil = KeyedArchiver::unarchiveObject(KeyedArchiver::archivedData(Value()));
    ASSERT_TRUE(nil);
    EXPECT_TRUE(nil->isAbsent());
}

TEST(KeyedArchiver, RefusesWhatIsNotAnArchive) {
    EXPECT_EQ(KeyedArchiver::unarchiveObject({}), std::nullopt);
    EXPECT_EQ(KeyedArchiver::unarchiveObject(Data{'n', 'o', 't'}), std::nullopt);
    auto plain = Value::dictionary({{"a", 1}}).toPropertyList(PropertyListFormat::Binary);
    EXPECT_EQ(KeyedArchiver::unarchiveObject(*plain), std::nullopt);
}

// Two small classes of the kind the library archives: a base with a derived class, one holding
// the other.
struct Shape : SecureCoding {
    std::string name;
    int64_t sides = 0;
    std::vector<std::string> archivedClassNames() const override { return {"Shape"}; }
    void encodeWithCoder(KeyedArchiver& coder) const override {
        coder.encodeObject(Value(name), "name");
        coder.encodeInt64(sides, "sides");
    }
    static std::shared_ptr<SecureCoding> decode(KeyedUnarchiver& coder) {
        auto shape = std::make_shared<Shape>();
        shape->name = coder.decodeObjectForKey("name").stringValue();
        shape->sides = coder.decodeInt64ForKey("sides");
        return shape;
    }
};

struct Drawing final : Shape {
    bool filled = false;
    double scale = 0;
    std::shared_ptr<Shape> inner;
    std::vector<std::shared_ptr<Shape>> parts;
    std::vector<std::string> archivedClassNames() const override { return {"Drawing", "Shape"}; }
    void encodeWithCoder(KeyedArchiver& coder) const override {
        Shape::encodeWithCoder(coder);
        coder.encodeBool(filled, "filled");
        coder.encodeDouble(scale, "scale");
        coder.encodeObject(inner, "inner");
        coder.encodeObjects({parts.begin(), parts.end()}, "parts");
    }
};

TEST(KeyedArchiver, ObjectsOfRegisteredClassesComeBackAsTheirClass) {
    KeyedUnarchiver::registerClass("Shape", &Shape::decode);
    KeyedUnarchiver::registerClass("Drawing", [](KeyedUnarchiver& coder) -> std::shared_ptr<SecureCoding> {
        auto drawing = std::make_shared<Drawing>();
        drawing->name = coder.decodeObjectForKey("name").stringValue();
        drawing->sides = coder.decodeInt64ForKey("sides");
        drawing->filled = coder.decodeBoolForKey("filled");
        drawing->scale = coder.decodeDoubleForKey("scale");
        drawing->inner = coder.decodeObjectOfClass<Shape>("inner");
        drawing->parts =
            coder.decodeArrayOfObjectsOfClass<Shape>("parts").value_or(std::vector<std::shared_ptr<Shape>>{});
        EXPECT_FALSE(coder.decodeObjectOfClass<Drawing>("inner"));  // a Shape is no Drawing
        EXPECT_FALSE(coder.containsValueForKey("missing"));
        return drawing;
    });

    Drawing drawing;
    drawing.name = "house";
    drawing.sides = -5;
    drawing.filled = true;
    drawing.scale = 2.5;
    drawing.inner = std::make_shared<Shape>();
    drawing.inner->name = "door";
    drawing.inner->sides = 4;
    drawing.parts = {drawing.inner, std::make_shared<Shape>()};
    Data bytes = KeyedArchiver::archivedDataWithRootObject(drawing);

    auto back = KeyedUnarchiver::unarchivedObjectOfClass<Drawing>(bytes);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->name, "house");
    EXPECT_EQ(back->sides, -5);
    EXPECT_TRUE(back->filled);
    EXPECT_EQ(back->scale, 2.5);
    ASSERT_TRUE(back->inner);
    EXPECT_EQ(back->inner->name, "door");
    EXPECT_EQ(back->inner->sides, 4);
    ASSERT_EQ(back->parts.size(), 2u);
    EXPECT_EQ(back->parts[0]->name, "door");

    // Asked for as its base class it still comes back; a plain value archive is no object.
    EXPECT_TRUE(KeyedUnarchiver::unarchivedObjectOfClass<Shape>(bytes));
    EXPECT_FALSE(
        KeyedUnarchiver::unarchivedObject(KeyedArchiver::archivedData(Value::dictionary({{"a", 1}}))));
    // A class nobody registered is not made.
    struct Unknown final : SecureCoding {
        std::vector<std::string> archivedClassNames() const override { return {"Unknown"}; }
        void encodeWithCoder(KeyedArchiver&) const override {}
    };
    EXPECT_FALSE(KeyedUnarchiver::unarchivedObject(KeyedArchiver::archivedDataWithRootObject(Unknown())));
}

}  // namespace
}  // namespace brindlecue::platform
