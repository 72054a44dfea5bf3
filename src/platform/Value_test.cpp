#include "platform/Value.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <nlohmann/json.hpp>
#include <stdexcept>

#include "platform/BinaryPropertyList.h"
#include "platform/Date.h"
#include "platform/Error.h"

namespace brindlecue::platform {
namespace {

TEST(ValueJSON, RoundTripKeepsKindsAndKeyOrder) {
    auto v = Value::fromJSON(R"({"z":1,"a":1.5,"m":true,"n":null,"r":2.0,"list":[0,"x",false,{}]})");
    ASSERT_TRUE(v);
    EXPECT_EQ(v->getDictionary()->keys(), (std::vector<std::string>{"z", "a", "m", "n", "r", "list"}));
    EXPECT_TRUE((*v)["z"].isInteger());
    EXPECT_TRUE((*v)["a"].isReal());
    EXPECT_TRUE((*v)["m"].isBool());
    EXPECT_TRUE((*v)["n"].isNull());
    EXPECT_TRUE((*v)["r"].isReal());
    EXPECT_TRUE((*v)["list"][2].isBool());
    EXPECT_TRUE((*v)["list"][3].isDictionary());

    EXPECT_EQ(v->toJSON(), R"({"z":1,"a":1.5,"m":true,"n":null,"r":2.0,"list":[0,"x",false,{}]})");
    EXPECT_EQ(Value::dictionary({{"k", Value::array({1})}}).toJSON(true), "{\n  \"k\": [\n    1\n  ]\n}");

    // Fragments, and integers too large for a signed 64-bit value.
    EXPECT_EQ(*Value::fromJSON("\"a/b\""), Value("a/b"));
    auto big = Value::fromJSON("18446744073709551615");
    ASSERT_TRUE(big);
    EXPECT_TRUE(big->isReal());
    EXPECT_EQ(Value::fromJSON("-9223372036854775808")->getInteger(), std::numeric_limits<int64_t>::min());
}

TEST(ValueJSON, NestingAndRepeatedKeys) {
    auto v = Value::fromJSON(R"({"a":1,"b":{"x":[1,{"y":[]}],"z":{}},"a":[3],"c":[[],[[{"d":null}]]]})");
    ASSERT_TRUE(v);
    // A repeated key keeps its first place and takes the last value.
    EXPECT_EQ(v->getDictionary()->keys(), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ((*v)["a"], Value::array({3}));
    EXPECT_EQ((*v)["b"], Value::dictionary({{"x", Value::array({1, Value::dictionary({{"y", Value::array()}})})},
                                            {"z", Value::dictionary()}}));
    EXPECT_TRUE((*v)["c"][1][0][0]["d"].isNull());
    EXPECT_EQ((*v)["c"][0], Value::array());

    // Nesting is read to 512 levels; deeper documents are refused rather than built.
    auto nested = [](size_t depth) { return std::string(depth, '[') + std::string(depth, ']'); };
    EXPECT_TRUE(Value::fromJSON(nested(512)));
    Error error;
    EXPECT_FALSE(Value::fromJSON(nested(513), &error));
    EXPECT_EQ(error.code(), 3840);
    EXPECT_FALSE(Value::fromJSON(nested(200000)));
}

TEST(Value, ADictionaryMadeOfEntriesKeepsTheFirstPlaceAndTheLastValueOfAKey) {
    // Few entries and many (those are found by hashing), with keys alike at both ends.
    for (int count : {6, 16, 17, 200}) {
        std::vector<Dictionary::Entry> entries;
        Dictionary oneByOne;
        for (int i = 0; i < count; ++i) {
            std::string key =
                "padding." + std::string(i % 4 + 1, 'x') + std::to_string(i % (count / 2 + 1)) + ".top-of-it";
            entries.emplace_back(key, Value(i));
            oneByOne.set(key, Value(i));
        }
        entries.emplace_back("", Value("empty"));
        entries.emplace_back("", Value("empty again"));
        oneByOne.set("", Value("empty again"));
        const Dictionary made(std::move(entries));
        EXPECT_EQ(made.keys(), oneByOne.keys()) << count;
        for (const auto& [key, value] : oneByOne) EXPECT_EQ(*made.find(key), value) << count << " " << key;
    }
}

// The value nlohmann's own tree gives for a document without repeated keys, and a comparison
// that tells integers from reals and -0.0 from 0.0.
Value fromTree(const nlohmann::ordered_json& j) {
    switch (j.type()) {
        case nlohmann::json::value_t::null:
            return Value::null();
        case nlohmann::json::value_t::boolean:
            return Value(j.get<bool>());
        case nlohmann::json::value_t::number_integer:
            return Value(j.get<int64_t>());
        case nlohmann::json::value_t::number_unsigned: {
            const auto u = j.get<uint64_t>();
            return u > static_cast<uint64_t>(std::numeric_limits<int64_t>::max()) ? Value(static_cast<double>(u))
                                                                                  : Value(static_cast<int64_t>(u));
        }
        case nlohmann::json::value_t::number_float:
            return Value(j.get<double>());
        case nlohmann::json::value_t::string:
            return Value(j.get<std::string>());
        case nlohmann::json::value_t::array: {
            Array items;
            for (const auto& item : j) items.push_back(fromTree(item));
            return Value(std::move(items));
        }
        case nlohmann::json::value_t::object: {
            Dictionary entries;
            for (const auto& [key, item] : j.items()) entries.set(key, fromTree(item));
            return Value(std::move(entries));
        }
        default:
            return Value();
    }
}

bool same(const Value& a, const Value& b) {
    if (a.type() != b.type()) return false;
    if (a.isReal()) {
        const double x = *a.getNumber(), y = *b.getNumber();
        return std::memcmp(&x, &y, sizeof x) == 0 || (std::isnan(x) && std::isnan(y));
    }
    if (const Array* items = a.getArray()) {
        const Array& others = *b.getArray();
        if (items->size() != others.size()) return false;
        for (size_t i = 0; i < items->size(); ++i)
            if (!same((*items)[i], others[i])) return false;
        return true;
    }
    if (const Dictionary* entries = a.getDictionary()) {
        const Dictionary& others = *b.getDictionary();
        if (entries->keys() != others.keys()) return false;
        for (const auto& [key, item] : *entries)
            if (!same(item, *others.find(key))) return false;
        return true;
    }
    return a == b;
}

TEST(ValueJSON, ReadsEveryDocumentAsTheParsersTreeHasIt) {
    for (const char* text : {
             R"({"a":"plain","b":"q\"b\\s\/f\bf\fn\nr\rt\t","c":"\u0041\u00e9\u20ac\ud83d\ude00\u0000z"})",
             "[\"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80 \xED\x9F\xBF \xEE\x80\x80 \xF4\x8F\xBF\xBF\"]",
             "[0,-0,1,-1,9223372036854775807,9223372036854775808,18446744073709551615,-9223372036854775808]",
             "[1.5,-0.0,0.0,0e5,1e10,1E-5,2.5e+3,0.1,123456789.123456789e-3,1.7976931348623157e308]",
             "[2.2250738585072014e-308,4.9e-324,1e-310,-1e-320,1e-400,-0.0e-999,18446744073709551616]",
             "[-9223372036854775809,123456789012345678901234567890]",
             " \t\r\n{ \"k\" : [ true , false , null , { } , [ ] ] } \n",
             "\xEF\xBB\xBF{\"bom\":1}",
             "\"fragment\"", "42", "-7", "3.25", "true", "null", "[]", "{}",
             R"({"deep":[[[{"x":[{"y":{"z":[1,[2,[3]]]}}]}]]],"after":"end"})",
         }) {
        auto parsed = Value::fromJSON(text);
        ASSERT_TRUE(parsed) << text;
        EXPECT_TRUE(same(*parsed, fromTree(nlohmann::ordered_json::parse(text)))) << text;
    }
}

// A key with escapes or bytes beyond ASCII is written out apart from the document; it must last
// until its member is made, past the texts and keys of the member's own value, and be the same
// key as its plain spelling when it repeats.
TEST(ValueJSON, KeysWrittenOutLastUntilTheirMembersAreMade) {
    const std::string text = R"({"k\u00e9y":{"in\nner":["t\u00e9xt",{"\u0061":{"\"b":"c\\d"}}],"x\ty":"\u20ac"},)"
                             R"("plain":"v","k\u00e9y":[1,{"caf)" "\xC3\xA9" R"(":"\/"}],"\u0070lain":{"":"w"}})";
    auto parsed = Value::fromJSON(text);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->getDictionary()->keys(), (std::vector<std::string>{"k\xC3\xA9y", "plain"}));
    EXPECT_EQ((*parsed)["k\xC3\xA9y"][1]["caf\xC3\xA9"], Value("/"));
    EXPECT_EQ((*parsed)["plain"][""], Value("w"));
    EXPECT_TRUE(same(*parsed, fromTree(nlohmann::ordered_json::parse(text))));

    const std::string first = R"({"\u0061":{"\u0062":{"\u0063":[{"\u0064":"\u0065"}]},"\u0066":1},"z":2})";
    parsed = Value::fromJSON(first);
    ASSERT_TRUE(parsed);
    EXPECT_EQ((*parsed)["a"]["b"]["c"][0]["d"], Value("e"));
    EXPECT_EQ((*parsed)["a"]["f"], Value(1));
    EXPECT_TRUE(same(*parsed, fromTree(nlohmann::ordered_json::parse(first))));
}

