// The library as one piece: a host that only calls the facade's start method with an app key gets
// campaigns from the sample server shown on its screens by the real engine and tip controllers,
// and the server hears what the user did. Nothing here fills a seam by hand.

#include <gtest/gtest.h>

#include "platform/uikit/ClassRegistry.h"
#include "platform/uikit/TouchDriver.h"
#include "platform/uikit/UIButton.h"
#include "presentation/KJModalTipViewController.h"
#include "presentation/PaddingLabel.h"
#include "support/HostApp.h"
#include "tips/BLQITipManager.h"

namespace brindlecue {
namespace {

using platform::Value;
using testsupport::route;

// A screen of the host app, known to the class registry by its own name.
class HomeViewController final : public platform::UIViewController {
public:
    std::string className() const override { return "HomeViewController"; }
};

// One campaign of the feed: a page-open campaign of the home screen with the steps given.
std::string campaign(const std::string& id, const std::string& tool, const std::string& steps) {
    return R"({"id": ")" + id + R"(", "app_key": ")" + std::string(testsupport::HostApp::kAppKey) +
           R"(", "campaignid": "c-)" + id + R"(", "type": "CAMPAIGN", "priority": 1,
              "activates": "2025-01-01T00:00:00.000Z", "expires": "2030-01-01T00:00:00.000Z",
              "modified": "2025-06-01T00:00:00.000Z",
              "content": {"setup": {"tool": ")" +
           tool + R"(", "view": "HomeViewController", "display": ["dom"], "launcher": {"type": "page-open"}},
                          "payload": [)" +
           steps + "]}}";
}

class LibraryTest : public testing::Test {
protected:
    void SetUp() override {
        platform::ClassRegistry::registerClass("HomeViewController", "UIViewController");
        home = platform::make<HomeViewController>();
    }
    // The feed the server answers with.
    void serveFeed(const std::vector<std::string>& campaigns) {
        std::string results;
        for (const auto& c : campaigns) results += (results.empty() ? "" : ",") + c;
        app.server.addRoute(route("GET", "/v3/feeds", 200, R"({"results": [)" + results + "]}"));
    }
    std::shared_ptr<BLQITipManager> engine() { return app.facade->tipManager(); }

    testsupport::HostApp app;
    std::shared_ptr<HomeViewController> home;
};

TEST_F(LibraryTest, ACampaignOfTheFeedIsShownOnItsScreenAndItsResultReachesTheServer) {
    serveFeed({campaign("welcome", "modal",
                        R"({"meta": {"id": "s0", "tool": "modal", "view": "HomeViewController", "delay": 0},
                            "title": {"text": "Welcome"}, "content": {"text": "A short tour."},
                            "buttons": {"next": {"text": "Go"}}})")});
    app.launch(home);
    ASSERT_TRUE(app.start());
    ASSERT_TRUE(app.pumpUntil([&] { return engine()->innerTipSeries().size() == 1; }));

    // The screen comes on view: the engine picks the campaign and the modal tip shows it.
    platform::UIApplication::sharedApplication()->becomeActive();
    ASSERT_TRUE(app.pumpUntil([&] {
        auto tip = engine()->currentTipViewController();
        return tip && tip->coverView() && tip->coverView()->window();
    }));
    auto modal = std::dynamic_pointer_cast<KJModalTipViewController>(engine()->currentTipViewController());
    ASSERT_TRUE(modal) << "the library's own modal tip";
    EXPECT_EQ(modal->labelTitle->text(), "Welcome");
    ASSERT_TRUE(app.pumpUntil([&] { return !app.uploaded(8200).empty(); }));
    EXPECT_EQ(app.uploaded(8200)[0]["feed_id"], Value("welcome"));

    // The user moves on: the step's result goes up as a feed result.
    platform::TouchDriver::tap(modal->button2);
    ASSERT_TRUE(app.pumpUntil([&] { return !app.uploaded(8201).empty(); }));
    auto result = app.uploaded(8201)[0];
    EXPECT_EQ(result["feed_id"], Value("welcome"));
    EXPECT_EQ(result["result"]["guideid"], Value("c-welcome"));
    EXPECT_EQ(result["result"]["step_id"], Value("s0"));
}

}  // namespace
}  // namespace brindlecue
