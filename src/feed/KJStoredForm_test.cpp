#include "feed/KJStoredForm.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "feed/KJTipCarouselElement.h"
#include "feed/KJTipElement.h"
#include "feed/KJTipFeedbackElement.h"
#include "feed/KJTipSeriesElement.h"
#include "feed/KJTipTextElement.h"
#include "platform/BinaryPropertyList.h"
#include "support/FakeTextMeasurer.h"
#include "support/FakeTipElements.h"

namespace brindlecue {
namespace {

using platform::Value;
namespace bplist = platform::bplist;

Value parse(const std::string& text) {
    auto v = Value::fromJSON(text);
    EXPECT_TRUE(v) << text;
    return v.value_or(Value());
}

// A campaign row whose steps use every kind of nested record and stored key: images, buttons, a
// carousel with a page button, a survey with its lists, an overlay, the pointer, colours that are
// there and colours that are not, texts beyond ASCII and with U+0000.
Value campaignRow(const std::string& feedId, const std::string& title) {
    Value row = parse(R"json({"seriesAuthorMode": "CAMPAIGN", "campaignid": "c1", "modified": "", "priority": 3,
        "repeat_conditions": "{\"repeat_conditions\": [{\"type\": \"seen_count\"}]}",
        "setup": {"tool": "tour", "view": "Home", "display": ["dom"],
                  "launcher": {"type": "button", "id": "launch"}},
        "payload": [
          {"meta": {"id": 1, "tool": "tour", "view": "Home", "placement": "bottom", "delay": 0.25, "url": "",
                    "padding-top": 4, "padding-left": "6.5", "margin-bottom": 8, "box-shadow": 2,
                    "background-color": "#336699",
                    "display-params": {"border-color": "rgb(255,0,0)", "width": "80%", "dim": 50, "color": "#112233"},
                    "dismiss-params": {"touch-in": true},
                    "cutout-params": {"style": "circular", "width": 50},
                    "animation": {"transition-in": {"type": "fade", "duration": 0.3}}},
           "carousel": {"items": [{"id": "p1", "title": "Page", "button-text": "Go", "button-width": "50%"},
                                  {"id": "p2", "title": "Page"}]},
           "extra_json": {"guideBlockKey": "survey"},
           "feedback": {"title": "Tell us", "c": ["Yes", "No"], "custom_tags_list": "[\"plan\"]"},
           "image": [{"id": "img1"}, {"id": "img2"}],
           "content": {"text": "Body", "line-height": "150%"},
           "buttons": {"next": {"text": "Next", "width": "50%"}, "prev": {"text": "Back"}, "dismiss": {"id": "x"}},
           "pointer-params": {"width": 20.1}},
          {"meta": {"id": "2", "tool": "tip", "view": "Cart", "url": "https://example.com/p"},
           "extra_json": {"guideBlockKey": "other"},
           "feedback": {"c": []},
           "overlay": {"type": "coachmark", "background-color": "#222222"}}]})json");
    row.set("feed_id", feedId);
    row.set("payload", [&] {
        Value payload = row["payload"];
        Value first = payload[0];
        first.set("title", Value::dictionary({{"text", Value(title)}, {"color", "#000000"}}));
        payload.mutableArray()[0] = first;
        return payload;
    }());
    return row;
}

class KJStoredFormTest : public testing::Test {
protected:
    testsupport::ScopedFakeTipElements fakes;
    testsupport::ScopedTextMeasurer measurer;
};

// The stored form written as a property list from the records is, object for object, the one
// the dictionary of serializeToDictionary writes as; so is a list of campaigns.
TEST_F(KJStoredFormTest, TheWrittenFormIsTheDictionaryWritten) {
    std::vector<std::shared_ptr<KJTipSeriesElement>> campaigns;
    const std::vector<std::string> titles{"Welcome", "Caf\xC3\xA9 \xF0\x9F\x8D\xB0", "nul", ""};
    for (const std::string& title : titles) {
        auto series = KJTipSeriesElement::createFromFeed(campaignRow("f" + std::to_string(campaigns.size()), title));
        ASSERT_TRUE(series);
        campaigns.push_back(series);
    }
    // A text with U+0000 inside, which is written as UTF-16.
    campaigns[2]->arrayTips[0]->title->text = std::string("nul\0l", 5);
    ASSERT_TRUE(campaigns[0]->arrayTips[0]->carousel && campaigns[0]->arrayTips[0]->feedback);
    ASSERT_TRUE(campaigns[0]->arrayTips[1]->feedback && campaigns[0]->arrayTips[1]->feedback->arrayOptions);
    EXPECT_TRUE(campaigns[0]->arrayTips[1]->feedback->arrayOptions->empty());

    platform::Array forms;
    std::vector<const KJTipBaseElement*> records;
    for (const auto& series : campaigns) {
        const Value form = series->serializeToDictionary();
        auto written = series->writeStoredForm();
        auto expected = bplist::writeOnItsOwn(form);
        ASSERT_TRUE(written && expected);
        EXPECT_TRUE(*written == *expected);
        EXPECT_EQ(written->file(), expected->file());
        EXPECT_EQ(Value::fromPropertyList(written->file()), form);
        forms.push_back(form);
        records.push_back(series.get());
    }
    // A step and a page on their own too.
    const KJTipBaseElement* step = campaigns[0]->arrayTips[0].get();
    EXPECT_TRUE(*step->writeStoredForm() == *bplist::writeOnItsOwn(step->serializeToDictionary()));
    const KJTipBaseElement* page = campaigns[0]->arrayTips[0]->carousel->items->front().get();
    EXPECT_TRUE(*page->writeStoredForm() == *bplist::writeOnItsOwn(page->serializeToDictionary()));

    auto list = KJStoredForm::writeListOnItsOwn(records);
    ASSERT_TRUE(list);
    EXPECT_EQ(list->file(), bplist::writeOnItsOwn(Value(forms))->file());
    EXPECT_EQ(KJStoredForm::writeListOnItsOwn({})->file(), bplist::writeOnItsOwn(Value::array())->file());
}

// The dictionary keeps the order it always had: nested records first, in the class's order, the
// pointer, then the properties in declaration order.
TEST_F(KJStoredFormTest, AStepsDictionaryKeepsItsKeysInOrder) {
    auto series = KJTipSeriesElement::createFromFeed(campaignRow("f1", "Welcome"));
    ASSERT_TRUE(series);
    const Value stored = series->arrayTips[0]->serializeToDictionary();
    EXPECT_EQ(stored.getDictionary()->keys(),
              (std::vector<std::string>{
                  "target", "arrayImages", "title", "content", "prev", "next", "dismiss", "web", "coachmark",
                  "carousel", "feedback", "animation", "overlay", "pointerParams.width", "pointerParams.height",
                  "pointerParams.offset", "suid", "feed_id", "campaignid", "tipType", "view", "placement",
                  "delaySeconds", "padding.top", "padding.left", "padding.right", "padding.bottom", "margin.top",
                  "margin.left", "margin.right", "margin.bottom", "boxShadow", "backgroundColor", "borderColor",
                  "borderWidth", "borderCornerRadius", "width", "height", "widthUnit", "heightUnit", "overlayColor",
                  "overlayAlpha", "pair", "isHorizontal", "dismissWhenTouchInside", "dismissWhenTouchOutside",
                  "status", "guideBlockKey"}));
    const Value campaign = series->serializeToDictionary();
    EXPECT_EQ(campaign.getDictionary()->keys(),
              (std::vector<std::string>{"launcher", "target", "arrayTips", "tipDisplayType", "tipType",
                                        "seriesAuthorMode", "triggerType", "feed_id", "campaignid",
                                        "isMultipageTour", "priority", "currentPreviewStep"}));
    EXPECT_EQ(campaign["arrayTips"].count(), 2u);
    // Absent texts and colours are empty texts; the survey's lists are lists of texts.
    EXPECT_EQ(stored["status"], Value(""));
    EXPECT_EQ(stored["overlayColor"], Value("#80112233"));
    EXPECT_EQ(stored["feedback"]["arrayOptions"], Value::array({"Yes", "No"}));
    EXPECT_EQ(stored["feedback"]["customTagsList"], Value::array({"plan"}));
    EXPECT_EQ(series->arrayTips[1]->serializeToDictionary()["feedback"]["arrayOptions"], Value::array());
}

// A record with a key given twice (a nested record's key that a property writes too), and two
// properties of one key: the key keeps its first place and takes the later value, in the
// dictionary and in the written form alike. A nested record without a stored form is absent in
// the dictionary, which no property list holds.
class Shape : public KJTipBaseElement {
public:
    static const KJElementClass& elementClass() {
        static const KJElementClass cls("Shape", &KJTipBaseElement::elementClass(),
                                        KJPropertyTable<Shape>()
                                            .text("inner", &Shape::name)
                                            .text("margin.left", &Shape::note)
                                            .fourSide("margin", &Shape::margin)
                                            .color("tint", &Shape::tint)
                                            .build());
        return cls;
    }
    const KJElementClass& recordClass() const override { return elementClass(); }
    bool storedForm(KJStoredForm& out) const override {
        static const KJStoredKey& kInner = KJStoredKey::named("inner");
        out.record(kInner, inner);
        storedProperties(out);
        return true;
    }