// Texts a byte or two away from valid documents: each is read as the parser's tree has it, or
// refused as the parser refuses it.
TEST(ValueJSON, ReadsAlteredDocumentsAsTheParserDoes) {
    const std::string seeds[] = {
        R"({"id": 12, "s": "a\u00e9\ud83d\ude00\n", "n": [-0.5e-3, 7, true, null, {"k": [1E2, "x"]}]})",
        "[\"caf\xC3\xA9\", 18446744073709551615, -9223372036854775808, 1.25, {\"\": []}]",
    };
    const char alphabet[] = "{}[]:,\"\\/-+.eE0123456789abfnrtu \t\n\x00\x7F\x80\xBF\xC3\xED\xEF\xF0\xF4";
    uint32_t state = 12345;
    auto next = [&](uint32_t bound) {
        state = state * 1664525u + 1013904223u;
        return (state >> 8) % bound;
    };
    int refused = 0;
    for (int round = 0; round < 6000; ++round) {
        std::string text = seeds[round % 2];
        for (uint32_t edits = 1 + next(2); edits > 0; --edits) {
            const size_t at = next(static_cast<uint32_t>(text.size() + 1));
            const char c = alphabet[next(sizeof alphabet - 1)];
            switch (next(3)) {
                case 0: text.insert(at, 1, c); break;
                case 1: if (at < text.size()) text[at] = c; break;
                default: if (at < text.size()) text.erase(at, 1); break;
            }
        }
        auto parsed = Value::fromJSON(text);
        nlohmann::ordered_json tree;
        try {
            tree = nlohmann::ordered_json::parse(text);
        } catch (const nlohmann::ordered_json::exception&) {
            EXPECT_FALSE(parsed) << text;
            ++refused;
            continue;
        }
        ASSERT_TRUE(parsed) << text;
        EXPECT_TRUE(same(*parsed, fromTree(tree))) << text;
    }
    // Both kinds come up often.
    EXPECT_GT(refused, 600) << refused;
    EXPECT_LT(refused, 5400) << refused;
}

