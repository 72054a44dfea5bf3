#include "platform/KeyedArchiver.h"

#include <gtest/gtest.h>
#include <plist/plist.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>

#include "platform/BinaryPropertyList.h"

namespace brindlecue::platform {
namespace {

Data readTestData(const std::string& name) {
    std::ifstream in(std::filesystem::path(BRINDLECUE_SOURCE_DIR) / "src/platform/test-data" / name,
                     std::ios::binary);
    return Data(std::istreambuf_iterator<char>(in), {});
}

// What keyed-archive-values.bplist holds (written by the earlier archiver, built on libplist).
Value storedValues() {
    Array items;
    for (int i = 0; i < 300; ++i) items.push_back(Value("item-" + std::to_string(i)));
    return Value::dictionary({
        {"text", "Welcome"},
        {"again", "Welcome"},
        {"empty", ""},
        {"unicode", "Gr\xC3\xBC\xC3\x9F" "e \xE2\x80\x93 \xE2\x9C\x93 \xE6\x97\xA5\xE6\x9C\xAC"},
        {"null", Value::null()},
        {"yes", true},
        {"no", false},
        {"ints", Value::array({0, 1, 255, 256, 65535, 65536, int64_t(4294967296LL),
                               std::numeric_limits<int64_t>::max(), -1, -42, std::numeric_limits<int64_t>::min()})},
        {"reals", Value::array({0.5, -1e300, 3.0, 0.1})},
        {"when", Date::fromTimeIntervalSince1970(1718459130.25)},
        {"bytes", Data{0, 1, 255}},
        {"nobytes", Data{}},
        {"nested", Value::dictionary({{"text", "inner"},
                                      {"list", Value::array({Value::dictionary({{"text", "deep"}}), Value::array(),
                                                             Value::dictionary()})}})},
        {"items", Value(items)},
    });
}

// The property-list tree of binary property-list bytes, as libplist renders it in XML: two
// archives with the same text hold the same objects under the same numbers.
std::string plistTree(const Data& bytes) {
    plist_t root = nullptr;
    plist_from_bin(reinterpret_cast<const char*>(bytes.data()), static_cast<uint32_t>(bytes.size()), &root);
    if (root == nullptr) return "(unreadable)";
    char* xml = nullptr;
    uint32_t length = 0;
    plist_to_xml(root, &xml, &length);
    std::string out(xml, length);
    free(xml);
    plist_free(root);
    return out;
}

// The same archive as libplist writes it (its own widths, sharing and number forms).
Data rewrittenByLibplist(const Data& bytes) {
    plist_t root = nullptr;
    plist_from_bin(reinterpret_cast<const char*>(bytes.data()), static_cast<uint32_t>(bytes.size()), &root);
    char* out = nullptr;
    uint32_t length = 0;
    if (root != nullptr) plist_to_bin(root, &out, &length);
    Data result(reinterpret_cast<uint8_t*>(out), reinterpret_cast<uint8_t*>(out) + length);
    free(out);
    plist_free(root);
    return result;
}

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
    Value extra;
    std::vector<std::string> archivedClassNames() const override { return {"Drawing", "Shape"}; }
    void encodeWithCoder(KeyedArchiver& coder) const override {
        Shape::encodeWithCoder(coder);
        coder.encodeBool(filled, "filled");
        coder.encodeDouble(scale, "scale");
        coder.encodeObject(inner, "inner");
        coder.encodeObjects({parts.begin(), parts.end()}, "parts");
        coder.encodeObject(extra, "extra");
    }
};

void registerShapes() {
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
        drawing->extra = coder.decodeObjectForKey("extra");
        EXPECT_FALSE(coder.decodeObjectOfClass<Drawing>("inner"));  // a Shape is no Drawing
        EXPECT_FALSE(coder.containsValueForKey("missing"));
        return drawing;
    });
}

