// The demo's journey, headless, against the sample server serving the demo's scenario: what the
// server receives (the install, the sessions, the feed fetch, the user events, the tags, the survey
// answer, the author's screenshot) and which guide shows on which screen; then the same journey
// while the server misbehaves, and while it refuses every connection.

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "DemoJourney.h"
#include "platform/Bundle.h"
#include "platform/Value.h"
#include "platform/dispatch/Clock.h"
#include "platform/uikit/UIApplication.h"
#include "sample-server/SampleServer.h"
#include "support/ResourceBundle.h"
#include "support/SampleRoutes.h"

namespace brindlecue {
namespace {

using platform::Value;
using Texts = std::vector<std::string>;

std::string scenario() {
    std::ifstream in(std::string(BRINDLECUE_SOURCE_DIR) + "/demo/scenario.json");
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class DemoJourneyTest : public testing::Test {
protected:
    void SetUp() override {
        platform::Clock::useVirtual();
        ASSERT_TRUE(server.loadScenario(scenario()));
        server.start();
        platform::Bundle::createMainBundle({{"BLQ_CONFIG_ALIVE_HOST", server.baseURL()},
                                            {platform::Bundle::kNameKey, "Shop"},
                                            {platform::Bundle::kDisplayNameKey, "Shop"},
                                            {platform::Bundle::kShortVersionStringKey, "1.4.0"},
                                            {platform::Bundle::kVersionKey, "12"}});
        testsupport::installResourceBundle();
    }
    void TearDown() override {
        if (journey && journey->app() && journey->app()->window) journey->app()->window->setHidden(true);
        platform::UIApplication::sharedApplication()->setDelegate(nullptr);
    }

    // Walks the journey; every moment must come as expected.
    void walk() {
        journey = std::make_unique<demo::Journey>(server, scenario());
        // Under ThreadSanitizer on a busy machine a moment can take longer than the demo's bound.
        journey->stepTimeout = 60;
        const bool ok = journey->run();
        for (const auto& failure : journey->failures()) ADD_FAILURE() << failure;
        ASSERT_TRUE(ok);
    }

    Texts shown() const {
        Texts out;
        for (const auto& g : journey->shown()) out.push_back(g.kind + " " + g.feedId + " on " + g.screen);
        return out;
    }

    // The event records of the upload requests the server answered with success, in order.
    std::vector<Value> events() const {
        std::vector<Value> out;
        for (const auto& entry : server.journal()) {
            if (entry.method != "POST" || entry.path != "/v3/logs" || entry.status != 200) continue;
            auto body = Value::fromJSON(entry.body);
            EXPECT_TRUE(body) << entry.body;
            if (!body) continue;
            if (const auto* records = (*body)["records"].getArray())
                for (const auto& record : *records) out.push_back(record);
        }
        return out;
    }
    std::vector<Value> events(int64_t code) const {
        std::vector<Value> out;
        for (const auto& record : events())
            if (record["code"].integerValue() == code) out.push_back(record);
        return out;
    }
    std::vector<sampleserver::JournalEntry> requests(const std::string& method,
                                                     const std::string& prefix) const {
        std::vector<sampleserver::JournalEntry> out;
        for (const auto& entry : server.journal())
            if (entry.method == method && entry.path.rfind(prefix, 0) == 0) out.push_back(entry);
        return out;
    }

    sampleserver::SampleServer server;
    std::unique_ptr<demo::Journey> journey;
};

const Texts kGuidesOnTheirScreens = {
    "modal welcome on HomeViewController",
    "custom guide banner on HomeViewController",
    "pop tip orders-filter on OrdersViewController",
    "carousel orders-tour on OrdersViewController",
    "coachmark profile-edit on ProfileViewController",
    "survey profile-survey on ProfileViewController",
    "launcher reorder on HomeViewController",
    "pop tip reorder on HomeViewController",
    "web tip deals on HomeViewController",
    "modal shipping on HomeViewController",
    "FAQ faq on HomeViewController",
    "modal shipping on HomeViewController",
    "modal gold-offer on OrdersViewController",
    "modal gold-offer on OrdersViewController",
    "modal spring-draft on OrdersViewController",
};

TEST_F(DemoJourneyTest, TheJourneyShowsEveryGuideOnItsScreenAndTheServerHearsItAll) {
    walk();
    EXPECT_EQ(shown(), kGuidesOnTheirScreens);
    // The gold offer comes back with the next session, hours later.
    const auto& guides = journey->shown();
    for (size_t i = 1; i < guides.size(); ++i) EXPECT_GE(guides[i].clock, guides[i - 1].clock);
    EXPECT_GT(guides[13].clock - guides[12].clock, 3 * 3600 - 60);

    // The install: registered once with what the app is, then updated by the later sessions.
    auto installs = requests("POST", "/v3/installs");
    ASSERT_EQ(installs.size(), 1u);
    EXPECT_EQ(server.journal().front().path, "/v3/installs") << "the install comes first";
    auto install = Value::fromJSON(installs[0].body);
    ASSERT_TRUE(install);
    EXPECT_EQ((*install)["app_key"], Value(demo::kAppKey));
    EXPECT_EQ((*install)["client_version"], Value("1.4.0+12"));
    EXPECT_TRUE((*install)["id"].isString());
    const std::string installId = (*install)["id"].stringValue();

    // The feed, fetched for the app once the install is known.
    auto feeds = requests("GET", "/v3/feeds");
    ASSERT_FALSE(feeds.empty());
    EXPECT_EQ(feeds[0].header("X-App-Key"), demo::kAppKey);

    // Every upload is a document of records; sessions open and close.
    for (const auto& entry : requests("POST", "/v3/logs")) {
        auto body = Value::fromJSON(entry.body);
        ASSERT_TRUE(body && (*body)["records"].isArray()) << entry.body;
        for (const auto& record : *(*body)["records"].getArray()) {
            EXPECT_TRUE(record["log_id"].isString());
            EXPECT_TRUE(record["created_on_client"].isString());
            EXPECT_EQ(record["blq_version"], Value("3.0.3")) << record.description();
        }
    }
    std::set<int64_t> sessions;
    for (const auto& record : events())
        if (record["session_id"].isNumber()) sessions.insert(record["session_id"].integerValue());
    EXPECT_EQ(sessions, (std::set<int64_t>{1, 2, 3})) << "the first launch, the return, the preview session";
    EXPECT_EQ(events(8105).size(), 3u) << "each session's length as it closed";
    std::string pages;
    for (const auto& record : events(8108)) pages += record["string"].stringValue() + " ";
    // The first session's screens; the return to Orders, Home and Orders again; the preview session.
    EXPECT_EQ(pages,
              "HomeViewController OrdersViewController ProfileViewController HomeViewController OrdersViewController "
              "OrdersViewController HomeViewController OrdersViewController OrdersViewController ");

    // Each guide the user saw is acknowledged once per showing, and each answer is its result.
    std::map<std::string, int> acks;
    for (const auto& record : events(8200)) ++acks[record["feed_id"].stringValue()];
    EXPECT_EQ(acks, (std::map<std::string, int>{{"welcome", 1},
                                                {"banner", 1},
                                                {"orders-filter", 1},
                                                {"orders-tour", 1},
                                                {"profile-edit", 1},
                                                {"profile-survey", 1},
                                                {"reorder", 1},
                                                {"deals", 1},
                                                {"shipping", 2},
                                                {"faq", 1},
                                                {"gold-offer", 2},
                                                {"spring-draft", 1}}));
    Texts results;
    for (const auto& record : events(8201))
        results.push_back(record["feed_id"].stringValue() + " " + record["result"]["status"].stringValue());
    EXPECT_EQ(results, (Texts{"welcome accepted", "banner accepted", "orders-filter accepted",
                              "orders-tour accepted", "profile-edit accepted", "profile-survey accepted",
                              "reorder accepted", "deals accepted", "shipping rejected", "shipping accepted",
                              "gold-offer accepted", "gold-offer accepted"}));
    auto welcome = events(8201).front()["result"];
    EXPECT_EQ(welcome["guideid"], Value("c-welcome"));
    EXPECT_EQ(welcome["step_id"], Value("welcome-1"));
    EXPECT_EQ(welcome["complete"], Value(true));

    // The tag the app set, and the preview tag deleted when the author left preview mode.
    bool gold = false;
    for (const auto& record : events(8999))
        gold = gold || (record["key"] == Value("plan") && record["string"] == Value("gold"));
    EXPECT_TRUE(gold);
    auto deleted = requests("DELETE", "/v3/tags/");
    ASSERT_EQ(deleted.size(), 1u);
    EXPECT_NE(deleted[0].path.find(installId), std::string::npos) << deleted[0].path;

    // The survey's answer and the author's screenshot.
    auto answers = requests("POST", "/v3/feedbacks");
    ASSERT_EQ(answers.size(), 1u);
    auto answer = Value::fromJSON(answers[0].body);
    ASSERT_TRUE(answer);
    EXPECT_EQ((*answer)["feedid"], Value("profile-survey"));
    EXPECT_EQ((*answer)["installid"], Value(installId));
    EXPECT_EQ((*answer)["contents"], Value("Quick delivery and the chair is great."));
    auto screenshots = requests("POST", "/v3/screenshots");
    ASSERT_EQ(screenshots.size(), 1u);
    EXPECT_NE(screenshots[0].header("Content-Type").find("multipart/form-data"), std::string::npos);
    EXPECT_NE(screenshots[0].body.find("name=\"png_file\""), std::string::npos);
    EXPECT_NE(screenshots[0].body.find("OrdersViewController"), std::string::npos);

    auto delivery = journey->delivery();
    EXPECT_TRUE(delivery.exactlyOnce())
        << delivery.missing << " missing, " << delivery.pending << " pending, " << delivery.duplicates
        << " duplicated, " << delivery.unknown << " unknown";
    EXPECT_EQ(delivery.uploaded, delivery.sent);
}

TEST_F(DemoJourneyTest, AMisbehavingServerLosesNothingAndRepeatsNothing) {
    // Answers that go wrong once each, ahead of the scenario's own.
    auto once = [&](sampleserver::Route route) {
        route.times = 1;
        server.addRoute(std::move(route));
    };
    once(testsupport::route("POST", "/v3/installs", 500, R"({"error": "try again"})"));
    // The feed comes, but slowly.
    auto scenarioDocument = Value::fromJSON(scenario());
    ASSERT_TRUE(scenarioDocument);
    for (const auto& route : *(*scenarioDocument)["routes"].getArray()) {
        if (route["path"] != Value("/v3/feeds")) continue;
        auto slowFeed = testsupport::route("GET", "/v3/feeds", 200, route["body"].toJSON().value_or(""));
        slowFeed.delaySeconds = 1.5;
        once(slowFeed);
    }
    auto dropped = testsupport::route("POST", "/v3/logs", 200, "");
    dropped.closeConnection = true;
    once(dropped);
    once(testsupport::route("POST", "/v3/logs", 500, "<html>internal error</html>"));
    once(testsupport::route("POST", "/v3/logs", 429, "{}", {{"Retry-After", "1"}}));
    once(testsupport::route("GET", "/v3/apps/.*/status", 200, "\x01\x02 not json {"));
    once(testsupport::route("DELETE", "/v3/tags/.*", 200, "[[["));
    once(testsupport::route("POST", "/v3/feedbacks", 200, "garbage"));

    walk();
    EXPECT_EQ(shown(), kGuidesOnTheirScreens);
    EXPECT_EQ(requests("POST", "/v3/installs").size(), 2u) << "the failed registration is tried again";
    auto delivery = journey->delivery();
    EXPECT_TRUE(delivery.exactlyOnce())
        << delivery.missing << " missing, " << delivery.pending << " pending, " << delivery.duplicates
        << " duplicated, " << delivery.unknown << " unknown";
    EXPECT_EQ(delivery.uploaded, delivery.sent);
    size_t failedUploads = 0;
    for (const auto& entry : requests("POST", "/v3/logs")) failedUploads += entry.status != 200;
    EXPECT_EQ(failedUploads, 3u) << "the dropped, the failed and the refused upload";
}

TEST_F(DemoJourneyTest, AServerThatRefusesEveryConnectionFailsEveryStepWhoseGuideDoesNotShow) {
    server.stop();  // the app's server now refuses every connection
    journey = std::make_unique<demo::Journey>(server, scenario());
    // Nothing the steps wait for comes: each waits this long (real seconds) in vain.
    journey->stepTimeout = 0.5;
    EXPECT_FALSE(journey->run());
    EXPECT_TRUE(journey->shown().empty());
    // No step passes for one whose guide it waits for or closes: a guide that never showed is
    // not closed, and an offer that never showed is not one seen twice.
    Texts passed;
    for (const auto& m : journey->moments())
        if (m.ok) passed.push_back(m.title + ": " + m.detail);
    EXPECT_EQ(passed, Texts{});
    EXPECT_EQ(journey->failures().size(), journey->moments().size());
    EXPECT_GE(journey->moments().size(), 30u) << "the journey goes on to its end";
}

}  // namespace
}  // namespace brindlecue
