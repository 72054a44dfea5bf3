#include "feed/KJTipBaseElement.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <functional>
#include <limits>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "feed/KJOverlay.h"
#include "foundation/KJLog.h"
#include "platform/uikit/UIView.h"

namespace brindlecue {
namespace {

using platform::Color;
using platform::Value;

// A record with a property of every kind.
class SampleRecord : public KJTipBaseElement {
public:
    static const KJElementClass& elementClass() {
        static const KJElementClass cls("SampleRecord", &KJTipBaseElement::elementClass(),
                                        KJPropertyTable<SampleRecord>()
                                            .text("title", &SampleRecord::title)
                                            .int32("count", &SampleRecord::count)
                                            .integer("alignment", &SampleRecord::alignment)
                                            .real("ratio", &SampleRecord::ratio)
                                            .boolean("visible", &SampleRecord::visible)
                                            .color("tint", &SampleRecord::tint)
                                            .fourSide("padding", &SampleRecord::padding)
                                            .other("children", "NSArray")
                                            .other("frame", "")
                                            .build());
        return cls;
    }
    const KJElementClass& recordClass() const override { return elementClass(); }

    std::optional<std::string> title;
    int32_t count = 0;
    int64_t alignment = 0;
    double ratio = 0;
    bool visible = false;
    std::optional<Color> tint;
    FourSide padding;
    std::vector<int> children;
};

class SampleSubrecord : public SampleRecord {
public:
    static const KJElementClass& elementClass() {
        static const KJElementClass cls("SampleSubrecord", &SampleRecord::elementClass(), {});
        return cls;
    }
    const KJElementClass& recordClass() const override { return elementClass(); }
};

// A record whose text property is stored under a key its four-sided property writes too.
class OverlappingRecord : public KJTipBaseElement {
public:
    static const KJElementClass& elementClass() {
        static const KJElementClass cls("OverlappingRecord", &KJTipBaseElement::elementClass(),
                                        KJPropertyTable<OverlappingRecord>()
                                            .text("margin.left", &OverlappingRecord::note)
                                            .fourSide("margin", &OverlappingRecord::margin)
                                            .build());
        return cls;
    }
    const KJElementClass& recordClass() const override { return elementClass(); }