nlohmann::ordered_json toTree(const Value& v) {
    switch (v.type()) {
        case Value::Type::Null: return nullptr;
        case Value::Type::Bool: return *v.getBool();
        case Value::Type::Integer: return *v.getInteger();
        case Value::Type::Real: return *v.getNumber();
        case Value::Type::String: return *v.getString();
        case Value::Type::Array: {
            auto out = nlohmann::ordered_json::array();
            for (const Value& item : *v.getArray()) out.push_back(toTree(item));
            return out;
        }
        default: {
            auto out = nlohmann::ordered_json::object();
            for (const auto& [key, item] : *v.getDictionary()) out[key] = toTree(item);
            return out;
        }
    }
}

// Compact text is the parser's own dump, character for character: escapes, the shortest form of
// a real, and a refusal of text that is not UTF-8.
TEST(ValueJSON, WritesCompactAndIndentedTextAsTheParsersDumpDoes) {
    const std::string texts[] = {"", "plain", "q\"b\\s/", std::string("nul\0x", 5), "\b\f\n\r\t\x01\x1F\x7F",
                                 "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80", "bad \xC3", "bad \xED\xA0\x80 x",
                                 "\xFF", "over \xC0\xAF", "k\x0Bey"};
    const double reals[] = {0.0, -0.0, 1.5, 2.0, -3.25, 0.1, 1e20, 1e21, 1e-5, 123456789.123456789, 5e-324,
                            1.7976931348623157e308, 1e15, 1e16, 1e-7, 100.0, 0.3};
    uint32_t state = 99;
    auto next = [&](uint32_t bound) {
        state = state * 1664525u + 1013904223u;
        return (state >> 8) % bound;
    };
    std::function<Value(int)> make = [&](int depth) -> Value {
        switch (next(depth > 3 ? 6 : 8)) {
            case 0: return Value::null();
            case 1: return Value(next(2) == 1);
            case 2: return Value(static_cast<int64_t>(next(2000000)) - 1000000 +
                                 (next(5) == 0 ? std::numeric_limits<int64_t>::min() / 2 : 0));
            case 3: return Value(reals[next(std::size(reals))]);
            case 4:
            case 5: return Value(texts[next(std::size(texts))]);
            case 6: {
                Array items;
                for (uint32_t n = next(5); n > 0; --n) items.push_back(make(depth + 1));
                return Value(std::move(items));
            }
            default: {
                Dictionary entries;
                for (uint32_t n = next(5); n > 0; --n) entries.set(texts[next(std::size(texts))], make(depth + 1));
                return Value(std::move(entries));
            }
        }
    };
    int refused = 0;
    for (int round = 0; round < 3000; ++round) {
        const Value v = make(0);
        std::string dumped;
        try {
            dumped = toTree(v).dump();
        } catch (const nlohmann::ordered_json::exception&) {
            Error error;
            EXPECT_FALSE(v.toJSON(false, &error)) << v.description();
            EXPECT_EQ(error.code(), 3840);
            ++refused;
            continue;
        }
        EXPECT_EQ(v.toJSON(), dumped) << v.description();
        EXPECT_EQ(v.toJSON(true), toTree(v).dump(2)) << v.description();
    }
    EXPECT_GT(refused, 100);
    EXPECT_LT(refused, 2900);
}

