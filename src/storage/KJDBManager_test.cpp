#include "storage/KJDBManager.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <thread>

#include "foundation/KJLog.h"
#include "platform/KeyedArchiver.h"
#include "platform/dispatch/Clock.h"
#include "storage/FailingSQLiteVFS_test.h"
#include "storage/KJDBSettings.h"
#include "storage/KJDao.h"

namespace brindlecue {
namespace {

using platform::Clock;
using platform::Date;
using platform::Value;
using testing::ElementsAre;

constexpr const char* kInfiniteDeletion =
    R"({"deletion_conditions": [{"type": "infinite","op": "infinite","value": "infinite"}]})";

struct FakeFeed final : KJDBFeedRecord {
    std::optional<std::string> id, appKey = std::string("key-1"), campaign = std::string("c1");
    bool preview = false;
    platform::Value body = platform::Value::dictionary(
        {{"setup", platform::Value::dictionary({{"tool", "tip"}, {"view", "Home"}})},
         {"payload", platform::Value::array({platform::Value::dictionary({{"step", 1}})})}});
    std::optional<platform::Date> activatesAt, expiresAt, modifiedAt;
    std::optional<std::string> deletion = std::string(""), repeat, trigger;
    int64_t order = 0;

    std::optional<std::string> feed_id() const override { return id; }
    std::optional<std::string> app_key() const override { return appKey; }
    std::optional<std::string> campaignid() const override { return campaign; }
    bool isPreview() const override { return preview; }
    platform::Value content() const override { return body; }
    std::optional<platform::Date> activates() const override { return activatesAt; }
    std::optional<platform::Date> expires() const override { return expiresAt; }
    std::optional<platform::Date> modified() const override { return modifiedAt; }
    std::optional<std::string> deletion_conditions() const override { return deletion; }
    std::optional<std::string> repeat_conditions() const override { return repeat; }
    std::optional<std::string> trigger_conditions() const override { return trigger; }
    int64_t priority() const override { return order; }
};

// Keeps the stored dictionary it was built from.
struct FakeSeries final : KJDBTipSeries {
    platform::Value stored;
    platform::Value fab, faq;

    int32_t seriesTipType() const override { return stored["setup"]["tool"] == platform::Value("fab") ? 7 : 2; }
    std::optional<platform::Date> seriesModified() const override { return stored["modified"].getDate(); }
    void setFab(const platform::Value& v) override { fab = v; }
    void setFaq(const platform::Value& v) override { faq = v; }
    std::string feedId() const { return stored["feed_id"].stringValue(); }
};

constexpr double kNow = 1767225600.0;  // the virtual clock's start

std::vector<std::string> texts(const std::vector<Value>& contents) {
    std::vector<std::string> out;
    for (const Value& c : contents) out.emplace_back(c.getData()->begin(), c.getData()->end());
    return out;
}

std::vector<std::string> idsOf(const KJDBManager::SeriesList& list) {
    std::vector<std::string> ids;
    for (const auto& s : list) ids.push_back(static_cast<FakeSeries&>(*s).feedId());
    return ids;
}

// One column of the row with the feed id, as text.
std::string column(const std::string& feedId, const std::string& name) {
    auto rows =
        KJDao::findSeriesElementsByQuarySQL("SELECT " + name + " FROM QXFeeds WHERE feedId = ?", {feedId});
    if (!rows || rows->size() != 1) return "<no row>";
    if (!(*rows)[0].isData()) return "<null>";
    return std::string((*rows)[0].getData()->begin(), (*rows)[0].getData()->end());
}

class KJDBManagerTest : public testing::Test {
protected:
    void SetUp() override {
        Clock::useVirtual(kNow);
        manager = KJDBManager::sharedInstance();
        manager->setCollaborators(collaborators());
        KJLogSetObserver([this](int, const std::string& line) { log.push_back(line); });
    }
    static KJDBManager::Collaborators collaborators() {
        KJDBManager::Collaborators c;
        c.appKey = [] { return std::optional<std::string>("key-1"); };
        c.createFromFeed = [](const Value& stored) -> std::shared_ptr<KJDBTipSeries> {
            if (!stored["setup"]["view"].isString()) return nullptr;
            auto s = std::make_shared<FakeSeries>();
            s->stored = stored;
            return s;
        };
        c.isFeedValid = [](const Value& stored) { return stored["setup"]["tool"].isString(); };
        return c;
    }
    void TearDown() override {
        KJLogSetObserver(nullptr);
        Clock::useReal();
    }