    std::optional<std::string> note = "first";
    FourSide margin{.top = 5, .bottom = 6, .left = 7, .right = 8};
};

struct KJLogLines {
    std::vector<std::string> lines;
    KJLogLines() {
        KJLogSetObserver([this](int, const std::string& line) { lines.push_back(line); });
    }
    ~KJLogLines() { KJLogSetObserver(nullptr); }
};

Value stored(const SampleRecord& record, const KJTipBaseElement::Exclusions& exclude = {}) {
    platform::Dictionary out;
    record.serializeToDictionaryWithExcludeProperties(out, exclude);
    return Value(std::move(out));
}

template <class R = SampleRecord>
std::shared_ptr<R> filled() {
    auto r = std::make_shared<R>();
    r->title = "Hello";
    r->count = 7;
    r->alignment = 2;
    r->ratio = 0.25;
    r->visible = true;
    r->tint = Color{1, 0, 0, 0.5};
    r->padding = {1, 2, 3, 4};
    r->children = {1, 2};
    return r;
}

TEST(KJTipBaseElement, WritesEveryConvertiblePropertyByName) {
    Value out = stored(*filled());
    EXPECT_EQ(out["title"], Value("Hello"));
    EXPECT_EQ(out["count"], Value(7));
    EXPECT_EQ(out["alignment"], Value(2));
    EXPECT_EQ(out["ratio"], Value(0.25));
    EXPECT_EQ(out["visible"], Value(true));
    EXPECT_EQ(out["tint"], Value("#7FFF0000"));
    // Four-sided values go under four keys; the property name itself is not written.
    EXPECT_EQ(out["padding.top"], Value(1.0));
    EXPECT_EQ(out["padding.bottom"], Value(2.0));
    EXPECT_EQ(out["padding.left"], Value(3.0));
    EXPECT_EQ(out["padding.right"], Value(4.0));
    for (const char* never : {"padding", "children", "frame"}) EXPECT_TRUE(out[never].isAbsent()) << never;
    EXPECT_EQ(out.count(), 10u);

    // Absent text and colour are written as the empty text.
    Value empty = stored(SampleRecord());
    EXPECT_EQ(empty["title"], Value(""));
    EXPECT_EQ(empty["tint"], Value(""));

    Value excluded = stored(*filled(), {"title", "padding"});
    EXPECT_TRUE(excluded["title"].isAbsent());
    EXPECT_TRUE(excluded["padding.top"].isAbsent());
    EXPECT_EQ(excluded["count"], Value(7));

    // A key written twice keeps its first place and the later value, whether a nested record
    // wrote it before the properties or two properties share it.
    EXPECT_TRUE(SampleRecord::elementClass().storedKeysDistinct());
    EXPECT_FALSE(OverlappingRecord::elementClass().storedKeysDistinct());
    platform::Dictionary nested{{"count", Value("nested")}, {"child", Value::dictionary()}};
    filled()->serializeToDictionaryWithExcludeProperties(nested, {});
    EXPECT_EQ(nested.keys().front(), "count");
    EXPECT_EQ(*nested.find("count"), Value(7));
    EXPECT_EQ(nested.size(), 11u);
    // Keys no property writes stay in front as they are.
    EXPECT_TRUE(SampleRecord::elementClass().writesKey("padding.top"));
    EXPECT_FALSE(SampleRecord::elementClass().writesKey("padding"));
    EXPECT_FALSE(SampleRecord::elementClass().writesKey("children"));
    platform::Dictionary onlyNested{{"child", Value::dictionary()}, {"padding", Value(1)}};
    filled()->serializeToDictionaryWithExcludeProperties(onlyNested, {});
    EXPECT_EQ(onlyNested.size(), 12u);
    EXPECT_EQ(onlyNested.keys()[0], "child");
    EXPECT_EQ(onlyNested.keys()[1], "padding");
    EXPECT_EQ(*onlyNested.find("count"), Value(7));
    platform::Dictionary overlappingOut;
    OverlappingRecord().serializeToDictionaryWithExcludeProperties(overlappingOut, {});
    Value overlapping(std::move(overlappingOut));
    EXPECT_EQ(overlapping.getDictionary()->keys(),
              (std::vector<std::string>{"margin.left", "margin.top", "margin.right", "margin.bottom"}));
    EXPECT_EQ(overlapping["margin.left"], Value(7.0));
}

TEST(KJTipBaseElement, ReadsBackEqualAndMissingKeysAsAbsent) {
    SampleRecord back;
    ASSERT_TRUE(back.deserializeFromDictionaryWithExcludeProperties(stored(*filled())));
    EXPECT_TRUE(back.isEqualWithExcludeProperties(filled().get()));
    EXPECT_EQ(back.padding, (FourSide{1, 2, 3, 4}));
    EXPECT_TRUE(back.children.empty());  // other kinds stay as the fresh record has them

    // A missing text key reads as absent, never as the text "(null)"; the empty colour text
    // leaves no colour.
    SampleRecord sparse;
    sparse.title = "kept?";
    ASSERT_TRUE(sparse.deserializeFromDictionaryWithExcludeProperties(Value::dictionary({{"tint", ""}})));
    EXPECT_FALSE(sparse.title.has_value());
    EXPECT_FALSE(sparse.tint.has_value());
    EXPECT_EQ(sparse.count, 0);
    EXPECT_EQ(sparse.padding, FourSide{});

    // Not a dictionary: false and nothing changes.
    auto untouched = filled();
    EXPECT_FALSE(untouched->deserializeFromDictionaryWithExcludeProperties(Value::array({1})));
    EXPECT_EQ(untouched->title, "Hello");
}

TEST(KJTipBaseElement, StoredValuesOfAnotherKindConvertOrFallBackAndLog) {
    KJLogLines log;
    SampleRecord r;
    ASSERT_TRUE(r.deserializeFromDictionaryWithExcludeProperties(Value::dictionary({
        {"title", 12},
        {"count", "42abc"},
        {"ratio", "0.5"},
        {"visible", Value::array({true})},
        {"tint", 5},
        {"padding.top", Value::dictionary({{"a", 1}})},
        {"padding.left", "2.5"},
    })));
    EXPECT_EQ(r.title, "12");
    EXPECT_EQ(r.count, 42);
    EXPECT_DOUBLE_EQ(r.ratio, 0.5);
    EXPECT_FALSE(r.visible);
    EXPECT_FALSE(r.tint.has_value());
    EXPECT_EQ(r.padding.top, 0);
    EXPECT_EQ(r.padding.left, 2.5);
    ASSERT_EQ(log.lines.size(), 3u);
    EXPECT_EQ(log.lines[0],
              "Model: SampleRecord \"visible\" is a list where a boolean is expected; the default is used.");
}

TEST(KJTipBaseElement, ComparesWithToleranceAndByClass) {
    auto a = filled();
    auto b = filled();
    b->ratio = a->ratio + 0.005;
    EXPECT_TRUE(a->isEqualWithExcludeProperties(b.get()));
    b->ratio = a->ratio + 0.02;
    EXPECT_FALSE(a->isEqualWithExcludeProperties(b.get()));
    EXPECT_TRUE(a->isEqualWithExcludeProperties(b.get(), {"ratio"}));

    b = filled();
    b->padding.right += 1;
    EXPECT_FALSE(a->isEqualWithExcludeProperties(b.get()));
    b = filled();
    b->title.reset();
    a->title = "";
    EXPECT_TRUE(a->isEqualWithExcludeProperties(b.get()));  // absent text counts as ""
    b->tint = Color{1, 0, 0, 0.49};
    EXPECT_FALSE(a->isEqualWithExcludeProperties(b.get()));
    b = filled();
    b->children = {9};
    EXPECT_TRUE(filled()->isEqualWithExcludeProperties(b.get()));  // other kinds are not compared

    // The other object must be of the receiver's class or a subclass.
    auto sub = filled<SampleSubrecord>();
    EXPECT_TRUE(filled()->isEqualWithExcludeProperties(sub.get()));
    EXPECT_FALSE(sub->isEqualWithExcludeProperties(filled().get()));
    KJTipBaseElement base;
    EXPECT_TRUE(base.isEqualWithExcludeProperties(sub.get()));
    EXPECT_FALSE(base.isEqual(sub.get()));  // the base's own contract compares nothing
    KJOverlay overlay;
    EXPECT_FALSE(a->isEqualWithExcludeProperties(&overlay));
    auto view = platform::make<platform::UIView>();
    EXPECT_FALSE(a->isEqualWithExcludeProperties(view.get()));
    EXPECT_FALSE(a->isEqualWithExcludeProperties(nullptr));
}

TEST(KJTipBaseElement, ANumberBeyondTheRangeEqualsItself) {
    // Found by fuzzing: a side of "6e999" (infinite) made a record unequal to itself, and to its
    // own stored form.
    for (double odd : {std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
                       std::numeric_limits<double>::quiet_NaN(), 1e300}) {
        auto a = filled();
        a->ratio = odd;
        a->padding.left = odd;
        auto b = filled();
        b->ratio = odd;
        b->padding.left = odd;
        EXPECT_TRUE(a->isEqualWithExcludeProperties(b.get())) << odd;
        b->ratio = 1;
        EXPECT_FALSE(a->isEqualWithExcludeProperties(b.get())) << odd;
    }
    EXPECT_FALSE(
        kjNearlyEqual(std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity()));
}

TEST(KJTipBaseElement, ClassesAreKnownByNameAndAnswerKeyValueLookups) {
    SampleSubrecord sub;
    EXPECT_EQ(sub.className(), "SampleSubrecord");
    EXPECT_TRUE(sub.isKindOfClass("SampleRecord"));
    EXPECT_TRUE(sub.isKindOfClass("KJTipBaseElement"));
    EXPECT_FALSE(sub.isKindOfClass("KJOverlay"));

    auto r = filled();
    EXPECT_EQ(r->valueForKey("title"), Value("Hello"));
    EXPECT_EQ(r->valueForKey("tint"), Value("#7FFF0000"));
    EXPECT_TRUE(SampleRecord().valueForKey("title").isAbsent());

    // Record classes of other layers are reached by name once registered.
    EXPECT_EQ(KJElementClass::createFromFeed("SampleRecord", Value::dictionary()), nullptr);
    KJElementClass::registerFactories(
        "SampleRecord", {[](const Value&) { return std::make_shared<SampleRecord>(); }, nullptr});
    EXPECT_TRUE(
        std::dynamic_pointer_cast<SampleRecord>(KJElementClass::createFromFeed("SampleRecord", Value())));
    EXPECT_EQ(KJElementClass::deserializeFromDictionary("SampleRecord", Value::dictionary()), nullptr);
    KJElementClass::registerFactories("SampleRecord", {});
    EXPECT_FALSE(KJElementClass::factories("SampleRecord"));
}

// A thread that has looked classes up before sees every later registration, also from inside a
// factory (a nested record).
TEST(KJTipBaseElement, RegistrationsReachThreadsThatLookedUpBefore) {
    std::thread worker;
    std::mutex mutex;
    std::condition_variable cv;
    std::function<void()> job;
    bool done = false;
    worker = std::thread([&] {
        for (;;) {
            std::unique_lock lock(mutex);
            cv.wait(lock, [&] { return job || done; });
            if (done) return;
            job();
            job = nullptr;
            cv.notify_all();
        }
    });
    // Runs on the one worker, which keeps what it looked up between the calls.
    auto run = [&](std::function<void()> work) {
        std::unique_lock lock(mutex);
        job = std::move(work);
        cv.notify_all();
        cv.wait(lock, [&] { return !job; });
    };

    std::shared_ptr<KJTipBaseElement> made;
    run([&] { made = KJElementClass::createFromFeed("SampleRecord", Value()); });
    EXPECT_EQ(made, nullptr);
    KJElementClass::registerFactories(
        "SampleRecord", {[](const Value&) { return std::make_shared<SampleRecord>(); }, nullptr});
    run([&] { made = KJElementClass::createFromFeed("SampleRecord", Value()); });
    EXPECT_TRUE(std::dynamic_pointer_cast<SampleRecord>(made));

    // A factory that makes a nested record of a class registered meanwhile.
    KJElementClass::registerFactories("SampleRecord", {[](const Value&) -> std::shared_ptr<KJTipBaseElement> {
                                                           auto outer = std::make_shared<SampleRecord>();
                                                           if (KJElementClass::createFromFeed("SampleSubrecord",
                                                                                              Value()))
                                                               outer->title = "with nested";
                                                           return outer;
                                                       },
                                                       nullptr});
    KJElementClass::registerFactories(
        "SampleSubrecord", {[](const Value&) { return std::make_shared<SampleSubrecord>(); }, nullptr});
    run([&] { made = KJElementClass::createFromFeed("SampleRecord", Value()); });
    ASSERT_TRUE(std::dynamic_pointer_cast<SampleRecord>(made));
    EXPECT_EQ(std::dynamic_pointer_cast<SampleRecord>(made)->title, "with nested");

    KJElementClass::registerFactories("SampleRecord", {});
    KJElementClass::registerFactories("SampleSubrecord", {});
    run([&] { made = KJElementClass::createFromFeed("SampleRecord", Value()); });
    EXPECT_EQ(made, nullptr);
    {
        std::lock_guard lock(mutex);
        done = true;
    }
    cv.notify_all();
    worker.join();
}

}  // namespace
}  // namespace brindlecue