TEST(ValueJSON, FailuresFillTheError) {
    for (const char* bad :
         {"{\"a\":", "", "[1,]", "{} x", "{'a':1}", "[1e999]", "\"\xFF\"", "\"\\ud800\"", "\"\\udc00\"",
          "\"\\ud800\\u0041\"", "\"\\ud800x\"", "\"\\u12G4\"", "\"a\tb\"", "\"\\x\"", "\"abc", "01", "-",
          "1.", "1e", ".5", "+1", "[1 2]", "{\"a\" 1}", "{\"a\":1,}", "{\"a\":1", "[", "tru", "nul", "falsey",
          "\"\xC0\xAF\"", "\"\xED\xA0\x80\"", "\"\xF4\x90\x80\x80\"", "\"\xE2\x82\"", "\xEF\xBB[]",
          "[-1e999]", "{1:2}", "[\"a\"]]"}) {
        Error error;
        EXPECT_FALSE(Value::fromJSON(bad, &error)) << bad;
        EXPECT_EQ(error.domain(), "NSCocoaErrorDomain");
        EXPECT_EQ(error.code(), 3840);
        // The parser's own account of what is wrong.
        std::string reason;
        try {
            [[maybe_unused]] auto parsed = nlohmann::ordered_json::parse(bad);
        } catch (const nlohmann::ordered_json::exception& e) {
            reason = e.what();
        }
        ASSERT_FALSE(reason.empty()) << bad;
        EXPECT_EQ(error.localizedDescription(),
                  "The data couldn\u2019t be read because it isn\u2019t in the correct format. (" + reason + ")");
    }

    for (const Value& v :
         {Value::array({Date::fromTimeIntervalSince1970(0)}), Value::array({Value::data("x", 1)}),
          Value::dictionary({{"nan", std::nan("")}}), Value::array({Value()}), Value()}) {
        Error error;
        EXPECT_FALSE(v.toJSON(false, &error)) << v.description();
        EXPECT_EQ(error.code(), 3840);
        EXPECT_FALSE(v.isValidJSONObject());
    }
    EXPECT_TRUE(Value::dictionary({{"a", nullptr}}).isValidJSONObject());
    EXPECT_FALSE(Value("text").isValidJSONObject());
}

// A key is found only by itself: keys of every length up to beyond sixteen bytes, each differing
// from the one looked for in a single byte, at every place.
TEST(Value, LookupsTellKeysApartByEveryByte) {
    for (size_t length = 0; length <= 20; ++length) {
        const std::string key(length, 'k');
        Dictionary others;
        for (size_t at = 0; at < length; ++at) {
            std::string other = key;
            other[at] = 'x';
            others.set(other, Value(static_cast<int64_t>(at)));
        }
        others.set(key + "k", "longer");
        if (length > 0) others.set(key.substr(1), "shorter");
        EXPECT_EQ(others.find(key), nullptr) << length;
        others.set(key, "mine");
        ASSERT_NE(others.find(key), nullptr) << length;
        EXPECT_EQ(*others.find(key), Value("mine")) << length;
        for (size_t at = 0; at < length; ++at) {
            std::string other = key;
            other[at] = 'x';
            EXPECT_EQ(Value(others)[other], Value(static_cast<int64_t>(at))) << length << " " << at;
        }
    }
}

