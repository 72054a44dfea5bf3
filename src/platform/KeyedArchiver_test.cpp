#include "platform/KeyedArchiver.h"

#include <gtest/gtest.h>
#include <plist/plist.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <map>
#include <random>

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

// A keyed archiver of untyped values written the plain way, byte by byte, to hold the archiver's
// output to: objects are numbered as they are made, equal texts, numbers and dates are written
// once, and every container, data object and reference is an object of its own.
class ReferenceArchive {
public:
    ReferenceArchive() { push(string("$null")); }

    Data archive(const Value& root) {
        const uint64_t rootIndex = encode(root);
        const uint64_t objects = container(0xA, archived_);
        const uint64_t rootKey = string("root");
        const uint64_t rootRef = uid(rootIndex);
        const uint64_t top = container(0xD, {rootKey, rootRef});
        const uint64_t k1 = string("$version"), k2 = string("$archiver"), k3 = string("$top"),
                       k4 = string("$objects");
        const uint64_t version = integer(100000), archiver = string("NSKeyedArchiver");
        return file(container(0xD, {k1, k2, k3, k4, version, archiver, top, objects}));
    }

private:
    struct Object {
        std::vector<uint8_t> bytes;  // the whole object, but for a container's references
        std::vector<uint64_t> refs;
        bool container = false;
    };

    static unsigned width(uint64_t v) { return v <= 0xFF ? 1 : v <= 0xFFFF ? 2 : v <= 0xFFFFFFFFu ? 4 : 8; }
    static void big(std::vector<uint8_t>& out, uint64_t v, unsigned n) {
        for (unsigned i = n; i-- > 0;) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
    }
    static std::vector<uint8_t> marker(uint8_t type, uint64_t count) {
        std::vector<uint8_t> out;
        if (count < 15) return {static_cast<uint8_t>(type << 4 | count)};
        out.push_back(static_cast<uint8_t>(type << 4 | 0xF));
        const unsigned n = width(count);
        out.push_back(static_cast<uint8_t>(0x10 | (n == 1 ? 0 : n == 2 ? 1 : n == 4 ? 2 : 3)));
        big(out, count, n);
        return out;
    }

