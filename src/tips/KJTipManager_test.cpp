#include "tips/KJTipManager.h"

#include <sqlite3.h>

#include <fstream>
#include <iterator>

#include "foundation/BLQDateUtils.h"
#include "platform/BinaryPropertyList.h"
#include "platform/UserDefaults.h"
#include "platform/dispatch/DispatchQueue.h"
#include "platform/dispatch/DispatchSemaphore.h"
#include "platform/uikit/TouchDriver.h"
#include "preview/BLQIPreviewModeNetworkRequester.h"
#include "preview/BLQPreviewModeDataStore.h"
#include "preview/BLQPreviewModeManager.h"
#include "preview/BLQPreviewModeUIManager.h"
#include "preview/BLQTipCacheManager.h"
#include "preview/PreviewModeHostingController.h"
#include "preview/PreviewNotification.h"
#include "storage/KJDao.h"
#include "tips/TipEngineScene_test.h"

namespace brindlecue::tipscene {
namespace {

// Keeps the objects of every notification of the name posted while it lives.
struct Posted {
    explicit Posted(const std::string& name) {
        token = NotificationCenter::defaultCenter().addObserver(
            name, nullptr, nullptr, [this](const Notification& n) {
                infos.push_back(n.userInfo());
                auto tips = n.object<BLQITipManager::SeriesList>("tips");
                lists.push_back(tips ? *tips : BLQITipManager::SeriesList{});
            });
    }
    ~Posted() { NotificationCenter::defaultCenter().removeObserver(token); }
    std::shared_ptr<NotificationObserver> token;
    std::vector<Value> infos;
    std::vector<BLQITipManager::SeriesList> lists;
};

TEST_F(TipEngineTest, IntakeStoresOnlyNewerCampaignsOfTheAppKeyAndReloadsTheLiveList) {
    store({{.id = "f1"}});
    makeEngine();
    Posted updated("Brindlecue_Tip_Updated");
    // A feed item without a campaign whose tool is "custom" is kept for its screen.
    auto custom = KJFeedObject::createFromDictionary(*Value::fromJSON(
        R"({"id": "x1", "app_key": "scene-key", "modified": "2025-06-01T12:00:00.000Z",
            "content": {"d": "{\"tool\": \"custom\", \"view\": \"HomeViewController\"}"}})"));

    engine->fillTipFromFeed({feed({.id = "f1", .modified = "2025-05-01T00:00:00.000Z"}),
                             feed({.id = "f2", .appKey = "other-key"}), feed({.id = "f3", .priority = 2}),
                             feed({.id = "f4", .preview = true}), custom});

    auto cache = KJDBManager::sharedInstance();
    EXPECT_TRUE(cache->findTipSeriesByFeedId("f3"));
    EXPECT_FALSE(cache->findTipSeriesByFeedId("f2"));
    EXPECT_FALSE(cache->findTipSeriesByFeedId("f4"));
    EXPECT_EQ(cache->findTipSeriesByFeedId("f1")->seriesModified(),
              blqParseDate(Value("2025-06-01T12:00:00.000Z")));
    EXPECT_TRUE(log->contains(
        "Guides: received a feed but not to save it, as tip series element already exists and updated", 2));
    EXPECT_TRUE(log->contains("Guides: Wrong app key = other-key", 2));

    EXPECT_EQ(liveIds(), (std::vector<std::string>{"f1", "f3"}));
    auto written = UserDefaults::standard().array("KJTips_Server");
    ASSERT_TRUE(written);
    ASSERT_EQ(written->size(), 2u);
    EXPECT_EQ((*written)[1]["feed_id"], Value("f3"));
    ASSERT_EQ(engine->innerFeedObjects().size(), 1u);
    EXPECT_EQ(engine->innerFeedObjects()[0]->feed_id(), "x1");
    EXPECT_EQ(UserDefaults::standard().array("KJFeeds_Server")->size(), 1u);

    ASSERT_EQ(updated.infos.size(), 1u);
    EXPECT_EQ(updated.infos[0]["source"], Value("fetch"));
    EXPECT_EQ(updated.lists[0].size(), 2u);
}

TEST_F(TipEngineTest, IntakeWithNothingNewChangesNothing) {
    store({{.id = "f1"}});
    makeEngine();
    UserDefaults::standard().remove("KJTips_Server");
    Posted updated("Brindlecue_Tip_Updated");

    // The same modification time is not newer; a preview campaign is never stored.
    engine->fillTipFromFeed({feed({.id = "f1"}), feed({.id = "p1", .preview = true})});

    EXPECT_TRUE(log->contains(
        "Guides: received a feed but not to save it, as tip series element already exists and updated", 2));
    EXPECT_TRUE(log->contains("Guides: no new tips to show", 2));
    EXPECT_FALSE(KJDBManager::sharedInstance()->findTipSeriesByFeedId("p1"));
    EXPECT_EQ(liveIds(), std::vector<std::string>{"f1"});
    EXPECT_FALSE(UserDefaults::standard().array("KJTips_Server"));
    EXPECT_TRUE(updated.infos.empty());
}

// The engine keeps the campaigns it decoded: an intake decodes only what it changed, a campaign
// written anew (also in the place of the last row) comes back as stored now, and the campaigns the
// feed road pruned leave the live list.
TEST_F(TipEngineTest, IntakeDecodesOnlyTheCampaignsItChanged) {
    store({{.id = "f1"}, {.id = "f2", .priority = 2}, {.id = "f3", .priority = 3}});
    makeEngine();
    auto f1 = live("f1"), f2 = live("f2");
    ASSERT_TRUE(f1 && f2 && live("f3"));

    engine->fillTipFromFeed({feed({.id = "f2", .priority = 2, .modified = "2025-07-01T00:00:00.000Z"}),
                             feed({.id = "f4", .priority = 4})});
    EXPECT_EQ(liveIds(), (std::vector<std::string>{"f1", "f2", "f3", "f4"}));
    EXPECT_EQ(live("f1"), f1);
    ASSERT_NE(live("f2"), f2);
    EXPECT_EQ(live("f2")->modified, blqParseDate(Value("2025-07-01T00:00:00.000Z")));

    // f4 is the last row: written anew it may take the same row id, and still comes back anew.
    auto f4 = live("f4");
    engine->fillTipFromFeed(
        {feed({.id = "f4", .priority = 4, .modified = "2025-08-01T00:00:00.000Z", .steps = {{}, {}}})});
    ASSERT_NE(live("f4"), f4);
    EXPECT_EQ(live("f4")->arrayTips.size(), 2u);

    // The feed road prunes the cache to a complete feed before the intake.
    KJDao::deleteDisabledCampaign({"f1", "f4", "f5"});
    engine->fillTipFromFeed({feed({.id = "f5", .priority = 5})});
    EXPECT_EQ(liveIds(), (std::vector<std::string>{"f1", "f4", "f5"}));
    EXPECT_EQ(live("f1"), f1);
    ASSERT_EQ(UserDefaults::standard().array("KJTips_Server")->size(), 3u);
}

// A feed brought again is told from what is stored without decoding the campaigns the engine holds
// already: only a stored row it never decoded (a widget campaign) is read; a row that is no longer
// active counts as nothing stored.
TEST_F(TipEngineTest, AFeedBroughtAgainDecodesOnlyRowsTheEngineNeverDecoded) {
    store({{.id = "f1"},
           {.id = "f2", .priority = 2},
           {.id = "faq", .tool = "fab", .trigger = "floating-action-button", .priority = 3,
            .steps = {{.tool = "fab"}}},
           {.id = "gone", .priority = 4, .expires = "2020-01-01T00:00:00.000Z"}});
    makeEngine();
    auto f1 = live("f1"), f2 = live("f2");
    ASSERT_TRUE(f1 && f2);
    int decoded = 0;
    KJDBManager::sharedInstance()->updateCollaborators([&decoded](KJDBManager::Collaborators& c) {
        c.createFromFeed = [inner = c.createFromFeed, &decoded](const Value& stored) {
            ++decoded;
            return inner(stored);
        };
    });
    UserDefaults::standard().remove("KJTips_Server");

    engine->fillTipFromFeed({feed({.id = "f1"}), feed({.id = "f2", .priority = 2}),
                             feed({.id = "faq", .tool = "fab", .trigger = "floating-action-button", .priority = 3,
                                   .steps = {{.tool = "fab"}}})});
    EXPECT_EQ(decoded, 1);
    EXPECT_TRUE(log->contains("Guides: no new tips to show", 2));
    EXPECT_EQ(live("f1"), f1);
    EXPECT_EQ(live("f2"), f2);
    EXPECT_FALSE(UserDefaults::standard().array("KJTips_Server"));

    // The expired row's campaign, as modified as before, is stored anew and goes live; a newer f2
    // replaces the one held.
    decoded = 0;
    engine->fillTipFromFeed({feed({.id = "f2", .priority = 2, .modified = "2025-07-01T00:00:00.000Z"}),
                             feed({.id = "gone", .priority = 4})});
    EXPECT_EQ(liveIds(), (std::vector<std::string>{"f1", "f2", "gone"}));
    EXPECT_EQ(live("f1"), f1);
    ASSERT_NE(live("f2"), f2);
    EXPECT_EQ(live("f2")->modified, blqParseDate(Value("2025-07-01T00:00:00.000Z")));
    ASSERT_EQ(UserDefaults::standard().array("KJTips_Server")->size(), 3u);
}

// An intake whose write fails keeps the campaign live as the cache holds it, also when the engine
// never decoded that row: the newer version handed to the cache for the write is not taken for
// the older row, and a later intake stores it.
TEST_F(TipEngineTest, ACampaignWhoseWriteFailedStaysAsStoredAndALaterIntakeStoresIt) {
    store({{.id = "f1"}});  // after the engine read the cache: a row it has not decoded
    auto refuseF1 = [](bool on) {
        return KJDao::withConnection([on](sqlite3* db) {
            return sqlite3_exec(db,
                                on ? "CREATE TEMP TRIGGER refuseF1 BEFORE INSERT ON main.QXFeeds "
                                     "WHEN NEW.feedId = 'f1' BEGIN SELECT RAISE(ABORT, 'disk full'); END"
                                   : "DROP TRIGGER temp.refuseF1",
                                nullptr, nullptr, nullptr);
        });
    };
    ASSERT_EQ(refuseF1(true), SQLITE_OK);
    const auto newer = feed({.id = "f1", .modified = "2025-07-01T00:00:00.000Z", .steps = {{}, {}}});
    engine->fillTipFromFeed({newer});
    EXPECT_TRUE(log->contains("Guides: save multiple tip series to DB failed", 2));
    auto cache = KJDBManager::sharedInstance();
    EXPECT_EQ(cache->findTipSeriesByFeedId("f1")->seriesModified(),
              blqParseDate(Value("2025-06-01T12:00:00.000Z")));
    ASSERT_TRUE(live("f1"));
    EXPECT_EQ(live("f1")->modified, blqParseDate(Value("2025-06-01T12:00:00.000Z")));
    EXPECT_EQ(live("f1")->arrayTips.size(), 1u);

    ASSERT_EQ(refuseF1(false), SQLITE_OK);
    engine->fillTipFromFeed({newer});
    EXPECT_TRUE(log->contains("Guides: save multiple tip series to DB successful", 2));
    EXPECT_EQ(cache->findTipSeriesByFeedId("f1")->seriesModified(),
              blqParseDate(Value("2025-07-01T00:00:00.000Z")));
    ASSERT_TRUE(live("f1"));
    EXPECT_EQ(live("f1")->arrayTips.size(), 2u);
}

// The widget campaigns a feed brings are found on the intake's one look at the table.
TEST_F(TipEngineTest, AFeedsWidgetCampaignReachesTheScreen) {
    store({{.id = "page"}});
    makeEngine();
    engine->fillTipFromFeed({feed({.id = "faq",
                                   .tool = "fab",
                                   .trigger = "floating-action-button",
                                   .priority = 2,
                                   .steps = {{.tool = "fab", .extra = R"(, "title": {"text": "Questions"})"}}}),
                             feed({.id = "page2", .priority = 3})});
    EXPECT_EQ(liveIds(), (std::vector<std::string>{"page", "page2"}));
    showScreen(home);
    ASSERT_EQ(widgets->layouts.size(), 1u);
    EXPECT_EQ(widgets->layouts[0][2], "faq");
}

// The new campaigns are decoded on a worker while the rows are written, and the list in the user
// defaults is written from the live campaigns as they are now, the older ones' included: the
// file is the one their dictionaries give.
TEST_F(TipEngineTest, TheStoredListIsTheLiveCampaignsSerialised) {
    store({{.id = "f1"}, {.id = "f2", .priority = 2}});
    makeEngine();
    std::vector<std::shared_ptr<KJFeedObject>> feeds;
    for (int i = 3; i <= 40; ++i)
        feeds.push_back(feed({.id = "f" + std::to_string(i), .priority = i, .steps = {{}, {}}}));
    feeds.push_back(feed({.id = "f2", .priority = 2, .modified = "2025-07-01T00:00:00.000Z"}));
    engine->fillTipFromFeed(feeds);

    const auto campaigns = engine->innerTipSeries();
    ASSERT_EQ(campaigns.size(), 40u);
    EXPECT_EQ(campaigns[1]->modified, blqParseDate(Value("2025-07-01T00:00:00.000Z")));
    auto written = UserDefaults::standard().array("KJTips_Server");
    ASSERT_TRUE(written);
    ASSERT_EQ(written->size(), campaigns.size());
    for (size_t i = 0; i < campaigns.size(); ++i)
        EXPECT_EQ((*written)[i], campaigns[i]->serializeToDictionary()) << campaigns[i]->feed_id.value_or("");
    EXPECT_EQ(UserDefaults(UserDefaults::standard().file()).array("KJTips_Server"), written);
    // The file, which took in the forms written beside the decoding, is the one the values make.
    std::ifstream in(UserDefaults::standard().file(), std::ios::binary);
    const std::vector<uint8_t> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(file, platform::bplist::write(Value(UserDefaults::standard().dictionaryRepresentation())));

    // The campaigns decoded from the archives by a new engine are the same.
    makeEngine();
    ASSERT_EQ(engine->innerTipSeries().size(), campaigns.size());
    for (size_t i = 0; i < campaigns.size(); ++i)
        EXPECT_EQ(engine->innerTipSeries()[i]->serializeToDictionary(), (*written)[i]);
}

TEST_F(TipEngineTest, AFinishedCampaignLeavesTheCacheUnlessItIsOnDemand) {
    store({{.id = "gone"}, {.id = "kept", .trigger = "on-demand", .priority = 2}});
    makeEngine();
    engine->removeTipSeries(live("gone"));
    engine->removeTipSeries(live("kept"));

    auto cache = KJDBManager::sharedInstance();
    EXPECT_FALSE(cache->findTipSeriesByFeedId("gone"));
    EXPECT_TRUE(cache->findTipSeriesByFeedId("kept"));
    EXPECT_TRUE(liveIds().empty());
    EXPECT_TRUE(UserDefaults::standard().array("KJTips_Server")->empty());

    // The campaign that stayed in the cache comes back on the next screen.
    showScreen(cart);
    EXPECT_EQ(liveIds(), std::vector<std::string>{"kept"});
}

TEST_F(TipEngineTest, APreviewFeedGoesToThePreviewCacheWhenItIsNewer) {
    enterPreviewMode();
    auto cache = std::make_shared<RecordingTipCache>();
    engine->addCacheManager(cache);
    Posted previewTips("QX_Preview_Tips_Updated");
    auto item = feedItem({.id = "p1", .preview = true});
    Value response = Value::dictionary(
        {{"results", Value::array({item})},
         {"app_status", Value::dictionary({{"feed_updated", "2025-07-01T00:00:00.000Z"}})}});

    engine->processUpdatedFeed(response);
    ASSERT_EQ(previewTips.lists.size(), 1u);
    ASSERT_EQ(previewTips.lists[0].size(), 1u);
    EXPECT_EQ(previewTips.lists[0][0]->feed_id, "p1");
    EXPECT_EQ(previewTips.lists[0][0]->seriesAuthorMode, "PREVIEW");
    EXPECT_EQ(facade->modifiedTime, blqParseDate(Value("2025-07-01T00:00:00.000Z")));
    EXPECT_EQ(UserDefaults::standard().string("KJTips_Feed_LastModified"),
              blqFormatISODate(blqParseDate(Value("2025-06-01T12:00:01.000Z")).value()));
    EXPECT_EQ(facade->previewMode->states, std::vector<int64_t>{4});
    EXPECT_FALSE(KJDBManager::sharedInstance()->findTipSeriesByFeedId("p1"));
    EXPECT_TRUE(liveIds().empty());

    // A cached campaign older than the feed time is replaced; an answer not newer is ignored.
    auto older = std::make_shared<KJTipSeriesElement>();
    older->feed_id = "p1";
    cache->tips = {older};
    facade->modifiedTime.reset();
    engine->processUpdatedFeed(response);
    EXPECT_NE(cache->tips[0], older);
    engine->processUpdatedFeed(response);
    EXPECT_EQ(previewTips.lists.size(), 2u);
}

// What the engine's interface tells and lets a caller change, held through the interface alone.
TEST_F(TipEngineTest, TheEngineInterfaceCarriesThePresentationState) {
    store({{.id = "ask", .trigger = "on-demand"}, {.id = "elsewhere", .trigger = "on-demand", .priority = 2}});
    makeEngine();
    std::shared_ptr<BLQITipManager> tips = engine;
    EXPECT_EQ(tips->singleTipShowingCount(), 1);
    tips->setSingleTipShowingCount(3);
    EXPECT_EQ(tips->singleTipShowingCount(), 3);
    EXPECT_EQ(tips->autoDismissedTimeInterval(), 0.0);
    EXPECT_FALSE(tips->isSDKIntegrationCorrect());
    tips->setIsSDKIntegrationCorrect(true);
    EXPECT_TRUE(tips->isSDKIntegrationCorrect());
    EXPECT_TRUE(tips->tipSeriesSincelastShown().empty());

    // A presenting worker started by the caller holds the single-tip lock while its tip is on
    // screen, and the step's showing time is kept.
    auto step = live("ask")->arrayTips.at(0);
    auto controller = std::make_shared<RecordingTipController>();
    controller->setTip(step);
    auto lock = tips->singleTipLock();
    std::shared_ptr<UIViewController> screen = home;
    DispatchQueue::global()->async([tips, controller, screen] { tips->concurrentTipPresentQueue(controller, screen); });
    ASSERT_TRUE(settle([&] { return controller->isPresented(); }));
    EXPECT_EQ(tips->currentTipViewController(), controller);
    EXPECT_EQ(tips->currentDisplayedTipFeedID(), "ask");
    EXPECT_FALSE(tips->currentDisplayedTipCampaignID());
    EXPECT_EQ(tips->tipSeriesSincelastShown().count("ask"), 1u);
    EXPECT_FALSE(lock->try_lock());
    controller->coverView()->removeFromSuperview();
    ASSERT_TRUE(settle([&] {
        if (!lock->try_lock()) return false;
        lock->unlock();
        return true;
    }));

    // A semaphore set in the engine's place is the one an abandoned presentation signals.
    auto semaphore = std::make_shared<DispatchSemaphore>(0);
    tips->setConcurrentTipsSemaphore(semaphore);
    EXPECT_EQ(tips->concurrentTipsSemaphore(), semaphore);
    tips->showTip(live("elsewhere")->arrayTips.at(0), cart, nullptr, 0, false);
    settle([] { return false; }, 1.0);
    EXPECT_TRUE(semaphore->wait(0.0));
}

// A change notification shows the campaign it names on the current screen: a polled one, or the
// first fetched one of the screen. A tip on screen is dismissed first, and the launcher goes.
TEST_F(TipEngineTest, AChangeNotificationShowsItsCampaignOnTheCurrentScreen) {
    store({{.id = "other", .steps = {{.view = "CartViewController"}}}, {.id = "page", .priority = 2}});
    makeEngine();
    auto post = [&](Value info, BLQITipManager::SeriesList list) {
        NotificationCenter::defaultCenter().post("Brindlecue_Tip_Updated", nullptr, std::move(info),
                                                 {{"tips", std::make_shared<BLQITipManager::SeriesList>(std::move(list))}});
    };
    auto change = [](const char* source) { return Value::dictionary({{"change", true}, {"source", source}}); };
    auto empty = std::make_shared<KJTipSeriesElement>();
    // A campaign of another screen, with a step.
    auto elsewhere = std::make_shared<KJTipSeriesElement>();
    auto cartTarget = std::make_shared<KJTipTargetElement>();
    cartTarget->setVcClass("CartViewController");
    elsewhere->target = cartTarget;
    elsewhere->arrayTips = live("other")->arrayTips;

    post(Value::dictionary({{"change", false}, {"source", "poll"}}), {live("page")});
    post(change("poll"), {live("page"), live("other")});
    post(change("push"), {live("page")});
    post(change("poll"), {empty});
    post(change("fetch"), {elsewhere});
    settle([] { return false; }, 2.0);
    EXPECT_TRUE(controllers.made.empty());
    EXPECT_TRUE(log->contains("Guides: Polling but cannot preview, because isChanging is false.", 1));
    EXPECT_TRUE(log->contains("Guides: Source is poll, but number is not 1.", 1));
    EXPECT_EQ(log->count("Guides: Cannot show tip, because there is no tip series."), 2u);
    EXPECT_TRUE(log->contains("Guides: Cannot show tip, because inner tip is empty.", 1));

    // Polled, with a launcher on the window: the launcher goes and the screen's campaign shows.
    auto launcher = make<UIView>();
    launcher->setTag(888900);
    window->addSubview(launcher);
    post(change("poll"), {live("page")});
    ASSERT_TRUE(settle([&] { return controllers.presented("page") != nullptr; }));
    EXPECT_EQ(launcher->superview(), nullptr);
    EXPECT_TRUE(log->contains("Guides: Preview is relaunch and there is no previous tip.", 1));

    // Fetched while that tip is on screen: it is dismissed, with its buttons cleared, before the
    // screen is asked again.
    auto first = controllers.presented("page");
    engine->setCurrentDisplayedTipFeedID("");
    post(change("fetch"), {elsewhere, live("page")});
    ASSERT_TRUE(settle([&] { return controllers.of("page").size() == 2 && controllers.of("page")[1]->isPresented(); }));
    EXPECT_EQ(first->dismissals, 1);
    EXPECT_FALSE(first->next);
    EXPECT_FALSE(first->close);
    EXPECT_TRUE(log->contains("Guides: A tip is already shown. Dismiss it.", 1));

    // No current screen: nothing is shown.
    controllers.of("page")[1]->dismissTipWithRemoveCoverView(true, true, nullptr);
    engine->setCustomerCurrentVC(nullptr);
    post(change("poll"), {live("page")});
    settle([] { return false; }, 2.0);
    EXPECT_EQ(controllers.of("page").size(), 2u);
    EXPECT_TRUE(log->contains("Guides: current VC is nil, stop showing the current tip", 2));
}

// A fetch that brought no campaign takes the preview campaigns and every cover off the screen.
TEST_F(TipEngineTest, AnEmptyFetchClearsThePreviewCampaignsAndTheCovers) {
    auto cache = std::make_shared<RecordingTipCache>();
    cache->tips = {std::make_shared<KJTipSeriesElement>()};
    engine->addCacheManager(cache);
    auto cover = make<CoverView>();
    auto other = make<UIView>();
    window->addSubview(cover);
    window->addSubview(other);
    NotificationCenter::defaultCenter().post("Brindlecue_Tip_Updated", nullptr,
                                             Value::dictionary({{"change", true}, {"source", "fetch"}}),
                                             {{"tips", std::make_shared<BLQITipManager::SeriesList>()}});
    EXPECT_TRUE(cache->tips.empty());
    RunLoop::main().runUntilIdle();
    EXPECT_EQ(cover->superview(), nullptr);
    EXPECT_EQ(other->superview(), window);
}

// A campaign parsed with reconnect takes, from the live campaign equal to it, its trigger view and
// its steps' screens and target views.
TEST_F(TipEngineTest, ACampaignParsedWithReconnectTakesTheLiveCampaignsViews) {
    store({{.id = "click", .trigger = "click", .steps = {{}, {}}}});
    makeEngine();
    auto liveCampaign = live("click");
    auto button = make<UIView>();
    liveCampaign->triggerControl = button;
    liveCampaign->arrayTips[1]->viewController = home;
    liveCampaign->arrayTips[1]->targetControl = button;

    auto again = engine->parseTipSeriesFromFeed(feed({.id = "click", .trigger = "click", .steps = {{}, {}}}), true);
    ASSERT_TRUE(again);
    ASSERT_NE(again, liveCampaign);
    EXPECT_EQ(again->triggerControl.lock(), button);
    ASSERT_EQ(again->arrayTips.size(), 2u);
    EXPECT_EQ(again->arrayTips[1]->viewController.lock(), home);
    EXPECT_EQ(again->arrayTips[1]->targetControl.lock(), button);

    // Without reconnect, or without a live campaign equal to it, it keeps nothing of the kind.
    EXPECT_FALSE(engine->parseTipSeriesFromFeed(feed({.id = "click", .trigger = "click", .steps = {{}, {}}}), false)
                     ->triggerControl.lock());
    EXPECT_FALSE(engine->parseTipSeriesFromFeed(feed({.id = "new", .trigger = "click"}), true)->triggerControl.lock());
}

TEST_F(TipEngineTest, AMalformedPreviewAnswerStopsAtItsFirstFaultAndAFloatingButtonCampaignCarriesItsWidget) {
    enterPreviewMode();
    Posted previewTips("QX_Preview_Tips_Updated");
    auto item = feedItem({.id = "p1", .preview = true});

    engine->processUpdatedFeed(Value::array({item}));
    EXPECT_TRUE(log->contains("Guides: Brindlecue polls feed should be dictionary, got " +
                                  Value::array({item}).description() + ".",
                              1));
    engine->processUpdatedFeed(Value::dictionary({{"results", item}}));
    EXPECT_TRUE(log->contains("Guides: Brindlecue polls feed should be array, got " + item.description() + ".", 1));
    Value empty = Value::dictionary({{"results", Value::array()}});
    engine->processUpdatedFeed(empty);
    EXPECT_TRUE(log->contains("Guides: Polling fail, get empty result: " + empty.description(), 1));
    EXPECT_TRUE(facade->previewMode->states.empty()) << "no feed arrived";
    engine->processUpdatedFeed(Value::dictionary({{"results", Value::array({"p1", item})}}));
    EXPECT_TRUE(log->contains("Guides: Brindlecue polls feed item should be dictionary, but got p1.", 1));
    EXPECT_EQ(facade->previewMode->states, std::vector<int64_t>{4});
    EXPECT_TRUE(previewTips.lists.empty());
    EXPECT_FALSE(UserDefaults::standard().string("KJTips_Feed_LastModified"));

    // A floating-button campaign carries its widget: the setup and the first entry of the payload.
    // Without a list of steps it is still made, to carry the widget.
    Value fab = feedItem({.id = "fab",
                          .tool = "fab",
                          .trigger = "floating-action-button",
                          .preview = true,
                          .steps = {{.tool = "fab", .extra = R"(, "title": {"text": "Questions"})"}}});
    Value bare = fab;
    bare.set("id", "bare");
    Value content = bare["content"];
    content.set("payload", Value::dictionary({{"title", "not a list"}}));
    bare.set("content", content);
    for (const Value& answer : {fab, bare}) {
        engine->processUpdatedFeed(Value::dictionary({{"results", Value::array({answer})}}));
    }
    ASSERT_EQ(previewTips.lists.size(), 2u);
    ASSERT_EQ(previewTips.lists[0].size(), 1u);
    const auto& widget = previewTips.lists[0][0];
    EXPECT_EQ(widget->feed_id, "fab");
    EXPECT_EQ(widget->fab, fab["content"]["setup"]);
    EXPECT_EQ(widget->faq, fab["content"]["payload"][0]);
    ASSERT_EQ(previewTips.lists[1].size(), 1u);
    EXPECT_EQ(previewTips.lists[1][0]->fab, bare["content"]["setup"]);
    EXPECT_TRUE(previewTips.lists[1][0]->faq.isAbsent());
}

// The author taps Replay in the preview panel's menu: the real preview-mode manager asks the
// engine, whose preview tip cache shows the cached campaign on the screen again.
TEST_F(TipEngineTest, ReplayFromThePreviewMenuShowsTheCachedCampaignAgain) {
    class QuietRequester final : public BLQIPreviewModeNetworkRequester {
    public:
        void fetchPreviewModeStatus(BLQRequestSuccessBlock, BLQRequestFailureBlock) override {}
        void ackPreviewModeConnection(const std::string&, AckSuccessBlock, BLQRequestFailureBlock) override {}
        void exitPreviewMode(AckSuccessBlock, BLQRequestFailureBlock) override {}
    };
    auto ui = std::make_shared<BLQPreviewModeUIManager>();
    auto previewMode = std::make_shared<BLQPreviewModeManager>(
        std::make_shared<BLQPreviewModeDataStore>(), ui, nullptr, engine, std::make_shared<QuietRequester>(),
        std::make_shared<BLQPreviewModeManager::Validator>(std::make_shared<BLQPreviewModeValidator>()));
    auto cache = std::make_shared<BLQTipCacheManager>(engine, facade->previewMode);
    engine->addCacheManager(cache);
    BLQFacadeLink::setPreviewModeManager(previewMode);
    struct Unpublish {
        ~Unpublish() { BLQFacadeLink::setPreviewModeManager(nullptr); }
    } unpublish;
    enterPreviewMode();

    engine->processUpdatedFeed(
        Value::dictionary({{"results", Value::array({feedItem({.id = "draft", .preview = true})})}}));
    ASSERT_TRUE(settle([&] { return controllers.presented("draft") != nullptr; }));
    ASSERT_EQ(cache->cachedTips().size(), 1u);
    controllers.presented("draft")->dismissTipWithRemoveCoverView(true, true, nullptr);

    previewMode->showPreviewMode();
    auto panel = std::dynamic_pointer_cast<PreviewModePanelView>(ui->previewModeView()->view());
    ASSERT_TRUE(panel);
    ASSERT_EQ(panel->window(), window);
    settle([] { return false; }, 0.5);
    auto tapOn = [&](const std::string& content) {
        const auto* placed = panel->placedRoot()->findContent(content);
        if (!placed) return false;
        TouchDriver::tap(panel, CGPoint{placed->frame.minX() + 5, placed->frame.midY()});
        settle([] { return false; }, 0.2);
        return true;
    };
    ASSERT_TRUE(tapOn("idle")) << "the banner opens the menu";
    ASSERT_TRUE(ui->isMenuShown());
    ASSERT_TRUE(tapOn("Replay Tip/Tour"));

    ASSERT_TRUE(settle([&] {
        size_t presented = 0;
        for (const auto& c : controllers.of("draft")) presented += c->isPresented();
        return presented == 2;
    }));
    EXPECT_EQ(controllers.of("draft").back()->tip(), cache->cachedTips().at(0)->arrayTips.at(0));
    EXPECT_EQ(cache->showingTipIndex(), 0);
}

}  // namespace
}  // namespace brindlecue::tipscene
