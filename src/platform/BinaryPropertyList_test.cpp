#include "platform/BinaryPropertyList.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Value.h"

namespace brindlecue::platform {
namespace {

// An item of a long list: entries every item shares, and some of its own.
Value item(int i) {
    return Value::dictionary({{"id", "item-" + std::to_string(i)},
                              {"kind", i % 3 == 0 ? "tour" : "tip"},
                              {"size", Value::dictionary({{"width", 0.5}, {"height", i % 7}})},
                              {"tags", Value::array({"shared", i % 2 == 0 ? "even" : "odd"})},
                              {"label", i % 5 == 0 ? Value("caf\xC3\xA9") : Value("plain")}});
}

// Writes the item as writeValue does, children first and keys before values, into the writer.
bplist::Ref writeItem(bplist::Writer& writer, const Value& value) {
    if (const std::string* text = value.getString()) return writer.string(*text);
    if (value.type() == Value::Type::Integer) return writer.integer(*value.getInteger());
    if (value.type() == Value::Type::Real) return writer.real(*value.getNumber());
    std::vector<bplist::Ref> refs;
    if (const Array* array = value.getArray()) {
        for (const Value& element : *array) refs.push_back(writeItem(writer, element));
        return writer.array(refs);
    }
    const Dictionary& dictionary = *value.getDictionary();
    for (const auto& entry : dictionary) refs.push_back(writer.string(entry.first));
    for (const auto& entry : dictionary) refs.push_back(writeItem(writer, entry.second));
    const std::span<const bplist::Ref> all(refs);
    return writer.dictionary(all.first(dictionary.size()), all.subspan(dictionary.size()));
}

TEST(BinaryPropertyList, AMergedWriterGivesTheFileOfOneWriter) {
    for (bool sharesContainers : {false, true}) {
        bplist::Writer whole, first, second;
        for (bplist::Writer* w : {&whole, &first, &second}) w->setSharesContainers(sharesContainers);
        std::vector<bplist::Ref> wholeRefs, mergedRefs;
        for (int i = 0; i < 40; ++i) wholeRefs.push_back(writeItem(whole, item(i)));
        std::vector<bplist::Ref> firstRefs, secondRefs;
        for (int i = 0; i < 20; ++i) firstRefs.push_back(writeItem(first, item(i)));
        // The second half repeats texts, numbers and (when shared) containers of the first.
        for (int i = 20; i < 40; ++i) secondRefs.push_back(writeItem(second, item(i)));
        bplist::Writer merged;
        merged.setSharesContainers(sharesContainers);
        std::vector<bplist::Ref> map = merged.merge(first);
        for (bplist::Ref ref : firstRefs) mergedRefs.push_back(map[ref]);
        map = merged.merge(second);
        for (bplist::Ref ref : secondRefs) mergedRefs.push_back(map[ref]);
        EXPECT_EQ(mergedRefs, wholeRefs) << sharesContainers;
        EXPECT_EQ(merged.finish(merged.array(mergedRefs)), whole.finish(whole.array(wholeRefs)))
            << sharesContainers;
    }
}

TEST(BinaryPropertyList, ALongListIsWrittenAsItemByItem) {
    // Long enough to be written in pieces, with a short list inside that is not.
    Array items;
    for (int i = 0; i < 1000; ++i) items.push_back(item(i));
    const Value top =
        Value::dictionary({{"list", Value(items)}, {"short", Value::array({item(1), item(2)})}});

    bplist::Writer byItem;
    byItem.setSharesContainers(true);
    const std::vector<uint8_t> expected = byItem.finish(writeItem(byItem, top));
    const std::vector<uint8_t> written = bplist::write(top);
    EXPECT_EQ(written, expected);
    EXPECT_EQ(Value::fromPropertyList(written), top);

    // Anything a property list cannot hold, anywhere in the list, still fails the whole file.
    items[700] = Value::dictionary({{"gap", nullptr}});
    EXPECT_TRUE(bplist::write(Value(items)).empty());
}

// Elements written on their own beforehand are taken in whole: the file is the same, whether the
// list is long (written in pieces) or short, with some elements or all of them written before.
TEST(BinaryPropertyList, ElementsWrittenOnTheirOwnGiveTheSameFile) {
    Array longList, shortList;
    for (int i = 0; i < 700; ++i) longList.push_back(item(i));
    for (int i = 0; i < 9; ++i) shortList.push_back(item(i % 4));
    const Value top = Value::dictionary(
        {{"before", item(3)}, {"long", Value(longList)}, {"short", Value(shortList)}, {"after", "plain"}});
    const std::vector<uint8_t> expected = bplist::write(top);
    ASSERT_FALSE(expected.empty());

    bplist::WrittenElements written;
    for (size_t i = 0; i < longList.size(); ++i)
        written["long"].push_back(i % 3 == 1 ? nullptr : bplist::writeOnItsOwn(longList[i]));
    for (const Value& element : shortList) written["short"].push_back(bplist::writeOnItsOwn(element));
    ASSERT_TRUE(written["long"][0] && written["short"][8]);
    EXPECT_EQ(bplist::write(top, written), expected);
    EXPECT_EQ(Value::fromPropertyList(bplist::write(top, written)), top);

    // Elements that do not go with the array (another length) are not taken.
    written["short"].pop_back();
    written["after"] = {bplist::writeOnItsOwn(Value("other"))};
    EXPECT_EQ(bplist::write(top, written), expected);
    // Nothing a property list cannot hold is written on its own.
    EXPECT_FALSE(bplist::writeOnItsOwn(Value::array({Value(1), nullptr})));
}

// Values of the top dictionary written on their own are taken in whole, whatever stands in their
// place: the file is the one of the values. A written value alone is the file of that value, and
// two writings of equal values hold the same objects.
TEST(BinaryPropertyList, ValuesWrittenOnTheirOwnGiveTheSameFile) {
    Array longList;
    for (int i = 0; i < 700; ++i) longList.push_back(item(i));
    const Value top = Value::dictionary(
        {{"before", item(3)}, {"long", Value(longList)}, {"one", item(5)}, {"after", "plain"}});
    const std::vector<uint8_t> expected = bplist::write(top);
    ASSERT_FALSE(expected.empty());

    Value placeholders = top;
    placeholders.set("long", Value());
    placeholders.set("one", Value::array({nullptr}));
    const bplist::WrittenValues values{{"long", bplist::writeOnItsOwn(Value(longList))},
                                       {"one", bplist::writeOnItsOwn(item(5))}};
    EXPECT_EQ(bplist::write(placeholders, {}, values), expected);
    // Beside elements written on their own of another entry.
    Value shortTop = placeholders;
    shortTop.set("before", Value::array({item(1), item(2)}));
    bplist::WrittenElements elements{{"before", {bplist::writeOnItsOwn(item(1)), nullptr}}};
    Value plainShort = top;
    plainShort.set("before", Value::array({item(1), item(2)}));
    EXPECT_EQ(bplist::write(shortTop, elements, values), bplist::write(plainShort));
    // Without its value the placeholder is what is written, and absent cannot be.
    EXPECT_TRUE(bplist::write(placeholders, {}, {{"one", values.at("one")}}).empty());

    const auto alone = bplist::writeOnItsOwn(Value(longList));
    EXPECT_EQ(alone->file(), bplist::write(Value(longList)));
    EXPECT_EQ(Value::fromPropertyList(alone->file()), Value(longList));
    EXPECT_TRUE(*alone == *values.at("long"));
    EXPECT_FALSE(*alone == *values.at("one"));
    longList[699] = item(1);
    EXPECT_FALSE(*alone == *bplist::writeOnItsOwn(Value(longList)));
}

// A text is written as ASCII unless a byte anywhere in it is beyond ASCII or 0 (then as UTF-16).
TEST(BinaryPropertyList, TextsWithAByteBeyondAsciiOrZeroAnywhereAreWrittenAsUtf16) {
    auto kindOf = [](const std::string& text) {
        bplist::Writer writer;
        const std::vector<uint8_t> file = writer.finish(writer.string(text));
        bplist::Reader reader;
        bplist::Reader::Object object;
        EXPECT_TRUE(reader.open(file.data(), file.size()) && reader.object(reader.top(), object));
        EXPECT_EQ(reader.text(object), text);
        return object.kind;
    };
    for (size_t length = 0; length <= 24; ++length) {
        const std::string plain(length, 'a');
        EXPECT_EQ(kindOf(plain), bplist::Reader::Kind::AsciiString) << length;
        for (size_t at = 0; at < length; ++at) {
            for (char odd : {'\0', '\x7F', '\xC3'}) {
                std::string text = plain;
                text[at] = odd;
                if (odd == '\xC3') text.insert(at + 1, 1, '\xA9');  // é
                EXPECT_EQ(kindOf(text),
                          odd == '\x7F' ? bplist::Reader::Kind::AsciiString : bplist::Reader::Kind::Utf16String)
                    << length << " " << at << " " << int(odd);
            }
        }
    }
}

}  // namespace
}  // namespace brindlecue::platform
