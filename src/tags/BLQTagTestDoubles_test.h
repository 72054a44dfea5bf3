#pragma once

// Doubles for the tag layer's neighbours: a user-event manager that records what it is asked to
// send, an install manager with a settable current install, a tag requester that answers as told,
// and an in-memory tag store that completes at once (or with a given error) and counts lookups.

#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "events/BLQIUserEventManager.h"
#include "facade/BLQIInstallRegistrationManager.h"
#include "foundation/UtilsForAny.h"
#include "network/BLQITagNetworkRequester.h"
#include "tags/BLQITagDataStore.h"

namespace brindlecue::testing {

struct SentEvent {
    int64_t code = 0;
    std::string message;
    std::optional<BLQTagDTO> tag;
};

class RecordingUserEventManager final : public BLQIUserEventManager {
public:
    void sendUserEventWithCode(int64_t code, const std::string& message, const platform::Value&) override {
        record(code, nullptr, message);
    }
    void sendUserEventWithCode(int64_t code, const std::string& message, const platform::Value&,
                               Handler) override {
        record(code, nullptr, message);
    }
    void sendUserEventWithCode(int64_t code, const std::shared_ptr<BLQTagDTO>& tag,
                               const std::string& message, const platform::Value&, Handler) override {
        record(code, tag, message);
    }
    void sendUserEventErrorWithMessage(const std::string& message, const std::string&) override {
        record(kErrorEventCode, nullptr, message);
    }
    void sendUserEventErrorWithMessageDetails(const std::string& message, const platform::Value&) override {
        record(kErrorEventCode, nullptr, message);
    }

    std::vector<SentEvent> events() const {
        std::lock_guard lock(mutex_);
        return events_;
    }
    void clear() {
        std::lock_guard lock(mutex_);
        events_.clear();
    }

private:
    void record(int64_t code, const std::shared_ptr<BLQTagDTO>& tag, const std::string& message) {
        std::lock_guard lock(mutex_);
        events_.push_back({code, message, tag ? std::optional<BLQTagDTO>(*tag) : std::nullopt});
    }
    mutable std::mutex mutex_;
    std::vector<SentEvent> events_;
};

class FakeInstallManager final : public BLQIInstallRegistrationManager {
public:
    std::shared_ptr<BLQInstallDTO> current;

    std::shared_ptr<BLQIInstallRegistrationDelegate> delegate() const override { return nullptr; }
    void setDelegate(std::shared_ptr<BLQIInstallRegistrationDelegate>) override {}
    std::shared_ptr<BLQInstallDTO> getCurrentInstall() override { return current; }
    std::shared_ptr<BLQInstallDTO> getInstallForAppKey(const std::string&) override { return current; }
    void registerInstallWithHandler(Handler) override {}
};

class FakeTagRequester final : public BLQITagNetworkRequester {
public:
    std::vector<std::string> deletedKeys;
    std::optional<platform::Error> failWith;

    void sendDeleteRequest(const std::string& key, BLQRequestSuccessBlock success,
                           BLQRequestFailureBlock failure) override {
        deletedKeys.push_back(key);
        if (failWith)
            failure(*failWith);
        else
            success(platform::Value::dictionary(),
                    *platform::URL::fromString("https://api.example.test/v3/tags"));
    }
};

// Tags in a map; every operation completes before it returns.
class InMemoryTagStore final : public BLQITagDataStore {
public:
    std::map<std::string, std::string> tags;
    std::vector<std::string> lookedUp;
    std::vector<std::string> deleted;
    int associations = 0;
    // When set, saves and increments complete with it and change nothing.
    std::optional<platform::Error> failWith;

    void deleteTag(const std::string& key) override {
        deleted.push_back(key);
        tags.erase(key);
    }
    std::shared_ptr<BLQTagDTO> getTag(const std::string& key) override {
        lookedUp.push_back(key);
        auto it = tags.find(key);
        return it == tags.end() ? nullptr : std::make_shared<BLQTagDTO>(key, it->second);
    }
    void associateTagsMissingInstall(const std::shared_ptr<BLQInstallDTO>&) override { ++associations; }
    void incrementTag(const std::string& key, int64_t value, Completion completion) override {
        if (failWith) return completion(*failWith);
        int64_t current = platform::Value(tags[key]).integerValue();
        tags[key] = std::to_string(current + value);
        completion(std::make_shared<BLQTagDTO>(key, tags[key]));
    }
    void saveTag(const std::string& key, const std::any& value, Completion completion) override {
        if (failWith) return completion(*failWith);
        tags[key] = UtilsForAny::convertToString(value).value_or("");
        completion(std::make_shared<BLQTagDTO>(key, tags[key]));
    }
    void saveTag(const std::shared_ptr<BLQTagDTO>& tag, Completion completion) override {
        saveTag(tag->key, std::any(tag->value), std::move(completion));
    }
    void saveTags(const std::vector<std::shared_ptr<BLQTagDTO>>& list) override {
        for (const auto& tag : list) saveTag(tag, [](Result) {});
    }
};

}  // namespace brindlecue::testing