Drawing house() {
    Drawing drawing;
    drawing.name = "house";
    drawing.sides = -5;
    drawing.filled = true;
    drawing.scale = 2.5;
    drawing.inner = std::make_shared<Shape>();
    drawing.inner->name = "door";
    drawing.inner->sides = 4;
    drawing.parts = {drawing.inner, std::make_shared<Shape>()};
    return drawing;
}

TEST(KeyedArchiver, ObjectsOfRegisteredClassesComeBackAsTheirClass) {
    registerShapes();
    Data bytes = KeyedArchiver::archivedDataWithRootObject(house());

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


// Rows stored before the archiver wrote its property lists itself must still read, and what it
// writes now must be the same archive: the same objects under the same numbers.
TEST(KeyedArchiver, ReadsAndWritesTheArchivesStoredBefore) {
    Data stored = readTestData("keyed-archive-values.bplist");
    ASSERT_FALSE(stored.empty());
    auto back = KeyedArchiver::unarchiveObject(stored);
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, storedValues());
    EXPECT_EQ(back->getDictionary()->keys(), storedValues().getDictionary()->keys());
    EXPECT_EQ((*back)["ints"][10].getInteger(), std::numeric_limits<int64_t>::min());
    EXPECT_EQ(plistTree(KeyedArchiver::archivedData(storedValues())), plistTree(stored));

    registerShapes();
    Data storedObject = readTestData("keyed-archive-object.bplist");
    auto drawing = KeyedUnarchiver::unarchivedObjectOfClass<Drawing>(storedObject);
    ASSERT_TRUE(drawing);
    EXPECT_EQ(drawing->sides, -5);
    EXPECT_EQ(drawing->scale, 2.5);
    ASSERT_EQ(drawing->parts.size(), 2u);
    EXPECT_EQ(drawing->parts[0]->name, "door");
    EXPECT_EQ(drawing->extra, Value::dictionary({{"tags", Value::array({"a", "b"})}}));
    Drawing same = house();
    same.extra = drawing->extra;
    EXPECT_EQ(plistTree(KeyedArchiver::archivedDataWithRootObject(same)), plistTree(storedObject));
}

TEST(KeyedArchiver, ReadsWideTablesAndTextBeyondAscii) {
    // More than 65,536 objects and more than 64 KB: four-byte references and offsets, both as
    // written here and as libplist writes the same archive.
    Array items;
    for (int i = 0; i < 70000; ++i) items.push_back(Value(int64_t(i) * 1000003));
    Value big = Value::dictionary({{"items", Value(items)}, {"blob", Data(70000, 7)}});
    Data bytes = KeyedArchiver::archivedData(big);
    EXPECT_EQ(KeyedArchiver::unarchiveObject(bytes), big);
    EXPECT_EQ(KeyedArchiver::unarchiveObject(rewrittenByLibplist(bytes)), big);

    // Characters beyond the basic plane travel as surrogate pairs; bytes that are no UTF-8 are
    // written as U+FFFD rather than a broken string.
    Value text = Value::array({"emoji \xF0\x9F\x98\x80 and \xE2\x82\xAC", "bad \xC3 byte"});
    auto back = KeyedArchiver::unarchiveObject(KeyedArchiver::archivedData(text));
    ASSERT_TRUE(back);
    EXPECT_EQ((*back)[0], text[0]);
    EXPECT_EQ((*back)[1], Value("bad \xEF\xBF\xBD byte"));
    // libplist reads the UTF-16 written here as the same text.
    EXPECT_NE(plistTree(KeyedArchiver::archivedData(text)).find("emoji \xF0\x9F\x98\x80 and \xE2\x82\xAC"),
              std::string::npos);
}

// Builds keyed archives of any shape, hostile ones included.
struct CraftedArchive {
    bplist::Writer plist;
    std::vector<bplist::Ref> objects{plist.string("$null")};

