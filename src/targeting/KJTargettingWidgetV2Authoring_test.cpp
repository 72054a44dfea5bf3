#include <gtest/gtest.h>

#include <cctype>

#include "platform/Crypto.h"
#include "platform/uikit/UIGestureRecognizer.h"
#include "platform/uikit/UIScreen.h"
#include "targeting/KJTargettingWidgetV2.h"
#include "targeting/NodeFilter.h"
#include "targeting/TargetingScene_test.h"

namespace brindlecue {
namespace {

using namespace testscene;

constexpr const char* kCellButtons = "UIButton@UITableViewCell/0/0@UITableView@HomeViewController";

std::string upperMD5(const std::string& text) {
    std::string digest = Crypto::md5Hex(std::string_view(text));
    for (char& c : digest) c = char(std::toupper(static_cast<unsigned char>(c)));
    return digest;
}

std::shared_ptr<KJTargetNode> nodeOf(std::string type, std::shared_ptr<UIView> view) {
    auto node = std::make_shared<KJTargetNode>();
    node->type = std::move(type);
    node->frame = view->frame();
    node->instance = std::move(view);
    return node;
}

const Value* recordOf(const Value& records, const std::string& ancestor, const std::string& type,
                      int64_t index) {
    for (size_t i = 0; i < records.count(); ++i) {
        const Value& r = records[i];
        if (r["ancestor"] == Value(ancestor) && r["type"] == Value(type) && r["index"] == Value(index))
            return &r;
    }
    return nullptr;
}

TEST(AuthorMetadata, DescribesEveryCandidateWithItsIdAndTheSuperTagOfClickableOnes) {
    Scene scene;
    auto tapped = make<UIView>(CGRect(250, 100, 60, 30));
    tapped->addGestureRecognizer(make<UITapGestureRecognizer>());
    scene.home->view()->addSubview(tapped);
    scene.buttonIn(0, 1)->setAccessibilityIdentifier("buy-second");
    scene.window->layoutIfNeeded();
    const Value records = KJTargettingWidgetV2().generateAuthorMetaData({});

    // Two buttons of one path differ by their index in the digest only.
    const Value* first = recordOf(records, kCellButtons, "UIButton", 0);
    const Value* second = recordOf(records, kCellButtons, "UIButton", 1);
    ASSERT_TRUE(first && second);
    const std::string digest = upperMD5(std::string(kCellButtons) + "+0");
    // A button is climbed to from its label: only raw leaves carry a view tag.
    EXPECT_EQ(*first, Value::dictionary({{"id", "UIButton-" + digest},
                                         {"supertag", "kj_supertag_HomeViewController_UIButton-" + digest},
                                         {"ancestor", kCellButtons},
                                         {"type", "UIButton"},
                                         {"index", 0},
                                         {"width", 80.0},
                                         {"height", 32.0},
                                         {"x", 16.0},
                                         {"y", 146.0},
                                         {"ios_version", "17.5"},
                                         {"version", "3.0.0"}}));
    EXPECT_EQ((*second)["id"], Value("UIButton-" + upperMD5(std::string(kCellButtons) + "+1")));
    // A clickable view with an identifier is counted under it.
    EXPECT_EQ((*second)["supertag"], Value("kj_supertag_HomeViewController_buy-second"));

    // Labels are not clickable; a plain view with a recogniser is.
    const Value* label =
        recordOf(records, "UILabel@UITableViewCell/0/0@UITableView@HomeViewController", "UILabel", 5);
    ASSERT_TRUE(label);
    EXPECT_EQ((*label)["tag"], Value(0));
    EXPECT_EQ((*label)["accessibility_identifier"], Value("promo-label"));
    EXPECT_TRUE((*label)["supertag"].isAbsent());
    const Value* plain = recordOf(records, "UIView@HomeViewController", "UIView", 0);
    ASSERT_TRUE(plain);
    EXPECT_EQ((*plain)["supertag"],
              Value("kj_supertag_HomeViewController_UIView-" + upperMD5("UIView@HomeViewController+0")));

    // A table named a button by its node is still a table.
    ClassRegistry::registerClass("FeedTable", "UITableView");
    struct FeedTable final : UITableView {
        std::string className() const override { return "FeedTable"; }
    };
    EXPECT_FALSE(KJTargettingWidgetV2().isLeafNodeClickable(*nodeOf("UIButton", make<FeedTable>())));
}

TEST(NodeFilterTest, LeavesOutANodeThatReachesPastTheScreenByAPointWhichTheForestKeeps) {
    Scene scene;
    const double bottom = UIScreen::mainScreen()->bounds().size.height;
    auto low = make<UIButton>(CGRect(10, bottom - 39, 100, 40));
    scene.window->addSubview(low);
    auto node = nodeOf("UIButton", low);
    EXPECT_TRUE(NodeFilter::mustFilterOut(*node));
    KJTargetNodes discarded;
    EXPECT_TRUE(KJTargettingWidgetV2().applyFiltersForTargetNodes(node, discarded));
    node->frame = CGRect(10, bottom - 40, 100, 40);
    EXPECT_FALSE(NodeFilter::mustFilterOut(*node));
    node->type = "_UITableViewCellSeparatorView";
    EXPECT_TRUE(NodeFilter::mustFilterOut(*node));
}

}  // namespace
}  // namespace brindlecue
