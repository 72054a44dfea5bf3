// An object of the older layer loading itself from the sample server and saving itself back: what
// reaches the server, what the object reads of the answer and what its completion is told.

#include "facade/KJObject.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>

#include "support/HostApp.h"

namespace brindlecue {
namespace {

using platform::Value;
using testsupport::route;

// A profile record that loads from and saves to its own path and keeps what it read.
class Profile final : public KJObject {
public:
    using KJObject::KJObject;
    std::string className() const override { return "Profile"; }
    std::optional<std::string> serverLoadURL() const override { return "/profiles/" + suid; }
    std::optional<std::string> serverSaveURL() const override { return "/profiles/" + suid; }
    Value saveBody() const override { return Value::dictionary({{"name", "Ada"}}); }
    void loadFromDictionary(const Value& dictionary) override {
        std::lock_guard lock(mutex);
        read.push_back(dictionary);
    }
    std::vector<Value> reads() const {
        std::lock_guard lock(mutex);
        return read;
    }

private:
    mutable std::mutex mutex;
    std::vector<Value> read;
};

// What one completion was told.
struct Outcome {
    std::atomic<bool> done = false;
    std::shared_ptr<KJObject> object;
    std::optional<platform::Error> error;
    KJObject::Completion completion() {
        return [this](std::shared_ptr<KJObject> o, std::optional<platform::Error> e) {
            object = std::move(o);
            error = std::move(e);
            done = true;
        };
    }
};

class KJObjectTest : public testing::Test {
protected:
    void SetUp() override { app.launch(); }
    // Runs the call and waits for its completion.
    void run(const std::function<void(KJObject::Completion)>& call, Outcome& outcome) {
        call(outcome.completion());
        ASSERT_TRUE(app.pumpUntil([&] { return outcome.done.load(); }));
    }
    testsupport::HostApp app;
};

TEST_F(KJObjectTest, ALoadReadsADictionaryAnswerAndReportsAnyOtherAnswerOrAFailure) {
    app.server.addRoute(route("GET", "/v3/profiles/7", 200, R"({"name": "Ada", "age": 36})"));
    app.server.addRoute(route("GET", "/v3/profiles/8", 200, R"(["Ada"])"));
    app.server.addRoute(route("GET", "/v3/profiles/9", 500, "{}"));
    auto profile = std::make_shared<Profile>("7");
    Outcome loaded;
    run([&](auto done) { profile->loadFromServer(done); }, loaded);
    EXPECT_EQ(loaded.object, profile);
    EXPECT_FALSE(loaded.error);
    EXPECT_EQ(profile->reads(), std::vector<Value>{*Value::fromJSON(R"({"name": "Ada", "age": 36})")});

    auto listed = std::make_shared<Profile>("8");
    Outcome wrong;
    run([&](auto done) { listed->loadFromServer(done); }, wrong);
    EXPECT_EQ(wrong.object, listed);
    ASSERT_TRUE(wrong.error);
    EXPECT_EQ(wrong.error->domain(), "KJErrorDomain");
    EXPECT_EQ(wrong.error->code(), 0);
    EXPECT_EQ(wrong.error->localizedDescription().rfind("Load from server get wrong result value: ", 0), 0u);
    EXPECT_NE(wrong.error->localizedDescription().find("Ada"), std::string::npos);
    EXPECT_TRUE(listed->reads().empty());

    auto missing = std::make_shared<Profile>("9");
    Outcome failed;
    run([&](auto done) { missing->loadFromServer(done); }, failed);
    EXPECT_EQ(failed.object, missing);
    ASSERT_TRUE(failed.error);
    EXPECT_EQ(failed.error->localizedDescription().find("Load from server"), std::string::npos)
        << "the client's own error";
    EXPECT_TRUE(missing->reads().empty());

    // Without a completion the load still reads the answer.
    auto quiet = std::make_shared<Profile>("7");
    quiet->loadFromServer(nullptr);
    EXPECT_TRUE(app.pumpUntil([&] { return quiet->reads().size() == 1; }));
}

TEST_F(KJObjectTest, ASaveSendsTheBodyAsJSONAndReadsTheAnswerAsALoadDoes) {
    app.server.addRoute(route("PATCH", "/v3/profiles/7", 200, R"({"name": "Ada", "saved": true})"));
    app.server.addRoute(route("PATCH", "/v3/profiles/8", 200, R"(["saved"])"));
    app.server.addRoute(route("PATCH", "/v3/profiles/9", 500, "{}"));
    auto profile = std::make_shared<Profile>("7");
    Outcome saved;
    run([&](auto done) { profile->saveToServer(done); }, saved);
    EXPECT_EQ(saved.object, profile);
    EXPECT_FALSE(saved.error);
    EXPECT_EQ(profile->reads(), std::vector<Value>{*Value::fromJSON(R"({"name": "Ada", "saved": true})")});
    auto journal = app.server.journal();
    ASSERT_FALSE(journal.empty());
    EXPECT_EQ(journal.back().method, "PATCH");
    EXPECT_EQ(Value::fromJSON(journal.back().body), Value::dictionary({{"name", "Ada"}}));

    auto other = std::make_shared<Profile>("8");
    Outcome wrong;
    run([&](auto done) { other->saveToServer(done); }, wrong);
    ASSERT_TRUE(wrong.error);
    EXPECT_EQ(wrong.error->localizedDescription().rfind("Save to server get wrong result value: ", 0), 0u)
        << wrong.error->localizedDescription();
    EXPECT_TRUE(other->reads().empty());

    auto missing = std::make_shared<Profile>("9");
    Outcome failed;
    run([&](auto done) { missing->saveToServer(done); }, failed);
    EXPECT_EQ(failed.object, missing);
    ASSERT_TRUE(failed.error);
    EXPECT_TRUE(missing->reads().empty());
}

}  // namespace
}  // namespace brindlecue