TEST(Value, LookupsKeepAbsentApartFromNull) {
    Value v = Value::dictionary({{"null", nullptr}, {"list", Value::array({1, 2})}});
    EXPECT_TRUE(v["null"].isNull());
    EXPECT_TRUE(v["missing"].isAbsent());
    EXPECT_TRUE(v["list"][5].isAbsent());
    EXPECT_TRUE(v["list"]["key"].isAbsent());
    EXPECT_TRUE(v[0].isAbsent());
    EXPECT_TRUE(v["null"].isNil());
    EXPECT_FALSE(v["null"] == v["missing"]);
    EXPECT_EQ(v.count(), 2u);
    EXPECT_EQ(Value(3).count(), 0u);
}

TEST(Value, EqualityAcrossNumberKinds) {
    EXPECT_EQ(Value(2), Value(2.0));
    EXPECT_FALSE(Value(2) == Value(2.5));
    EXPECT_FALSE(Value(true) == Value(1));
    EXPECT_FALSE(Value(int64_t{std::numeric_limits<int64_t>::max()}) == Value(9223372036854775808.0));
    EXPECT_EQ(Value::dictionary({{"a", 1}, {"b", 2}}), Value::dictionary({{"b", 2}, {"a", 1}}));
    EXPECT_FALSE(Value::array({1, 2}) == Value::array({2, 1}));
}

TEST(Value, CopiesAreIndependent) {
    Value original =
        Value::dictionary({{"inner", Value::dictionary({{"n", 1}})}, {"list", Value::array({1})}});
    Value copy = original;
    copy.set("added", true);
    copy.mutableDictionary().find("inner")->set("n", 2);
    copy.mutableDictionary().find("list")->append(2);
    EXPECT_FALSE(original.getDictionary()->contains("added"));
    EXPECT_EQ(original["inner"]["n"].integerValue(), 1);
    EXPECT_EQ(original["list"].count(), 1u);
    EXPECT_EQ(copy["inner"]["n"].integerValue(), 2);
    EXPECT_EQ(copy["list"].count(), 2u);

    Value again = copy;
    EXPECT_TRUE(again.remove("added"));
    EXPECT_FALSE(again.remove("added"));
    EXPECT_TRUE(copy["added"].boolValue());

    // Setting an existing key keeps its place; removing keeps the others in order.
    Value d = Value::dictionary({{"a", 1}, {"b", 2}, {"c", 3}});
    d.set("a", 10);
    d.remove("b");
    EXPECT_EQ(d.getDictionary()->keys(), (std::vector<std::string>{"a", "c"}));
    EXPECT_EQ(d["a"].integerValue(), 10);

    Value absent;
    absent.append("x");
    EXPECT_TRUE(absent.isArray());
    Value absent2;
    absent2.set("k", 1);
    EXPECT_TRUE(absent2.isDictionary());
    Value number = 3;
    EXPECT_THROW(number.set("k", 1), std::logic_error);
    EXPECT_THROW(number.append(1), std::logic_error);
    Value null = nullptr;
    EXPECT_THROW(null.mutableArray(), std::logic_error);
}

TEST(Value, LenientTextConversions) {
    EXPECT_EQ(Value("  42abc").integerValue(), 42);
    EXPECT_EQ(Value("\t-17").integerValue(), -17);
    EXPECT_EQ(Value("+8").integerValue(), 8);
    EXPECT_EQ(Value("3.9").integerValue(), 3);
    EXPECT_EQ(Value("abc").integerValue(), 0);
    EXPECT_EQ(Value("99999999999999999999").integerValue(), std::numeric_limits<int64_t>::max());
    EXPECT_EQ(Value("-9223372036854775808").integerValue(), std::numeric_limits<int64_t>::min());

    EXPECT_DOUBLE_EQ(Value(" 2.5e2x").doubleValue(), 250.0);
    EXPECT_DOUBLE_EQ(Value("-.5").doubleValue(), -0.5);
    EXPECT_DOUBLE_EQ(Value("nan").doubleValue(), 0.0);
    EXPECT_DOUBLE_EQ(Value("").doubleValue(), 0.0);
    EXPECT_TRUE(std::isinf(Value("1e999").doubleValue()));

    for (const char* yes : {"YES", "yes", "true", "T", " 1", "007", "-5", "+y"})
        EXPECT_TRUE(Value(yes).boolValue()) << yes;
    for (const char* no : {"NO", "false", "0", "000", "", "  ", "-0", "x1"})
        EXPECT_FALSE(Value(no).boolValue()) << no;

    EXPECT_EQ(Value(true).integerValue(), 1);
    EXPECT_EQ(Value(-2.7).integerValue(), -2);
    EXPECT_EQ(Value(1e300).integerValue(), std::numeric_limits<int64_t>::max());
    EXPECT_TRUE(Value(0.5).boolValue());
    EXPECT_FALSE(Value(nullptr).boolValue());
    EXPECT_EQ(Value(12).stringValue(), "12");
    EXPECT_EQ(Value("plain text").stringValue(), "plain text");
}