    uint64_t add(Object object) {
        objects_.push_back(std::move(object));
        return objects_.size() - 1;
    }
    uint64_t shared(std::vector<uint8_t> bytes) {
        auto [it, fresh] = shared_.emplace(bytes, objects_.size());
        if (fresh) add({std::move(bytes), {}});
        return it->second;
    }
    uint64_t container(uint8_t type, std::vector<uint64_t> refs) {
        return add({marker(type, type == 0xD ? refs.size() / 2 : refs.size()), std::move(refs), true});
    }
    uint64_t integer(int64_t v) {
        const unsigned n = v < 0 ? 8 : width(static_cast<uint64_t>(v));
        std::vector<uint8_t> bytes{static_cast<uint8_t>(0x10 | (n == 1 ? 0 : n == 2 ? 1 : n == 4 ? 2 : 3))};
        big(bytes, static_cast<uint64_t>(v), n);
        return shared(std::move(bytes));
    }
    uint64_t real(double v) {
        std::vector<uint8_t> bytes;
        const auto single = static_cast<float>(v);
        if (std::isfinite(v) && std::fabs(v) <= std::numeric_limits<float>::max() &&
            static_cast<double>(single) == v) {
            uint32_t bits = 0;
            std::memcpy(&bits, &single, 4);
            bytes.push_back(0x22);
            big(bytes, bits, 4);
        } else {
            uint64_t bits = 0;
            std::memcpy(&bits, &v, 8);
            bytes.push_back(0x23);
            big(bytes, bits, 8);
        }
        return shared(std::move(bytes));
    }
    uint64_t string(std::string_view text) {
        const bool ascii = std::all_of(text.begin(), text.end(), [](char c) { return c > 0; });
        std::vector<uint8_t> bytes;
        if (ascii) {
            bytes = marker(0x5, text.size());
            bytes.insert(bytes.end(), text.begin(), text.end());
            return shared(std::move(bytes));
        }
        // UTF-8 into UTF-16, a byte that starts no valid sequence giving U+FFFD on its own.
        std::vector<uint16_t> units;
        for (size_t i = 0; i < text.size();) {
            const auto b = static_cast<uint8_t>(text[i]);
            const size_t length = b < 0x80                ? 1
                                  : b >= 0xC0 && b < 0xE0 ? 2
                                  : b >= 0xE0 && b < 0xF0 ? 3
                                  : b >= 0xF0 && b < 0xF8 ? 4
                                                          : 0;
            char32_t c = length == 1 ? b : length == 2 ? b & 0x1F : length == 3 ? b & 0x0F : b & 0x07;
            bool valid = length > 0 && i + length <= text.size();
            for (size_t k = 1; valid && k < length; ++k) {
                const auto next = static_cast<uint8_t>(text[i + k]);
                valid = (next & 0xC0) == 0x80;
                c = c << 6 | (next & 0x3F);
            }
            const char32_t least = length == 2 ? 0x80 : length == 3 ? 0x800 : length == 4 ? 0x10000 : 0;
            if (!valid || c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
                units.push_back(0xFFFD);
                ++i;
                continue;
            }
            i += length;
            if (c >= 0x10000) {
                units.push_back(static_cast<uint16_t>(0xD800 + ((c - 0x10000) >> 10)));
                units.push_back(static_cast<uint16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
            } else {
                units.push_back(static_cast<uint16_t>(c));
            }
        }
        bytes = marker(0x6, units.size());
        for (uint16_t u : units) big(bytes, u, 2);
        return shared(std::move(bytes));
    }
    uint64_t uid(uint64_t index) {
        auto [it, fresh] = uids_.emplace(index, 0);
        if (fresh) {
            std::vector<uint8_t> bytes{static_cast<uint8_t>(0x80 | (width(index) - 1))};
            big(bytes, index, width(index));
            it->second = add({std::move(bytes), {}});
        }
        return it->second;
    }

    uint64_t push(uint64_t object) {
        archived_.push_back(object);
        return archived_.size() - 1;
    }
    uint64_t constant(std::string_view text) {
        auto [it, fresh] = constants_.emplace(std::string(text), 0);
        if (fresh) it->second = string(text);
        return it->second;
    }
    uint64_t classOf(const std::string& name, std::vector<std::string> chain) {
        auto [it, fresh] = classes_.emplace(name, 0);
        if (!fresh) return it->second;
        std::vector<uint64_t> names;
        for (const auto& c : chain) names.push_back(string(c));
        names.push_back(string("NSObject"));
        const uint64_t k1 = string("$classname"), k2 = string("$classes"), v1 = string(name);
        const uint64_t v2 = container(0xA, names);
        return it->second = push(container(0xD, {k1, k2, v1, v2}));
    }
    static constexpr uint64_t kNew = ~uint64_t{0};

    // An object of a platform class, in the place taken for it before its elements or (kNew) after
    // them; the reference to the class is made before the keys, but for arrays.
    uint64_t keyed(const std::string& cls, std::vector<std::string> chain, uint64_t self,
                   std::vector<std::pair<std::string, uint64_t>> entries) {
        const uint64_t classIndex = classOf(cls, std::move(chain));
        const uint64_t classRef = cls == "NSMutableArray" ? 0 : uid(classIndex);
        std::vector<uint64_t> keys, values;
        for (auto& [key, value] : entries) {
            keys.push_back(constant(key));
            values.push_back(value);
        }
        keys.push_back(constant("$class"));
        values.push_back(cls == "NSMutableArray" ? uid(classIndex) : classRef);
        keys.insert(keys.end(), values.begin(), values.end());
        const uint64_t object = container(0xD, keys);
        if (self == kNew) return push(object);
        archived_[self] = object;
        return self;
    }

    uint64_t encode(const Value& v) {
        switch (v.type()) {
            case Value::Type::Absent:
                return 0;
            case Value::Type::Null:
                return keyed("NSNull", {"NSNull"}, kNew, {});
            case Value::Type::Bool:
                return push(shared({static_cast<uint8_t>(*v.getBool() ? 0x09 : 0x08)}));
            case Value::Type::Integer:
                return push(integer(*v.getInteger()));
            case Value::Type::Real:
                return push(real(*v.getNumber()));
            case Value::Type::String:
                return push(string(*v.getString()));
            case Value::Type::Data: {
                std::vector<uint8_t> bytes = marker(0x4, v.getData()->size());
                bytes.insert(bytes.end(), v.getData()->begin(), v.getData()->end());
                return push(add({std::move(bytes), {}}));
            }
            case Value::Type::Date: {
                const uint64_t time = real(v.getDate()->timeIntervalSinceReferenceDate());
                return keyed("NSDate", {"NSDate"}, kNew, {{"NS.time", time}});
            }
            case Value::Type::Array: {
                const uint64_t self = push(0);
                std::vector<uint64_t> items;
                for (const Value& e : *v.getArray()) items.push_back(uid(encode(e)));
                const uint64_t list = container(0xA, items);
                return keyed("NSMutableArray", {"NSMutableArray", "NSArray"}, self, {{"NS.objects", list}});
            }
            case Value::Type::Dictionary: {
                const uint64_t self = push(0);
                std::vector<uint64_t> keys, values;
                for (const auto& [k, e] : *v.getDictionary()) {
                    keys.push_back(uid(push(string(k))));
                    values.push_back(uid(encode(e)));
                }
                const uint64_t keyList = container(0xA, keys), valueList = container(0xA, values);
                return keyed("NSMutableDictionary", {"NSMutableDictionary", "NSDictionary"}, self,
                             {{"NS.keys", keyList}, {"NS.objects", valueList}});
            }
        }
        return 0;
    }

    Data file(uint64_t top) const {
        const unsigned refWidth = width(objects_.size() - 1);
        Data out{'b', 'p', 'l', 'i', 's', 't', '0', '0'};
        std::vector<uint64_t> offsets;
        for (const Object& object : objects_) {
            offsets.push_back(out.size());
            out.insert(out.end(), object.bytes.begin(), object.bytes.end());
            for (uint64_t ref : object.refs) big(out, ref, refWidth);
        }
        const uint64_t table = out.size();
        const unsigned offsetWidth = width(offsets.back());
        for (uint64_t offset : offsets) big(out, offset, offsetWidth);
        out.insert(out.end(), 6, 0);
        out.push_back(static_cast<uint8_t>(offsetWidth));
        out.push_back(static_cast<uint8_t>(refWidth));
        big(out, objects_.size(), 8);
        big(out, top, 8);
        big(out, table, 8);
        return out;
    }

    std::vector<Object> objects_;
    std::map<std::vector<uint8_t>, uint64_t> shared_;
    std::map<uint64_t, uint64_t> uids_;
    std::map<std::string, uint64_t> constants_, classes_;
    std::vector<uint64_t> archived_;  // the property-list object of each archived object
};

// Values of every kind, nested, with texts and numbers that recur within and across them.
Value variedValue(std::mt19937& random, int depth) {
    static const std::vector<std::string> kTexts = {"",
                                                    "text",
                                                    "Welcome to the new screen",
                                                    "caf\xC3\xA9",
                                                    std::string("nul\0inside", 10),
                                                    "\xF0\x9F\x98\x80 smile",
                                                    "bad \xC3 byte",
                                                    "\xED\xA0\x80 surrogate",
                                                    "\xC0\xAF overlong",
                                                    std::string(15, 'x'),
                                                    std::string(300, 'y'),
                                                    "Gr\xC3\xBC\xC3\x9F"
                                                    "e \xE2\x80\x93 \xE2\x9C\x93"};
    static const std::vector<int64_t> kIntegers = {0,
                                                   1,
                                                   255,
                                                   256,
                                                   65535,
                                                   65536,
                                                   4294967295LL,
                                                   4294967296LL,
                                                   std::numeric_limits<int64_t>::max(),
                                                   -1,
                                                   -256,
                                                   std::numeric_limits<int64_t>::min()};
    static const std::vector<double> kReals = {
        0.5,         -0.0,       3.0,
        1e10,        0.1,        -1e300,
        1e-300,      16777217.0, std::numeric_limits<double>::infinity(),
        std::nan("")};
    auto pick = [&](size_t n) { return static_cast<size_t>(random() % n); };
    const size_t kind = depth >= 4 ? pick(9) : pick(12);
    switch (kind) {
        case 0:
            return Value::null();
        case 1:
            return Value(pick(2) == 0);
        case 2:
            return Value(kIntegers[pick(kIntegers.size())]);
        case 3:
            return Value(kReals[pick(kReals.size())]);
        case 4:
        case 5: {
            const std::string& text = kTexts[pick(kTexts.size())];
            return Value(pick(3) == 0 ? text + std::to_string(pick(5)) : text);
        }
        case 6:
            return Value(Date::fromTimeIntervalSince1970(1718459130.25 + static_cast<double>(pick(3))));
        case 7: {
            Data bytes(pick(3) == 0 ? 20 : pick(4), static_cast<uint8_t>(pick(256)));
            return Value(bytes);
        }
        case 8:
            return Value(static_cast<int64_t>(pick(1000)) - 500);
        case 9: {
            Array items;
            for (size_t i = pick(3) == 0 ? 17 : pick(5); i > 0; --i)
                items.push_back(variedValue(random, depth + 1));
            return Value(items);
        }
        default: {
            std::vector<Dictionary::Entry> entries;
            for (size_t i = pick(3) == 0 ? 16 : pick(6); i > 0; --i)
                entries.emplace_back(kTexts[pick(kTexts.size())] + std::to_string(i),
                                     variedValue(random, depth + 1));
            return Value(Dictionary(std::move(entries)));
        }
    }
}

// The archives are stored and read back: they stay byte for byte what a plain writing gives,
// whatever the archiver does to be quick, and whatever it archived before on the same thread.
TEST(KeyedArchiver, ArchivesAreByteForByteThoseOfAPlainWriting) {
    std::mt19937 random(7);
    for (int i = 0; i < 300; ++i) {
        const Value value = variedValue(random, 0);
        EXPECT_EQ(KeyedArchiver::archivedData(value), ReferenceArchive().archive(value))
            << value.description();
    }
    EXPECT_EQ(KeyedArchiver::archivedData(storedValues()), ReferenceArchive().archive(storedValues()));
    EXPECT_EQ(KeyedArchiver::archivedData(Value()), ReferenceArchive().archive(Value()));
    // Wide references and offsets: more than 65,536 objects and more than 64 KB.
    Array many;
    for (int i = 0; i < 40000; ++i) many.push_back(Value(int64_t(i) * 7919 - 3));
    many.push_back(Value(std::string(70000, 'z')));
    EXPECT_EQ(KeyedArchiver::archivedData(Value(many)), ReferenceArchive().archive(Value(many)));
    // Offsets of four bytes with references of two, and of one.
    many.resize(300);
    many.push_back(Value(std::string(70000, 'z')));
    EXPECT_EQ(KeyedArchiver::archivedData(Value(many)), ReferenceArchive().archive(Value(many)));
    const Value few = Value::array({std::string(70000, 'z'), 1});
    EXPECT_EQ(KeyedArchiver::archivedData(few), ReferenceArchive().archive(few));
}

}  // namespace
}  // namespace brindlecue::platform
