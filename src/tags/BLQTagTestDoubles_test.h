#pragma once

// Doubles for the tag layer's neighbours: a user-event manager that records what it is asked to
// send, an install manager with a settable current install, a tag requester that answers as told,
// and an in-memory tag store that completes at once (or with a given error) and notes lookups.

#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "config/BLQIInstallRegistrationManager.h"
#include "events/BLQIUserEventManager.h"
#include "foundation/UtilsForAny.h"
#include "network/BLQITagNetworkRequester.h"
#include "storage/BLQITagDataStore.h"

namespace brindlecue::testing {

// Records tag events ("<code> <message>", and the tag); the other events are not looked at.
class RecordingUserEventManager final : public BLQIUserEventManager {
public:
    struct Sent {
        std::string event;
        std::optional<BLQTagDTO> tag;
    };
    void sendUserEventWithCode(int64_t, const std::string&, const platform::Value&) override {}
    void sendUserEventWithCode(int64_t, const std::string&, const platform::Value&, Handler) override {}
    void sendUserEventErrorWithMessage(const std::string&, const std::string&) override {}
    void sendUserEventErrorWithMessageDetails(const std::string&, const platform::Value&) override {}
    void sendUserEventWithCode(int64_t code, const std::shared_ptr<BLQTagDTO>& tag,
                               const std::string& message, const platform::Value&, Handler) override {
        std::lock_guard lock(mutex_);
        sent_.push_back({std::to_string(code) + " " + message, tag ? std::optional(*tag) : std::nullopt});
    }
    std::vector<Sent> sent() const {
        std::lock_guard lock(mutex_);
        return sent_;
    }
    std::vector<std::string> events() const {
        std::vector<std::string> out;
        for (const auto& s : sent()) out.push_back(s.event);
        return out;
    }
    void clear() {
        std::lock_guard lock(mutex_);
        sent_.clear();
    }

private:
    mutable std::mutex mutex_;
    std::vector<Sent> sent_;
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
        if (failWith) return failure(*failWith);
        success(platform::Value::dictionary(),
                *platform::URL::fromString("https://api.example.test/v3/tags"));
    }
};

// Every operation completes before it returns; with failWith set, saves and increments fail.
class InMemoryTagStore final : public BLQITagDataStore {
public:
    std::map<std::string, std::string> tags;
    std::vector<std::string> lookedUp, deleted;
    int associations = 0;
    std::optional<platform::Error> failWith;

    void deleteTag(const std::string& key) override { deleted.push_back(key), tags.erase(key); }
    std::shared_ptr<BLQTagDTO> getTag(const std::string& key) override {
        lookedUp.push_back(key);
        auto it = tags.find(key);
        return it == tags.end() ? nullptr : std::make_shared<BLQTagDTO>(key, it->second);
    }
    void associateTagsMissingInstall(const std::shared_ptr<BLQInstallDTO>&) override { ++associations; }
    void incrementTag(const std::string& key, int64_t value, Completion completion) override {
        saveTag(key, std::any(platform::Value(tags[key]).integerValue() + value), std::move(completion));
    }
    void saveTag(const std::string& key, const std::any& value, Completion completion) override {
        if (failWith) return completion(*failWith);
        tags[key] = UtilsForAny::convertToString(value).value_or("");
        completion(std::make_shared<BLQTagDTO>(key, tags[key]));
    }
    void saveTag(const std::shared_ptr<BLQTagDTO>& tag, Completion completion) override {
        saveTag(tag->key, std::any(tag->value), std::move(completion));
    }
    void saveTags(const std::vector<std::shared_ptr<BLQTagDTO>>&) override {}
};

}  // namespace brindlecue::testing