TEST(Value, DescriptionFollowsThePlatformLayout) {
    Value v = Value::dictionary({
        {"name", "plain_text.v1"},
        {"quoted", "two words"},
        {"empty", ""},
        {"escape", "say \"hi\""},
        {"key with space", 1},
        {"flags", Value::array({true, 2.5, 2.0, nullptr})},
        {"nested", Value::dictionary({{"a", Value::array()}, {"b", Value::dictionary()}})},
    });
    EXPECT_EQ(v.description(),
              "{\n"
              "    name = plain_text.v1;\n"
              "    quoted = \"two words\";\n"
              "    empty = \"\";\n"
              "    escape = \"say \\\"hi\\\"\";\n"
              "    \"key with space\" = 1;\n"
              "    flags =     (\n"
              "        1,\n"
              "        2.5,\n"
              "        2,\n"
              "        <null>\n"
              "    );\n"
              "    nested =     {\n"
              "        a =         (\n"
              "        );\n"
              "        b =         {\n"
              "        };\n"
              "    };\n"
              "}");
    EXPECT_EQ(Value::dictionary().description(), "{\n}");
    EXPECT_EQ(Value::array().description(), "(\n)");
    EXPECT_EQ(Value::array({Value::array({"a"})}).description(), "(\n        (\n        a\n    )\n)");
    EXPECT_EQ(Value("two words").description(), "two words");
    EXPECT_EQ(Value(0.1).description(), "0.1");
    EXPECT_EQ(Value(false).description(), "0");
    EXPECT_EQ(Value(nullptr).description(), "<null>");

    const uint8_t bytes[] = {0x01, 0xab, 0xff};
    EXPECT_EQ(Value::data(bytes, 3).description(), "{length = 3, bytes = 0x01abff}");
    Data longData(30);
    for (size_t i = 0; i < longData.size(); ++i) longData[i] = static_cast<uint8_t>(i);
    EXPECT_EQ(Value(longData).description(),
              "{length = 30, bytes = 0x0001020304050607 ... 161718191a1b1c1d}");
    EXPECT_EQ(Value(Date::fromTimeIntervalSinceReferenceDate(0)).description(), "2001-01-01 00:00:00 +0000");
}

Value samplePropertyList() {
    const uint8_t bytes[] = {0, 1, 2, 254, 255};
    return Value::dictionary({
        {"string", "héllo <&>"},
        {"negative", -42},
        {"min", int64_t{std::numeric_limits<int64_t>::min()}},
        {"real", 0.1},
        {"flag", true},
        {"blob", Value::data(bytes, sizeof bytes)},
        {"empty", Value::data(nullptr, 0)},
        {"nested", Value::array({Value::dictionary({{"x", 1}}), Value::array(), "s"})},
    });
}

TEST(ValuePropertyList, RoundTripsInBothFormats) {
    for (auto format : {PropertyListFormat::XML, PropertyListFormat::Binary}) {
        Value original = samplePropertyList();
        original.set("date", Date::fromTimeIntervalSinceReferenceDate(123456789));
        auto bytes = original.toPropertyList(format);
        ASSERT_TRUE(bytes);
        auto back = Value::fromPropertyList(*bytes);
        ASSERT_TRUE(back);
        EXPECT_EQ(*back, original) << back->description();
        EXPECT_TRUE((*back)["flag"].isBool());
        EXPECT_TRUE((*back)["negative"].isInteger());
        EXPECT_TRUE((*back)["real"].isReal());
        EXPECT_EQ(back->getDictionary()->keys(), original.getDictionary()->keys());
    }
}

