#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/Date.h"
#include "platform/Value.h"

namespace brindlecue {

// What the campaign cache reads of a feed item. The feed record (KJFeedObject) implements it.
class KJDBFeedRecord {
public:
    virtual ~KJDBFeedRecord() = default;

    virtual std::optional<std::string> feed_id() const = 0;
    virtual std::optional<std::string> app_key() const = 0;
    // None when the item has no campaign id (or the null object).
    virtual std::optional<std::string> campaignid() const = 0;
    virtual bool isPreview() const = 0;
    // The campaign document ("setup", "payload", ...); absent when the item has none.
    virtual platform::Value content() const = 0;
    virtual std::optional<platform::Date> activates() const = 0;
    virtual std::optional<platform::Date> expires() const = 0;
    virtual std::optional<platform::Date> modified() const = 0;
    // The condition lists as their stored texts.
    virtual std::optional<std::string> deletion_conditions() const = 0;
    virtual std::optional<std::string> repeat_conditions() const = 0;
    virtual std::optional<std::string> trigger_conditions() const = 0;
    virtual int64_t priority() const = 0;
};

}  // namespace brindlecue
