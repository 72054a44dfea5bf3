#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/Date.h"
#include "platform/Value.h"
#include "storage/KJDBFeedRecord.h"

namespace brindlecue {

// One campaign feed item as the library keeps it between the server's answer and the campaign
// cache: its ids, dates, content (the campaign document, {"setup", "payload"}, or the payload of a
// push message), priority and its three condition lists as condition texts (KJFeedConditions).
//
// Dates that a feed item lacks, or gives in a form that does not read as a date, are absent.
class KJFeedObject final : public KJDBFeedRecord {
public:
    // The text kept for a campaign that is never to be deleted, character for character.
    static constexpr const char* kInfiniteDeletionConditions =
        R"({"deletion_conditions": [{"type": "infinite","op": "infinite","value": "infinite"}]})";

    // The record of one item of a feed answer's "results", or null when the item is not a
    // dictionary or has no id (a number or a non-empty text), which goes to the legacy log.
    static std::shared_ptr<KJFeedObject> createFromDictionary(const platform::Value& item);
    // One condition list of a feed item as its condition text.
    static std::string updateRepeatConditions(const platform::Value& list);
    static std::string updateTriggerConditions(const platform::Value& list);
    // "" for an empty list; the infinite text when the first condition's "repeat" is "infinite".
    static std::string updateDeleteConditions(const platform::Value& list);

    // The stored form: "feed_id", "app_key", "title", "message", "campaign" (absent as ""),
    // "content" when present, the dates that are present as "yyyy-MM-dd'T'HH:mm:ss.SSSZ" text,
    // "deletion_conditions" and "repeat_conditions" when present, and "priority".
    platform::Value serializeToDictionary() const;
    // A record read back from its stored form; null when the argument is not a dictionary.
    static std::shared_ptr<KJFeedObject> loadFromDictionary(const platform::Value& stored);
    std::string description() const;

    std::optional<std::string> feed_id() const override { return feed_id_; }
    std::optional<std::string> app_key() const override { return app_key_; }
    std::optional<std::string> title() const { return title_; }
    std::optional<std::string> message() const { return message_; }
    std::optional<std::string> campaign() const { return campaign_; }
    std::optional<std::string> campaignid() const override { return campaignid_; }
    bool isPreview() const override { return isPreview_; }
    platform::Value content() const override { return content_; }
    std::optional<platform::Date> activates() const override { return activates_; }
    std::optional<platform::Date> expires() const override { return expires_; }
    std::optional<std::string> deletion_conditions() const override { return deletion_conditions_; }
    std::optional<std::string> repeat_conditions() const override { return repeat_conditions_; }
    std::optional<std::string> trigger_conditions() const override { return trigger_conditions_; }
    std::optional<platform::Date> created() const { return created_; }
    std::optional<platform::Date> modified() const override { return modified_; }
    std::optional<platform::Date> deleted() const { return deleted_; }
    int64_t priority() const override { return priority_; }

    void setFeed_id(std::optional<std::string> v) { feed_id_ = std::move(v); }
    void setApp_key(std::optional<std::string> v) { app_key_ = std::move(v); }
    void setTitle(std::optional<std::string> v) { title_ = std::move(v); }
    void setMessage(std::optional<std::string> v) { message_ = std::move(v); }
    void setCampaign(std::optional<std::string> v) { campaign_ = std::move(v); }
    void setCampaignid(std::optional<std::string> v) { campaignid_ = std::move(v); }
    void setIsPreview(bool v) { isPreview_ = v; }
    void setContent(platform::Value v) { content_ = std::move(v); }
    void setActivates(std::optional<platform::Date> v) { activates_ = v; }
    void setExpires(std::optional<platform::Date> v) { expires_ = v; }
    void setDeletion_conditions(std::optional<std::string> v) { deletion_conditions_ = std::move(v); }
    void setRepeat_conditions(std::optional<std::string> v) { repeat_conditions_ = std::move(v); }
    void setTrigger_conditions(std::optional<std::string> v) { trigger_conditions_ = std::move(v); }
    void setCreated(std::optional<platform::Date> v) { created_ = v; }
    void setModified(std::optional<platform::Date> v) { modified_ = v; }
    void setDeleted(std::optional<platform::Date> v) { deleted_ = v; }
    void setPriority(int64_t v) { priority_ = v; }

private:
    std::optional<std::string> feed_id_;
    std::optional<std::string> app_key_;
    std::optional<std::string> title_;
    std::optional<std::string> message_;
    std::optional<std::string> campaign_;
    std::optional<std::string> campaignid_;
    bool isPreview_ = false;
    // Absent when the item's content is none of the forms above.
    platform::Value content_;
    std::optional<platform::Date> activates_;
    std::optional<platform::Date> expires_;
    std::optional<std::string> deletion_conditions_;
    std::optional<std::string> repeat_conditions_;
    std::optional<std::string> trigger_conditions_;
    std::optional<platform::Date> created_;
    std::optional<platform::Date> modified_;
    std::optional<platform::Date> deleted_;
    int64_t priority_ = 0;
};

}  // namespace brindlecue
