#include "widgets/FAQListSUIView.h"

#include <gtest/gtest.h>

#include "platform/uikit/UIScreen.h"
#include "widgets/FABButtonView.h"

namespace brindlecue::widgets {
namespace {

using namespace platform::swiftui;
using platform::CGRect;
using platform::CGSize;
using platform::Value;

std::shared_ptr<const Payload> payloadOf(const std::function<void(Value&)>& edit) {
    Value payload = *Value::fromJSON(ParseFAQ().getDefaultData());
    payload = payload["payload"][0];
    edit(payload);
    auto decoded = ParseFAQ().decodePayload(*payload.toJSON());
    return decoded ? std::make_shared<const Payload>(*decoded) : nullptr;
}

Placed layoutList(const std::shared_ptr<const Payload>& payload, bool showList = true) {
    FAQListSUIView list(showList, payload->buttonList, payload, std::nullopt, [] {}, [](const ButtonList&) {}, [] {},
                        [](CGSize) {});
    return layoutView(list.body(), {320, 800});
}

// The stack of the card's rows: the innermost vertical stack holding the heading and the
// don't-show-again row.
const Placed* contentColumn(const Placed& root) {
    const Placed* found = nullptr;
    for (const Placed* p : root.findAll("VStack"))
        if (p->findContent("Need some help?") && p->findContent("Don`t show me again")) found = p;
    return found;
}

TEST(FAQList, HeadingRowAndCollapseButton) {
    auto payload = payloadOf([](Value&) {});
    Placed root = layoutList(payload);
    const Placed* heading = root.findContent("Need some help?");
    const Placed* chevron = root.findContent("chevron.down");
    ASSERT_TRUE(heading && chevron);
    // The collapse button (24 by 24, its symbol centred) sits at the right end of the heading
    // row, level with its top: the row lies inside the meta's padding of 10 and the card's top
    // padding of 15.
    EXPECT_NEAR(chevron->frame.midX(), 320 - 10 - 12, 1e-6);
    double cardTop = root.children.front().frame.minY();
    EXPECT_NEAR(chevron->frame.midY() - cardTop, 15 + 10 + 12, 1e-6);
    EXPECT_NEAR(heading->frame.midX(), (10 + 310 - 8) / 2.0, 1.0);  // centred in the row, less its spacer

    // Without a heading text the row and its collapse button stay; without an icon name the
    // button is transparent.
    auto bare = payloadOf([](Value& p) {
        p.set("title", Value::dictionary());
        p.set("buttons", Value::dictionary());
    });
    Placed bareRoot = layoutList(bare);
    EXPECT_FALSE(bareRoot.findContent("Need some help?"));
    ASSERT_TRUE(bareRoot.findContent("chevron.down"));
    bool transparent = false;
    for (const Placed* o : bareRoot.findAll("opacity")) transparent = transparent || o->findContent("chevron.down");
    EXPECT_TRUE(transparent);
    EXPECT_FALSE(hitButton(bareRoot, {bareRoot.findContent("chevron.down")->frame.midX(),
                                      bareRoot.findContent("chevron.down")->frame.midY()}) &&
                 hitButton(bareRoot, {bareRoot.findContent("chevron.down")->frame.midX(),
                                      bareRoot.findContent("chevron.down")->frame.midY()})
                     ->findContent("chevron.down"));
}

TEST(FAQList, RowsTakeTheirSpacingFromTheFirstEntry) {
    auto spaced = payloadOf([](Value& p) {
        p.set("button-list", *Value::fromJSON(R"([{"id":1,"text":"one","margin-top":4,"margin-bottom":10},)"
                                             R"({"id":2,"text":"two"}])"));
    });
    Placed root = layoutList(spaced);
    const Placed* one = root.findContent("one");
    const Placed* two = root.findContent("two");
    ASSERT_TRUE(one && two);
    // Each row is padded 4 on top and 6 below; the VStack adds its spacing of 8.
    auto rowOf = [](const Placed& root, const Placed* text) {
        const Placed* found = nullptr;
        for (const Placed* p : root.findAll("HStack")) {
            if (p->findContent(text->node->content().value()) && p->findAll("Button").size() == 1) found = p;
        }
        return found;
    };
    const Placed* rowOne = rowOf(root, one);
    const Placed* rowTwo = rowOf(root, two);
    ASSERT_TRUE(rowOne && rowTwo);
    EXPECT_NEAR(rowTwo->frame.minY() - rowOne->frame.maxY(), 6 + 8 + 4, 1e-6);
    // Only the entry without vertical margins has a divider.
    EXPECT_TRUE(rowOne->findAll("Divider").empty());
    EXPECT_EQ(rowTwo->findAll("Divider").size(), 1u);

    // Hidden entries still leave the rest of the card.
    Placed hidden = layoutList(spaced, false);
    EXPECT_FALSE(hidden.findContent("one"));
    EXPECT_TRUE(hidden.findContent("Don`t show me again"));
}

TEST(FAQList, AFixedHeightSizesTheColumnAndAddsASpacer) {
    double screen = platform::UIScreen::mainScreen()->bounds().size.height;
    auto tall = payloadOf([](Value& p) {
        Value meta = p["meta"];
        Value display = meta["display-params"];
        display.set("height", "50%");
        meta.set("display-params", display);
        p.set("meta", meta);
    });
    Placed root = layoutList(tall);
    auto frames = root.findAll("frame");
    bool column = false;
    for (const Placed* f : frames) column = column || std::abs(f->frame.size.height - screen / 2) < 1e-6;
    EXPECT_TRUE(column);
    // The column ends in a spacer that takes the room the rows leave, below the last row.
    const Placed* rows = contentColumn(root);
    ASSERT_TRUE(rows && !rows->children.empty());
    const Placed& spacer = rows->children.back();
    EXPECT_EQ(spacer.kind(), "Spacer");
    EXPECT_GT(spacer.frame.size.height, 50);
    EXPECT_NEAR(spacer.frame.maxY(), rows->frame.maxY(), 1e-6);
    EXPECT_LE(rows->findContent("Don`t show me again")->frame.maxY(), spacer.frame.minY() + 1e-6);

    auto natural = payloadOf([](Value& p) {
        Value meta = p["meta"];
        Value display = meta["display-params"];
        display.remove("height");
        meta.set("display-params", display);
        p.set("meta", meta);
    });
    Placed card = layoutList(natural);
    const Placed* naturalRows = contentColumn(card);
    ASSERT_TRUE(naturalRows && !naturalRows->children.empty());
    EXPECT_NE(naturalRows->children.back().kind(), "Spacer")
        << "a column of natural height ends in its last row";
    // Card: the content column (natural height) under the top padding of 15.
    const Placed* outer = card.children.front().children.empty() ? nullptr : &card.children.front();
    ASSERT_TRUE(outer);
    EXPECT_LT(outer->frame.size.height, screen / 2);
}

TEST(FABView, IconPlacementAndTextStyle) {
    auto launcher = [](const char* json) {
        return std::make_shared<const Launcher>(
            *ParseFAQ().decodeSetup(std::string(R"({"launcher":)") + json + "}")->launcher);
    };
    auto layoutFab = [](const std::shared_ptr<const Launcher>& fab) {
        return layoutView(FABButtonView{fab, [] {}, [](CGSize) {}}.body(), {fab->btnWidth() + 40, fab->btnHeight()});
    };
    Placed start = layoutFab(launcher(R"({"icon-placement":"start","file-name":"help","text":"FAQ"})"));
    const Placed* icon = start.findContent("questionmark.circle.fill");
    const Placed* text = start.findContent("FAQ");
    ASSERT_TRUE(icon && text);
    EXPECT_LT(icon->frame.maxX(), text->frame.minX());
    EXPECT_FALSE(text->env.bold);

    Placed end = layoutFab(launcher(R"({"icon-placement":"end","file-name":"help","text":"FAQ","font-weight":"bold"})"));
    ASSERT_TRUE(end.findContent("questionmark.circle.fill"));
    EXPECT_GT(end.findContent("questionmark.circle.fill")->frame.minX(), end.findContent("FAQ")->frame.maxX());
    EXPECT_TRUE(end.findContent("FAQ")->env.bold);

    EXPECT_FALSE(layoutFab(launcher(R"({"icon-placement":"top","file-name":"help","text":"FAQ"})"))
                     .findContent("questionmark.circle.fill"));
    EXPECT_TRUE(layoutFab(launcher(R"({"icon-placement":"start","text":"FAQ"})")).findAll("Image").empty());

    Placed framed = layoutFab(launcher(R"({"icon-placement":"start","file-name":"alert","icon-height":30})"));
    ASSERT_TRUE(framed.findContent("exclamationmark.triangle.fill"));
    EXPECT_DOUBLE_EQ(framed.findContent("exclamationmark.triangle.fill")->frame.size.height, 25);
}


// Edits one section of the payload.
void editSection(Value& payload, const char* section, std::initializer_list<std::pair<const char*, Value>> members) {
    Value object = payload[section];
    for (const auto& [key, value] : members) object.set(key, value);
    payload.set(section, object);
}

TEST(FAQList, TextsAlignAndTheDontShowButtonSitsWhereTheDocumentSays) {
    auto aligned = payloadOf([](Value& p) {
        editSection(p, "title", {{"text-align", Value("left")}});
        editSection(p, "content", {{"text-align", Value("right")}});
    });
    Placed root = layoutList(aligned);
    EXPECT_EQ(root.findContent("Need some help?")->env.multilineTextAlignment, TextAlignment::leading);
    EXPECT_EQ(root.findContent(aligned->content.textOrEmpty())->env.multilineTextAlignment, TextAlignment::trailing);
    auto centred = payloadOf([](Value& p) { editSection(p, "title", {{"text-align", Value("justified")}}); });
    EXPECT_EQ(layoutList(centred).findContent("Need some help?")->env.multilineTextAlignment, TextAlignment::center);

    // The don't-show button: at the right by default, at the left when placed there; its text
    // takes the alignment word in a frame of the given size.
    const std::string dontShow = "Don`t show me again";
    auto frameAround = [&](const Placed& placed) {
        const Placed* found = nullptr;
        for (const Placed* f : placed.findAll("frame"))
            if (std::abs(f->frame.size.width - 200) < 1e-6 && f->findContent(dontShow)) found = f;
        return found;
    };
    struct Case {
        const char* placement;
        const char* align;
    };
    for (const Case c : {Case{"right", "top"}, Case{"left", "bottom"}, Case{"left", "left"}, Case{"right", "right"},
                         Case{"left", "middle"}}) {
        auto payload = payloadOf([&](Value& p) {
            editSection(p, "dismiss-forever",
                        {{"placement", Value(c.placement)}, {"text-align", Value(c.align)}, {"width", Value(200)},
                         {"height", Value(60)}});
        });
        Placed placed = layoutList(payload);
        const Placed* frame = frameAround(placed);
        const Placed* text = placed.findContent(dontShow);
        ASSERT_TRUE(frame && text) << c.placement << " " << c.align;
        const std::string what = std::string(c.placement) + " " + c.align;
        // The card is 320 wide with the meta's padding of 10 on each side.
        if (std::string(c.placement) == "left") {
            EXPECT_NEAR(frame->frame.minX(), 10, 1e-6) << what;
        } else {
            EXPECT_NEAR(frame->frame.maxX(), 310, 1e-6) << what;
        }
        const std::string align = c.align;
        if (align == "top") {
            EXPECT_NEAR(text->frame.minY(), frame->frame.minY(), 1e-6) << what;
        } else if (align == "bottom") {
            EXPECT_NEAR(text->frame.maxY(), frame->frame.maxY(), 1e-6) << what;
        } else if (align == "left") {
            EXPECT_NEAR(text->frame.minX(), frame->frame.minX(), 1e-6) << what;
        } else if (align == "right") {
            EXPECT_NEAR(text->frame.maxX(), frame->frame.maxX(), 1e-6) << what;
        } else {
            EXPECT_NEAR(text->frame.midX(), frame->frame.midX(), 1e-6) << what;
            EXPECT_NEAR(text->frame.midY(), frame->frame.midY(), 1e-6) << what;
        }
    }
}

TEST(FAQList, TheFirstEntrysShadowAndEachEntrysLineHeightShapeTheRows) {
    auto shadowed = payloadOf([](Value& p) {
        p.set("button-list", *Value::fromJSON(R"([{"id":1,"text":"one","box-shadow":3},{"id":2,"text":"two"},)"
                                             R"({"id":3,"text":"three","line-height":200}])"));
    });
    auto shadowsAround = [](const Placed& root, const std::string& text) {
        size_t count = 0;
        for (const Placed* shadow : root.findAll("shadow")) count += shadow->findContent(text) ? 1 : 0;
        return count;
    };
    // Every row gets a shadow of its own, beside the card's, when the first entry asks for one.
    Placed root = layoutList(shadowed);
    const size_t card = shadowsAround(root, "Need some help?");
    for (const char* text : {"one", "two", "three"}) EXPECT_EQ(shadowsAround(root, text), card + 1) << text;
    auto plain = payloadOf([](Value& p) {
        p.set("button-list", *Value::fromJSON(R"([{"id":1,"text":"one"},{"id":2,"text":"two","line-height":200}])"));
    });
    Placed plainRoot = layoutList(plain);
    EXPECT_EQ(shadowsAround(plainRoot, "one"), shadowsAround(plainRoot, "Need some help?"));
    // A line height of 200 spaces the label by 25 points in all: the row grows by what that adds to
    // the font's own line height.
    auto buttonOf = [](const Placed& root, const char* text) {
        const Placed* found = nullptr;
        for (const Placed* b : root.findAll("Button"))
            if (b->findContent(text)) found = b;
        return found;
    };
    const Placed* one = buttonOf(plainRoot, "one");
    const Placed* two = buttonOf(plainRoot, "two");
    ASSERT_TRUE(one && two);
    const double extra = 25 - loadFont("Arial", 18).lineHeight();
    ASSERT_GT(extra, 0);
    EXPECT_NEAR(two->frame.size.height - one->frame.size.height, extra, 1e-6);
}

}  // namespace
}  // namespace brindlecue::widgets