    uint64_t add(bplist::Ref object) {
        objects.push_back(object);
        return objects.size() - 1;
    }
    bplist::Ref keyed(std::vector<std::pair<std::string, bplist::Ref>> entries) {
        std::vector<bplist::Ref> keys, values;
        for (auto& [k, v] : entries) {
            keys.push_back(plist.string(k));
            values.push_back(v);
        }
        return plist.dictionary(keys, values);
    }
    uint64_t addClass(const std::string& name) {
        const bplist::Ref names[] = {plist.string(name), plist.string("NSObject")};
        return add(keyed({{"$classname", plist.string(name)}, {"$classes", plist.array(names)}}));
    }
    // An array object whose elements are the archived objects given.
    bplist::Ref arrayOf(std::vector<uint64_t> elements, uint64_t arrayClass) {
        std::vector<bplist::Ref> refs;
        for (uint64_t e : elements) refs.push_back(plist.uid(e));
        return keyed({{"NS.objects", plist.array(refs)}, {"$class", plist.uid(arrayClass)}});
    }
    Data finish(uint64_t root) {
        bplist::Ref rootKey = plist.string("root"), rootRef = plist.uid(root);
        const bplist::Ref keys[] = {plist.string("$archiver"), plist.string("$top"), plist.string("$objects")};
        const bplist::Ref values[] = {plist.string("NSKeyedArchiver"), plist.dictionary({&rootKey, 1}, {&rootRef, 1}),
                                      plist.array(objects)};
        return plist.finish(plist.dictionary(keys, values));
    }
};

// A chain of arrays, each holding the next one `width` times.
Data nestedArrays(int depth, int width) {
    CraftedArchive archive;
    uint64_t cls = archive.addClass("NSMutableArray");
    uint64_t inner = archive.add(archive.plist.string("leaf"));
    for (int i = 0; i < depth; ++i) inner = archive.add(archive.arrayOf(std::vector<uint64_t>(width, inner), cls));
    return archive.finish(inner);
}

TEST(KeyedArchiver, RefusesCyclesDeepNestingAndBrokenTablesWithoutCrashing) {
    {
        CraftedArchive archive;
        uint64_t cls = archive.addClass("NSMutableArray");
        archive.objects.push_back(0);
        archive.objects.back() = archive.arrayOf({2}, cls);  // object 2 holds itself
        EXPECT_EQ(KeyedArchiver::unarchiveObject(archive.finish(2)), std::nullopt);
    }
    EXPECT_TRUE(KeyedArchiver::unarchiveObject(nestedArrays(400, 1)));
    EXPECT_EQ(KeyedArchiver::unarchiveObject(nestedArrays(600, 1)), std::nullopt);
    // Objects referenced twice over: a few levels read whole; 2^60 paths through 60 objects
    // would be a value too large to walk, and are refused.
    auto shared = KeyedArchiver::unarchiveObject(nestedArrays(6, 2));
    ASSERT_TRUE(shared);
    EXPECT_EQ((*shared)[1][0][1][0][1][0], Value("leaf"));
    EXPECT_EQ(KeyedArchiver::unarchiveObject(nestedArrays(60, 2)), std::nullopt);

    Data good = KeyedArchiver::archivedData(Value::dictionary({{"a", Value::array({1, "two", 3.5})}}));
    // Every cut-short archive is refused.
    for (size_t n = 0; n < good.size(); ++n)
        EXPECT_EQ(KeyedArchiver::unarchiveObject(Data(good.begin(), good.begin() + n)), std::nullopt) << n;
    // Trailers that claim more objects than there are, or an offset table beyond the bytes.
    Data claims = good;
    claims[claims.size() - 17] = 0xFF;  // object count
    EXPECT_EQ(KeyedArchiver::unarchiveObject(claims), std::nullopt);
    claims = good;
    claims[claims.size() - 2] = 0xFF;  // offset table
    EXPECT_EQ(KeyedArchiver::unarchiveObject(claims), std::nullopt);
    // Any single damaged byte: whatever still reads is a whole value that archives again.
    for (size_t i = 0; i < good.size(); ++i) {
        for (uint8_t change : {0x00, 0x01, 0x0F, 0x80, 0xFF}) {
            Data damaged = good;
            damaged[i] ^= change;
            if (auto value = KeyedArchiver::unarchiveObject(damaged)) {
                EXPECT_EQ(KeyedArchiver::unarchiveObject(KeyedArchiver::archivedData(*value)), value) << i << value->description();
            }
        }
    }
}