    std::optional<std::string> name = "shape";
    std::optional<std::string> note = "first";
    FourSide margin{.top = 1, .bottom = 2, .left = 3, .right = 4};
    std::optional<platform::Color> tint;
    std::shared_ptr<KJTipBaseElement> inner;
};

class Formless : public KJTipBaseElement {};

TEST_F(KJStoredFormTest, AKeyGivenTwiceKeepsItsPlaceAndTakesTheLaterValue) {
    Shape shape;
    shape.inner = std::make_shared<Shape>();
    const Value stored = shape.serializeToDictionary();
    EXPECT_EQ(stored.getDictionary()->keys(),
              (std::vector<std::string>{"inner", "margin.left", "margin.top", "margin.right", "margin.bottom", "tint"}));
    EXPECT_EQ(stored["inner"], Value("shape"));
    EXPECT_EQ(stored["margin.left"], Value(3.0));
    EXPECT_EQ(stored["tint"], Value(""));
    EXPECT_TRUE(*shape.writeStoredForm() == *bplist::writeOnItsOwn(stored));

    // The same with the nested record's key not written by a property: it stays a dictionary.
    class Loose : public Shape {
    public:
        bool storedForm(KJStoredForm& out) const override {
            static const KJStoredKey& kOther = KJStoredKey::named("other");
            out.record(kOther, inner);
            out.integer(kOther, 7);
            storedProperties(out);
            return true;
        }
    } loose;
    loose.inner = std::make_shared<Shape>();
    const Value looseStored = loose.serializeToDictionary();
    EXPECT_EQ(looseStored.getDictionary()->keys().front(), "other");
    EXPECT_EQ(looseStored["other"], Value(7));
    EXPECT_TRUE(*loose.writeStoredForm() == *bplist::writeOnItsOwn(looseStored));

    // A nested record without a stored form.
    class Holder : public Shape {
    public:
        bool storedForm(KJStoredForm& out) const override {
            static const KJStoredKey& kHeld = KJStoredKey::named("held");
            out.record(kHeld, inner);
            storedProperties(out);
            return true;
        }
    } holder;
    holder.inner = std::make_shared<Formless>();
    const Value withFormless = holder.serializeToDictionary();
    EXPECT_TRUE(withFormless.getDictionary()->contains("held"));
    EXPECT_TRUE(withFormless["held"].isAbsent());
    EXPECT_FALSE(holder.writeStoredForm());
    EXPECT_FALSE(bplist::writeOnItsOwn(withFormless));
    const KJTipBaseElement* records[] = {&loose, &holder};
    EXPECT_FALSE(KJStoredForm::writeListOnItsOwn(records));
    EXPECT_TRUE(Formless().serializeToDictionary().isAbsent());
    EXPECT_FALSE(Formless().writeStoredForm());
}

// A record of every convertible kind, written through an exclusion list its class keeps, and a
// subclass of its own class that writes with the same list; the fields are read where they lie.
class Swatch : public KJTipBaseElement {
public:
    static const KJElementClass& elementClass() {
        static const KJElementClass cls("Swatch", &KJTipBaseElement::elementClass(),
                                        KJPropertyTable<Swatch>()
                                            .text("label", &Swatch::label)
                                            .text("note", &Swatch::note)
                                            .int32("count", &Swatch::count)
                                            .integer("align", &Swatch::align)
                                            .real("alpha", &Swatch::alpha)
                                            .boolean("shown", &Swatch::shown)
                                            .color("fill", &Swatch::fill)
                                            .color("edge", &Swatch::edge)
                                            .fourSide("pad", &Swatch::pad)
                                            .text("secret", &Swatch::secret)
                                            .other("parts", "NSArray")
                                            .build());
        return cls;
    }
    const KJElementClass& recordClass() const override { return elementClass(); }
    bool storedForm(KJStoredForm& out) const override {
        static const KJStoredKey& kCount = KJStoredKey::named("count");
        static const StoredExclusions kStored({"secret"});
        // A key given before that a property writes too.
        if (givesCount) out.integer(kCount, -1);
        storedProperties(out, kStored);
        return true;
    }

