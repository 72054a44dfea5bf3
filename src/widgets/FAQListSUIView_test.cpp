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

}  // namespace
}  // namespace brindlecue::widgets