TEST(ValuePropertyList, BinaryKeepsSubSecondDates) {
    // Around the reference date and well before it, where the fractional part is negative.
    for (double t : {123456.789012, -1.5, -700000000.123456, 0.25}) {
        Value v = Value::array({Date::fromTimeIntervalSinceReferenceDate(t)});
        auto bytes = v.toPropertyList(PropertyListFormat::Binary);
        ASSERT_TRUE(bytes);
        auto back = Value::fromPropertyList(*bytes);
        ASSERT_TRUE(back);
        auto date = (*back)[0].getDate();
        ASSERT_TRUE(date) << t;
        EXPECT_NEAR(date->timeIntervalSinceReferenceDate(), t, 1.5e-6) << t;
    }
}

TEST(ValuePropertyList, TextsWithANulCharacterStayWholeInBinaryAndAreRefusedInXML) {
    // Found by fuzzing: a binary list whose text (UTF-16) holds U+0000 reads whole, but was written
    // cut at that character, and so lost the rest.
    const uint8_t found[] = {
        0x62, 0x70, 0x6c, 0x69, 0x73, 0x74, 0x30, 0x30, 0xd4, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x0b,
        0x64, 0x6c, 0x65, 0x33, 0x41, 0xc5, 0xb5, 0x28, 0x00, 0x00, 0x08, 0x11, 0x15, 0x15, 0x1a, 0x1f,
        0x22, 0x27, 0x29, 0x32, 0x44, 0x00, 0x03, 0x04, 0x0c, 0x51, 0x64, 0x51, 0x6e, 0x54, 0x01, 0x01,
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x0d, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x4d, 0x00, 0x4d, 0x00, 0x00, 0x00, 0x08, 0x11, 0x15, 0x15,
        0x1a, 0x1f, 0x22, 0x27, 0x29, 0x32, 0x44, 0x00, 0x03, 0x04, 0x0c, 0x51, 0x64, 0x51, 0x6e, 0x54,
        0x01, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x0d, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x4d,
    };
    auto read = Value::fromPropertyList(Data(found, found + sizeof found));
    ASSERT_TRUE(read && read->isString());
    ASSERT_NE(read->getString()->find('\0'), std::string::npos);

    // Texts as user defaults keep them, beside a date.
    Value kept = Value::dictionary({{"key", Value(std::string("va\0lue", 6))},
                                    {"found", *read},
                                    {"when", Date::fromTimeIntervalSinceReferenceDate(123456789)}});
    for (const Value& v : {*read, kept}) {
        auto bytes = v.toPropertyList(PropertyListFormat::Binary);
        ASSERT_TRUE(bytes);
        auto back = Value::fromPropertyList(*bytes);
        ASSERT_TRUE(back);
        EXPECT_EQ(*back, v) << back->description();

        Error error;
        EXPECT_FALSE(v.toPropertyList(PropertyListFormat::XML, &error));
        EXPECT_EQ(error.code(), 3851);
        EXPECT_NE(error.description().find("text with a NUL character"), std::string::npos)
            << error.description();
    }
    // A key with the character is kept in a binary list and refused in XML.
    Value keyed = Value::dictionary({{std::string("k\0ey", 4), 1}});
    auto bytes = keyed.toPropertyList(PropertyListFormat::Binary);
    ASSERT_TRUE(bytes);
    EXPECT_EQ(Value::fromPropertyList(*bytes), keyed);
    Error error;
    EXPECT_FALSE(keyed.toPropertyList(PropertyListFormat::XML, &error));
    EXPECT_NE(error.description().find("key with a NUL character"), std::string::npos) << error.description();
}