    // An active feed (from an hour ago for a day).
    std::shared_ptr<FakeFeed> feed(const std::string& id, int64_t priority = 0) {
        auto f = std::make_shared<FakeFeed>();
        f->id = id;
        f->order = priority;
        f->activatesAt = Date::now().addingTimeInterval(-3600);
        f->expiresAt = Date::now().addingTimeInterval(86400);
        f->modifiedAt = Date::now().addingTimeInterval(-60);
        return f;
    }

    std::shared_ptr<KJDBManager> manager;
    std::vector<std::string> log;
};

TEST_F(KJDBManagerTest, TheFileAndTableHaveTheStoredFormat) {
    EXPECT_TRUE(KJDBSettings::databasePath().ends_with("/Library/Brindlecue/Vorneli6.db"));
    auto columns =
        KJDao::findSeriesElementsByQuarySQL("SELECT name || ' ' || type FROM pragma_table_info('QXFeeds')");
    ASSERT_TRUE(columns);
    EXPECT_THAT(texts(*columns),
                ElementsAre("feedId TEXT", "content BLOB", "appKey TEXT", "installId TEXT", "campaignId TEXT",
                            "numFeeds INTEGER", "created DOUBLE", "modified DOUBLE", "activates DOUBLE",
                            "expires DOUBLE", "type TEXT", "deletionconditions TEXT", "repeatconditions TEXT",
                            "triggerconditions TEXT", "priority INTEGER"));
}

TEST_F(KJDBManagerTest, AStoredFeedKeepsItsFieldsInColumnsAndContent) {
    auto f = feed("42", 3);
    f->repeat = R"({"repeat_conditions": []})";
    f->body.set("extra", Value::null());
    ASSERT_TRUE(manager->saveATipSeries(*f));

    EXPECT_EQ(column("42", "appKey"), "key-1");
    EXPECT_EQ(column("42", "installId"), "");
    EXPECT_EQ(column("42", "campaignId"), "c1");
    EXPECT_EQ(column("42", "numFeeds"), "0");
    EXPECT_EQ(column("42", "created"), "0.0");
    EXPECT_EQ(column("42", "typeof(modified) || ' ' || (modified - 1767225600)"), "real -60.0");
    EXPECT_EQ(column("42", "typeof(activates) || ' ' || (activates - 1767225600)"), "real -3600.0");
    EXPECT_EQ(column("42", "typeof(expires) || ' ' || (expires - 1767225600)"), "real 86400.0");
    EXPECT_EQ(column("42", "type"), "CAMPAIGN");
    EXPECT_EQ(column("42", "deletionconditions"), "");
    EXPECT_EQ(column("42", "repeatconditions"), R"({"repeat_conditions": []})");
    EXPECT_EQ(column("42", "triggerconditions"), "");
    EXPECT_EQ(column("42", "priority"), "3");

    auto content = KJDao::findSeriesByFeedId("42");
    ASSERT_TRUE(content.isData());
    auto stored = platform::KeyedArchiver::unarchiveObject(*content.getData());
    ASSERT_TRUE(stored);
    EXPECT_EQ((*stored)["setup"], f->body["setup"]);
    EXPECT_TRUE((*stored)["extra"].isNull());
    EXPECT_EQ((*stored)["seriesAuthorMode"], Value("CAMPAIGN"));
    EXPECT_EQ((*stored)["feed_id"], Value("42"));
    EXPECT_EQ((*stored)["app_key"], Value("key-1"));
    EXPECT_EQ((*stored)["campaignid"], Value("c1"));
    EXPECT_EQ((*stored)["modified"], Value(*f->modifiedAt));
    EXPECT_EQ((*stored)["trigger_conditions"], Value(""));
    EXPECT_EQ((*stored)["priority"], Value(3));

    // Without a campaign id the column stays NULL and the stored text is empty.
    auto bare = feed("43");
    bare->campaign.reset();
    bare->activatesAt.reset();
    ASSERT_TRUE(manager->saveATipSeries(*bare));
    EXPECT_EQ(column("43", "campaignId"), "<null>");
    EXPECT_EQ(column("43", "activates"), "0.0");
}

TEST_F(KJDBManagerTest, TheKindFollowsPreviewCampaignAndTool) {
    auto campaign = feed("a");
    auto fab = feed("b");
    fab->body.set("setup", Value::dictionary({{"tool", "fab"}, {"view", "Home"}}));
    auto noCampaign = feed("c");
    noCampaign->campaign.reset();
    auto preview = feed("d");
    preview->preview = true;
    auto previewFab = feed("e");
    previewFab->preview = true;
    previewFab->body = fab->body;
    ASSERT_TRUE(manager->saveMultipleTipSeries({campaign, fab, noCampaign, preview, previewFab}));
    EXPECT_EQ(column("a", "type"), "CAMPAIGN");
    EXPECT_EQ(column("b", "type"), "FAQ");
    EXPECT_EQ(column("c", "type"), "PREVIEW");
    EXPECT_EQ(column("d", "type"), "PREVIEW");
    EXPECT_EQ(column("e", "type"), "PREVIEW");
}

TEST_F(KJDBManagerTest, RefusedFeedsAreLoggedAndNotStored) {
    auto noId = feed("");
    auto otherApp = feed("x1");
    otherApp->appKey = "key-2";
    auto noAppKey = feed("x2");
    noAppKey->appKey.reset();
    auto setupNotDictionary = feed("x3");
    setupNotDictionary->body.set("setup", "tool");
    auto payloadNotArray = feed("x4");
    payloadNotArray->body.set("payload", Value::dictionary());
    auto noContent = feed("x5");
    noContent->body = Value();

    for (const auto& f : {noId, otherApp, noAppKey, setupNotDictionary, payloadNotArray, noContent}) {
        EXPECT_FALSE(manager->saveATipSeries(*f));
    }
    const std::string refused = "KJDB: received a feed but not to save it, as ";
    const std::string otherKey = refused + "App key  is different";
    const std::string badPayload =
        refused + "invalid feed payload for a tip series element as setup or payload is not a dictionaty";
    EXPECT_THAT(log, ElementsAre(refused + "feedid is empty", otherKey, otherKey, badPayload, badPayload,
                                 badPayload));
    EXPECT_TRUE(KJDao::getAllSeries().empty());
    // Refused items are skipped; the others of the list are stored. Whoever asks is handed the
    // dictionaries of the rows to be written, before they are written.
    std::vector<Value> handed;
    size_t rowsMeanwhile = 99;
    EXPECT_TRUE(manager->saveMultipleTipSeries({noId, feed("ok"), otherApp, feed("ok2")},
                                               [&](const std::vector<Value>& dictionaries) {
                                                   handed = dictionaries;
                                                   rowsMeanwhile = KJDao::getAllSeries().size();
                                               }));
    EXPECT_EQ(KJDao::getAllSeries().size(), 2u);
    EXPECT_EQ(rowsMeanwhile, 0u);
    ASSERT_EQ(handed.size(), 2u);
    for (const Value& dictionary : handed) {
        // What each row holds.
        auto content = KJDao::findSeriesByFeedId(*dictionary["feed_id"].getString());
        ASSERT_TRUE(content.isData());
        EXPECT_EQ(platform::KeyedArchiver::unarchiveObject(*content.getData()), dictionary);
    }
    EXPECT_EQ(handed[1]["feed_id"], Value("ok2"));
    // Nothing to write: nothing handed over.
    handed.clear();
    bool called = false;
    EXPECT_TRUE(manager->saveMultipleTipSeries({}, [&](const std::vector<Value>&) { called = true; }));
    EXPECT_TRUE(manager->saveMultipleTipSeries({noId}, [&](const std::vector<Value>&) { called = true; }));
    EXPECT_FALSE(called);
}

TEST_F(KJDBManagerTest, OnlyANewerFeedReplacesAnActiveRow) {
    auto f = feed("7", 1);
    ASSERT_TRUE(manager->saveATipSeries(*f));
    log.clear();
    f->order = 9;
    EXPECT_FALSE(manager->saveATipSeries(*f));  // same modification date
    EXPECT_THAT(log,
                ElementsAre("KJDB: received a feed but not to save it, as tip series element already exists "
                            "and updated"));
    f->modifiedAt = f->modifiedAt->addingTimeInterval(-1);
    EXPECT_FALSE(manager->saveATipSeries(*f));
    f->modifiedAt = f->modifiedAt->addingTimeInterval(2);
    EXPECT_TRUE(manager->saveATipSeries(*f));
    EXPECT_EQ(column("7", "priority"), "9");
    EXPECT_EQ(KJDao::getAllSeries().size(), 1u);

    // Once the row has expired, the same feed is stored again.
    Clock::advance(86400 + 1);
    f->expiresAt = Date::now().addingTimeInterval(86400);
    f->order = 4;
    EXPECT_TRUE(manager->saveATipSeries(*f));
    EXPECT_EQ(column("7", "priority"), "4");

    // Many at once look for the stored rows the same way, unless the caller has done so.
    f->order = 6;
    log.clear();
    EXPECT_TRUE(manager->saveMultipleTipSeries({f}));
    EXPECT_EQ(column("7", "priority"), "4");
    EXPECT_THAT(log, testing::Contains("KJDB: received a feed but not to save it, as tip series element already "
                                       "exists and updated"));
    EXPECT_TRUE(manager->saveMultipleTipSeries({f}, {}, true));
    EXPECT_EQ(column("7", "priority"), "6");
}

TEST_F(KJDBManagerTest, ReadsByKindInPriorityOrderWithinTheActiveWindow) {
    auto late = feed("late", 5);
    auto early = feed("early", 1);
    auto future = feed("future", 0);
    future->activatesAt = Date::now().addingTimeInterval(60);
    auto expired = feed("expired", 0);
    expired->expiresAt = Date::now().addingTimeInterval(-1);
    auto preview = feed("preview", 2);
    preview->preview = true;
    auto fab = feed("fab", 3);
    fab->body.set("setup", Value::dictionary({{"tool", "fab"}, {"view", "Home"}}));
    fab->body.set("payload", Value::array({Value::dictionary({{"faq", "list"}})}));
    ASSERT_TRUE(manager->saveMultipleTipSeries({late, early, future, expired, preview, fab}));

    EXPECT_THAT(idsOf(manager->findAllCampaignFeeds()), ElementsAre("early", "late"));
    EXPECT_THAT(idsOf(manager->findAllPreviewFeeds()), ElementsAre("preview"));
    EXPECT_THAT(idsOf(manager->findAllTipFeeds()), ElementsAre("early", "preview", "late"));
    auto faqs = manager->findAllFAQFeeds();
    ASSERT_THAT(idsOf(faqs), ElementsAre("fab"));
    auto& widget = static_cast<FakeSeries&>(*faqs[0]);
    EXPECT_EQ(widget.fab, fab->body["setup"]);
    EXPECT_EQ(widget.faq, Value::dictionary({{"faq", "list"}}));

    EXPECT_NE(manager->findTipSeriesByFeedId("early"), nullptr);
    EXPECT_EQ(manager->findTipSeriesByFeedId("future"), nullptr);
    EXPECT_EQ(manager->findTipSeriesByFeedId("expired"), nullptr);
    // On demand, the campaign's rows come back whether active or not.
    EXPECT_EQ(manager->findOnDemandCampaign("c1").size(), 5u);  // all but the floating button
    log.clear();
    EXPECT_TRUE(manager->findOnDemandCampaign("c9").empty());
    EXPECT_THAT(log, ElementsAre("KJDB: Did not find campaign with the campaignId: c9"));

    Clock::advance(61);
    EXPECT_THAT(idsOf(manager->findAllCampaignFeeds()), ElementsAre("future", "early", "late"));
}

TEST_F(KJDBManagerTest, RowsThatCannotBeReadAreHandledSafely) {
    ASSERT_TRUE(manager->saveATipSeries(*feed("good", 1)));
    auto invalid = feed("invalid", 2);
    invalid->body.set("setup", Value::dictionary({{"view", "Home"}}));  // no tool
    ASSERT_TRUE(manager->saveATipSeries(*invalid));
    Value damaged =
        manager->archiveDataToBeSaved(manager->setupFeedsDictionaryFromFeedObject(*feed("damaged", 3)));
    damaged.set("content", platform::Data{'n', 'o', 't'});
    ASSERT_TRUE(KJDao::insertATip(damaged));

    log.clear();
    EXPECT_THAT(idsOf(manager->findAllCampaignFeeds()), ElementsAre("good"));
    EXPECT_THAT(log, ElementsAre("Invalid feed parameter",
                                 "KJDB: data type retrived from db cannot be casted to KJTipSeriesElement"));

    // Content that is not data spoils the whole list.
    log.clear();
    EXPECT_EQ(manager->parseDataForTipSeriesElements(std::vector<Value>{Value::null()}), std::nullopt);
    EXPECT_THAT(log, ElementsAre("KJDB: data type retrived from db cannot be casted to KJTipSeriesElement"));

    log.clear();
    EXPECT_TRUE(manager->archiveDataToBeSaved(Value()) == Value::dictionary());
    EXPECT_THAT(log, ElementsAre("KJDB: when archive data got nil tip dictionary"));
}

TEST_F(KJDBManagerTest, ListsAndSparesNeverDeletedCampaigns) {
    auto infinite = feed("inf");
    infinite->deletion = kInfiniteDeletion;
    ASSERT_TRUE(manager->saveMultipleTipSeries({feed("plain"), infinite}));
    EXPECT_THAT(idsOf(manager->findAllInfiniteCampaignFeeds()), ElementsAre("inf"));
    EXPECT_TRUE(manager->deleteTipSeriesByFeedId("plain"));
    EXPECT_TRUE(manager->deleteTipSeriesByFeedId("inf"));
    EXPECT_THAT(idsOf(manager->findAllTipFeeds()), ElementsAre("inf"));

    EXPECT_FALSE(manager->canDeleteTipSeriesByFeedId({}));
    auto c = KJDBManager::Collaborators{};
    c.evaluate = [](const KJDBManager::DeletionConditions& conditions) { return conditions.empty(); };
    manager->setCollaborators(c);
    EXPECT_TRUE(manager->canDeleteTipSeriesByFeedId({}));
}

// A cache whose file could not be used when it was set up (a new install, say) reports it, and
// makes its table once the file can be used: campaigns are stored and read back, in this process.
TEST_F(KJDBManagerTest, ACacheSetUpWhileItsFileFailedIsUsableOnceTheFileIs) {
    KJDBManager::resetForTesting();
    std::filesystem::remove(KJDBSettings::databasePath());
    testsupport::FailingSQLiteVFS files("Vorneli6.db");
    struct Closed {
        ~Closed() { KJDao::closeForTesting(); }  // before the file system goes
    } closed;

    files.failOpen = true;
    manager = KJDBManager::sharedInstance();
    manager->setCollaborators(collaborators());
    EXPECT_THAT(log, testing::Contains("KJDB: create table failed due to: unable to open database file"));
    EXPECT_FALSE(manager->saveMultipleTipSeries({feed("lost")}));
    files.failOpen = false;

    EXPECT_TRUE(manager->saveMultipleTipSeries({feed("a", 2), feed("b", 1)}));
    EXPECT_THAT(idsOf(manager->findAllCampaignFeeds()), ElementsAre("b", "a"));

    // The table could not be made on an open file (it could not be written): the next use of the
    // cache makes it.
    KJDBManager::resetForTesting();
    KJDao::closeConnection([] { std::filesystem::remove(KJDBSettings::databasePath()); });
    files.failWrite = true;
    manager = KJDBManager::sharedInstance();
    manager->setCollaborators(collaborators());
    files.failWrite = false;
    EXPECT_TRUE(manager->saveMultipleTipSeries({feed("c")}));
    EXPECT_THAT(idsOf(manager->findAllCampaignFeeds()), ElementsAre("c"));
}

// The check for a stored row and the write are one step: of several threads storing the same
// unchanged feed at once, one stores it and the others are refused.
TEST_F(KJDBManagerTest, ConcurrentStoresOfOneFeedStoreItOnce) {
    KJLogSetObserver(nullptr);
    auto same = feed("same");
    std::atomic<int> stored{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < 8; ++i)
        threads.emplace_back([&] {
            if (manager->saveATipSeries(*same)) ++stored;
        });
    for (auto& t : threads) t.join();
    EXPECT_EQ(stored.load(), 1);
    EXPECT_EQ(idsOf(manager->findAllTipFeeds()).size(), 1u);
}

}  // namespace
}  // namespace brindlecue