    bool givesCount = false;
    std::optional<std::string> label = "swatch";
    std::optional<std::string> note;
    int32_t count = -7;
    int64_t align = int64_t(1) << 40;
    double alpha = 0.25;
    bool shown = true;
    std::optional<platform::Color> fill = platform::Color{1, 0.5, 0, 1};
    std::optional<platform::Color> edge;
    FourSide pad{.top = 1, .bottom = 2, .left = 3, .right = 4};
    std::optional<std::string> secret = "hidden";
};

class WideSwatch : public Swatch {
public:
    static const KJElementClass& elementClass() {
        static const KJElementClass cls("WideSwatch", &Swatch::elementClass(),
                                        KJPropertyTable<WideSwatch>()
                                            .real("width", &WideSwatch::width)
                                            .text("secret", &WideSwatch::secret2)
                                            .build());
        return cls;
    }
    const KJElementClass& recordClass() const override { return elementClass(); }

    double width = 120.5;
    std::optional<std::string> secret2 = "wide";
};

TEST_F(KJStoredFormTest, PropertiesAreReadFromTheirFieldsForEachClass) {
    Swatch swatch;
    WideSwatch wide;
    Swatch other;
    other.label.reset();
    other.edge = platform::Color{0, 0, 1, 0.5};
    other.pad.left = -9;
    other.givesCount = true;
    // Alternately, so that the list resolved for one class is never used for the other.
    for (int round = 0; round < 2; ++round) {
        const Value stored = swatch.serializeToDictionary();
        EXPECT_EQ(stored.getDictionary()->keys(),
                  (std::vector<std::string>{"label", "note", "count", "align", "alpha", "shown", "fill", "edge",
                                            "pad.top", "pad.left", "pad.right", "pad.bottom"}));
        EXPECT_EQ(stored["label"], Value("swatch"));
        EXPECT_EQ(stored["note"], Value(""));
        EXPECT_EQ(stored["count"], Value(-7));
        EXPECT_EQ(stored["align"], Value(int64_t(1) << 40));
        EXPECT_EQ(stored["alpha"], Value(0.25));
        EXPECT_EQ(stored["shown"], Value(true));
        EXPECT_EQ(stored["fill"], Value("#FFFF7F00"));
        EXPECT_EQ(stored["edge"], Value(""));
        EXPECT_EQ(stored["pad.left"], Value(3.0));
        EXPECT_EQ(stored["pad.bottom"], Value(2.0));
        EXPECT_TRUE(*swatch.writeStoredForm() == *bplist::writeOnItsOwn(stored));

        // The subclass's own properties only, with its "secret" left out by name.
        const Value wideStored = wide.serializeToDictionary();
        EXPECT_EQ(wideStored.getDictionary()->keys(), std::vector<std::string>{"width"});
        EXPECT_EQ(wideStored["width"], Value(120.5));
        EXPECT_TRUE(*wide.writeStoredForm() == *bplist::writeOnItsOwn(wideStored));

        // The key given first keeps its place and takes the property's value.
        const Value otherStored = other.serializeToDictionary();
        EXPECT_EQ(otherStored.getDictionary()->keys().front(), "count");
        EXPECT_EQ(otherStored["count"], Value(-7));
        EXPECT_EQ(otherStored["label"], Value(""));
        EXPECT_EQ(otherStored["edge"], Value("#7F0000FF"));
        EXPECT_EQ(otherStored["pad.left"], Value(-9.0));
        EXPECT_TRUE(*other.writeStoredForm() == *bplist::writeOnItsOwn(otherStored));

        const KJTipBaseElement* records[] = {&swatch, &wide, &other, &swatch};
        EXPECT_EQ(KJStoredForm::writeListOnItsOwn(records)->file(),
                  bplist::writeOnItsOwn(Value::array({stored, wideStored, otherStored, stored}))->file());
    }

    // The same list given by value resolves the same way.
    KJStoredForm form;
    swatch.storedProperties(form, {"secret", "pad"});
    platform::Dictionary byValue;
    form.addTo(byValue);
    EXPECT_EQ(byValue.keys(), (std::vector<std::string>{"label", "note", "count", "align", "alpha", "shown",
                                                        "fill", "edge"}));
}

TEST_F(KJStoredFormTest, AKeyOfOneTextIsOneKey) {
    const KJStoredKey& a = KJStoredKey::named("stored-form-test-key");
    const KJStoredKey& b = KJStoredKey::named(std::string("stored-form-test-") + "key");
    EXPECT_EQ(&a, &b);
    EXPECT_EQ(a.text(), "stored-form-test-key");
    EXPECT_LT(a.id(), KJStoredKey::count());
    EXPECT_NE(&KJStoredKey::named("stored-form-test-other"), &a);
    EXPECT_NE(KJStoredKey::named("stored-form-test-other").id(), a.id());
}

}  // namespace
}  // namespace brindlecue