// Archives the fuzzer found troublesome: each reads (or is refused) and what reads can be written
// out and described.
TEST(KeyedArchiver, ReadsTheArchivesTheFuzzerFound) {
    registerShapes();
    int found = 0;
    for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(BRINDLECUE_SOURCE_DIR) /
                                                                 "src/platform/test-data")) {
        std::string name = entry.path().filename().string();
        if (name.rfind("keyed-archive-crash-", 0) != 0) continue;
        ++found;
        Data bytes = readTestData(name);
        auto value = KeyedArchiver::unarchiveObject(bytes);
        if (value) {
            EXPECT_FALSE(value->description().empty()) << name;
            EXPECT_EQ(KeyedArchiver::archivedData(*KeyedArchiver::unarchiveObject(KeyedArchiver::archivedData(*value))),
                      KeyedArchiver::archivedData(*value))
                << name;
        }
        if (auto drawing = KeyedUnarchiver::unarchivedObjectOfClass<Drawing>(bytes)) {
            EXPECT_FALSE(drawing->extra.description().empty()) << name;
        }
    }
    EXPECT_GE(found, 2);
}

// A keyed object with two references to the same child, the child likewise, and so on.
struct Pair final : SecureCoding {
    std::shared_ptr<Pair> left, right;
    int64_t count = 0;
    std::vector<std::string> archivedClassNames() const override { return {"Pair"}; }
    void encodeWithCoder(KeyedArchiver&) const override {}
};

TEST(KeyedArchiver, BoundsTheWorkOfSharedObjectsAndReadsOddNumbersSafely) {
    static std::atomic<int> made{0};
    KeyedUnarchiver::registerClass("Pair", [](KeyedUnarchiver& coder) -> std::shared_ptr<SecureCoding> {
        ++made;
        auto pair = std::make_shared<Pair>();
        pair->left = coder.decodeObjectOfClass<Pair>("left");
        pair->right = coder.decodeObjectOfClass<Pair>("right");
        pair->count = coder.decodeInt64ForKey("count");
        return pair;
    });
    CraftedArchive archive;
    uint64_t cls = archive.addClass("Pair");
    uint64_t child = 0;
    for (int i = 0; i < 60; ++i) {
        std::vector<std::pair<std::string, bplist::Ref>> entries{{"$class", archive.plist.uid(cls)}};
        if (child != 0) {
            entries.emplace_back("left", archive.plist.uid(child));
            entries.emplace_back("right", archive.plist.uid(child));
        }
        child = archive.add(archive.keyed(entries));
    }
    Data bytes = archive.finish(child);
    made = 0;
    KeyedUnarchiver::unarchivedObject(bytes);
    EXPECT_GT(made, 60);
    EXPECT_LE(made, 16 * static_cast<int>(bytes.size()) + 4096);

    // Numbers a reader asks for as integers: reals out of range saturate, NaN reads as 0.
    for (auto [real, expected] : std::vector<std::pair<double, int64_t>>{
             {1e300, std::numeric_limits<int64_t>::max()},
             {-1e300, std::numeric_limits<int64_t>::min()},
             {std::nan(""), 0},
             {-7.9, -7}}) {
        CraftedArchive odd;
        uint64_t pairClass = odd.addClass("Pair");
        uint64_t root =
            odd.add(odd.keyed({{"$class", odd.plist.uid(pairClass)}, {"count", odd.plist.real(real)}}));
        auto pair = KeyedUnarchiver::unarchivedObjectOfClass<Pair>(odd.finish(root));
        ASSERT_TRUE(pair);
        EXPECT_EQ(pair->count, expected) << real;
    }
}

}  // namespace
}  // namespace brindlecue::platform