TEST(ValuePropertyList, AMalformedBinaryListIsRefusedWithoutStoppingTheProcess) {
    // Found by fuzzing: libplist, which read binary lists, failed an assertion on this one (a key
    // holding U+0000) and stopped the process.
    const uint8_t found[] = {
        0x62, 0x70, 0x6c, 0x69, 0x73, 0x74, 0x30, 0x30, 0xd4, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x0b,
        0x0c, 0x5d, 0x64, 0x59, 0x51, 0x6e, 0x6e, 0x61, 0x51, 0x0c, 0x54, 0x37, 0x22, 0x27, 0x29, 0x33,
        0x1a, 0x1f, 0x22, 0x27, 0x29, 0x32, 0x3b, 0x3c, 0x44, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01,
        0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x0d, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
        0x00, 0x00, 0x00, 0x65, 0x33, 0x41, 0xc5, 0xb5, 0x2a, 0xd0, 0x00, 0x00, 0x00, 0x08, 0x11, 0x17,
        0x15, 0x1a, 0x1f, 0x22, 0x27, 0x29, 0x32, 0x44, 0x00, 0x00, 0x3b, 0x3c, 0x00, 0x00, 0x00, 0x00,
        0x01, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x0d, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x4d,
    };
    Error error;
    EXPECT_FALSE(Value::fromPropertyList(Data(found, found + sizeof found), &error));
    EXPECT_EQ(error.code(), 3840);

    // An array that holds itself: "bplist00", the array (one element, object 0), the offset table
    // and the trailer (widths 1, one object, top 0, table at 10).
    Data selfHolding{'b', 'p', 'l', 'i', 's', 't', '0', '0', 0xA1, 0x00, 0x08};
    const uint8_t trailer[32] = {0, 0, 0, 0, 0, 0, 1, 1, 0, 0, 0, 0, 0, 0, 0, 1,
                                 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 10};
    selfHolding.insert(selfHolding.end(), trailer, trailer + sizeof trailer);
    EXPECT_FALSE(Value::fromPropertyList(selfHolding, &error));
    selfHolding[8] = 0xA0;  // the same file with an empty array reads
    EXPECT_EQ(Value::fromPropertyList(selfHolding), Value::array());
    // A web of shared references that would expand without end.
    bplist::Writer writer;
    bplist::Ref leaf = writer.string("leaf");
    bplist::Ref level = writer.array(std::vector<bplist::Ref>{leaf, leaf});
    for (int i = 0; i < 40; ++i) level = writer.array(std::vector<bplist::Ref>{level, level});
    EXPECT_FALSE(Value::fromPropertyList(writer.finish(level), &error));
    EXPECT_EQ(error.code(), 3840);
}

TEST(ValuePropertyList, RefusesWhatItCannotHold) {
    for (const Value& v :
         {Value::dictionary({{"n", nullptr}}), Value::array({Value()}), Value(nullptr), Value()}) {
        Error error;
        EXPECT_FALSE(v.toPropertyList(PropertyListFormat::Binary, &error));
        EXPECT_EQ(error.domain(), "NSCocoaErrorDomain");
        EXPECT_EQ(error.code(), 3851);
    }
    for (const char* text : {"", "not a property list", "<?xml version=\"1.0\"?><plist><dict><key>a</key>"}) {
        Error error;
        Data bytes(text, text + std::strlen(text));
        EXPECT_FALSE(Value::fromPropertyList(bytes, &error)) << text;
        EXPECT_EQ(error.code(), 3840);
    }
}

TEST(Error, DescriptionsAndUserInfo) {
    Error plain("SomeDomain", 7, Value("not a dictionary"));
    EXPECT_TRUE(plain.userInfo().isDictionary());
    EXPECT_EQ(plain.localizedDescription(),
              "The operation couldn\u2019t be completed. (SomeDomain error 7.)");

    Error described = Error::withDescription("D", -1, "Went wrong");
    EXPECT_EQ(described.localizedDescription(), "Went wrong");
    EXPECT_EQ(
        described.description(),
        "Error Domain=D Code=-1 \"Went wrong\" UserInfo={\n    NSLocalizedDescription = \"Went wrong\";\n}");

    Error notText("D", 1, Value::dictionary({{Error::kLocalizedDescriptionKey, 5}}));
    EXPECT_EQ(notText.localizedDescription(), "The operation couldn\u2019t be completed. (D error 1.)");
}

TEST(Date, DescriptionInUTC) {
    EXPECT_EQ(Date::fromTimeIntervalSince1970(-0.5).description(), "1969-12-31 23:59:59 +0000");
    EXPECT_EQ(Date::fromTimeIntervalSince1970(1767225600.999).description(), "2026-01-01 00:00:00 +0000");
    EXPECT_EQ(Date::fromTimeIntervalSinceReferenceDate(-86400 * 366.0).description(),
              "2000-01-01 00:00:00 +0000");
    // Times no calendar counts, as damaged data may hold.
    for (double seconds : {1.36534e28, -3.09797e307, 1e19, std::nan(""), HUGE_VAL})
        EXPECT_EQ(Date::fromTimeIntervalSince1970(seconds).description(), "(invalid date)") << seconds;
}

}  // namespace
}  // namespace brindlecue::platform
