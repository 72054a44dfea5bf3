#include "feed/KJFeedObject.h"

#include <algorithm>
#include <limits>

#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include "feed/KJFeedConditions.h"
#include "foundation/BLQDateUtils.h"
#include "foundation/BLQUtils.h"
#include "foundation/KJLog.h"

namespace brindlecue {

using platform::Value;

namespace {

constexpr const char* kDateKeys[] = {"activates", "expires", "created", "modified", "deleted"};

// The platform's white space and line ends.
bool isWhiteSpace(UChar32 c) {
    if (c == 0x85 || (c >= 0x09 && c <= 0x0D)) return true;
    int8_t category = u_charType(c);
    return category == U_SPACE_SEPARATOR || category == U_LINE_SEPARATOR || category == U_PARAGRAPH_SEPARATOR;
}

std::string trimmed(const icu::UnicodeString& text) {
    int32_t begin = 0, end = text.length();
    while (begin < end && isWhiteSpace(text.char32At(begin))) begin = text.moveIndex32(begin, 1);
    while (end > begin && isWhiteSpace(text.char32At(text.moveIndex32(end, -1))))
        end = text.moveIndex32(end, -1);
    std::string out;
    text.tempSubStringBetween(begin, end).toUTF8String(out);
    return out;
}

// The text of an id: a non-empty text, or a number's decimal text.
std::optional<std::string> idText(const Value& v) {
    if (const std::string* s = v.getString()) {
        if (s->empty()) return std::nullopt;
        return *s;
    }
    if (v.isInteger() || v.isReal()) return v.stringValue();
    return std::nullopt;
}

std::optional<std::string> textOrNumber(const Value& v) {
    if (const std::string* s = v.getString()) return *s;
    if (v.isNumber()) return v.stringValue();
    return std::nullopt;
}

std::optional<std::string> textOnly(const Value& v) {
    if (const std::string* s = v.getString()) return *s;
    return std::nullopt;
}

// The platform's 32-bit integer value, held to the 32-bit range.
int32_t int32Value(const Value& v) {
    int64_t n = v.integerValue();
    return static_cast<int32_t>(
        std::clamp<int64_t>(n, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

bool nonEmptyList(const Value& v) {
    return v.isArray() && v.count() > 0;
}

// A date of a stored record: a date, or text in one of the forms the date parser reads.
std::optional<platform::Date> storedDate(const Value& v) {
    if (auto date = v.getDate()) return date;
    return blqParseDate(v, 0);
}

// The members of a feed item that a record takes, found in one walk of its entries rather than
// each by a walk of its own; absent for a member the item lacks.
struct ItemMembers {
    enum : size_t {
        kId,
        kContent,
        kCampaign,
        kActivates,
        kExpires,
        kCreated,
        kModified,
        kDeleted,
        kCampaignId,
        kAppKey,
        kPriority,
        kType,
        kRepeatConditions,
        kDeletionConditions,
        kTriggerConditions,
        kCount
    };
    explicit ItemMembers(const platform::Dictionary& item) {
        for (const auto& [key, value] : item) {
            const size_t member = memberOf(key);
            if (member != kCount && found[member] == nullptr) found[member] = &value;
        }
    }
    const Value& operator[](size_t member) const { return found[member] ? *found[member] : kAbsent; }

    // Which member the key names (kCount for none), told by its length first.
    static size_t memberOf(std::string_view key) {
        switch (key.size()) {
            case 2: return key == "id" ? kId : kCount;
            case 4: return key == "type" ? kType : kCount;
            case 7:
                if (key == "content") return kContent;
                if (key == "expires") return kExpires;
                if (key == "created") return kCreated;
                if (key == "deleted") return kDeleted;
                return key == "app_key" ? kAppKey : kCount;
            case 8:
                if (key == "campaign") return kCampaign;
                if (key == "modified") return kModified;
                return key == "priority" ? kPriority : kCount;
            case 9: return key == "activates" ? kActivates : kCount;
            case 10: return key == "campaignid" ? kCampaignId : kCount;
            case 17: return key == "repeat_conditions" ? kRepeatConditions : kCount;
            case 18: return key == "trigger_conditions" ? kTriggerConditions : kCount;
            case 19: return key == "deletion_conditions" ? kDeletionConditions : kCount;
            default: return kCount;
        }
    }

    static inline const Value kAbsent;
    const Value* found[kCount] = {};
};

}  // namespace

std::shared_ptr<KJFeedObject> KJFeedObject::createFromDictionary(const Value& entries) {
    if (!entries.isDictionary()) return nullptr;
    const ItemMembers item(*entries.getDictionary());
    auto feedId = idText(item[ItemMembers::kId]);
    if (!feedId) {
        KJLog(1, "Feed: received a feed item without an id, not taking it: %@", entries);
        return nullptr;
    }

    auto feed = std::make_shared<KJFeedObject>();
    feed->feed_id_ = std::move(feedId);

    const Value& content = item[ItemMembers::kContent];
    if (content.isDictionary()) {
        const Value& aps = content["aps"];
        if (const std::string* alert = aps["alert"].getString(); aps.isDictionary() && alert) {
            icu::UnicodeString text = icu::UnicodeString::fromUTF8(*alert);
            int32_t length = int32Value(content["l"]);
            if (length >= 0 && length <= text.length()) {
                feed->title_ = trimmed(text.tempSubString(0, length));
                feed->message_ = trimmed(text.tempSubString(length));
            }
        }
        if (content.getDictionary()->contains("d")) {
            const Value& d = content["d"];
            Value parsed = blqParseObjectToDict(d);
            feed->content_ = parsed.isDictionary() ? parsed : Value::dictionary({{"value", d.stringValue()}});
        } else if (content.getDictionary()->contains("payload") &&
                   content.getDictionary()->contains("setup")) {
            feed->content_ =
                Value::dictionary({{"setup", content["setup"]}, {"payload", content["payload"]}});
        }
    }

    feed->campaign_ = textOrNumber(item[ItemMembers::kCampaign]);
    feed->activates_ = blqParseDate(item[ItemMembers::kActivates], 0);
    feed->expires_ = blqParseDate(item[ItemMembers::kExpires], 0);
    feed->created_ = blqParseDate(item[ItemMembers::kCreated], 0);
    feed->modified_ = blqParseDate(item[ItemMembers::kModified], 0);
    feed->deleted_ = blqParseDate(item[ItemMembers::kDeleted], 0);
    feed->campaignid_ = textOrNumber(item[ItemMembers::kCampaignId]);
    feed->app_key_ = textOnly(item[ItemMembers::kAppKey]);
    feed->deletion_conditions_ = "";
    feed->priority_ = int32Value(item[ItemMembers::kPriority]);
    feed->isPreview_ = item[ItemMembers::kType] == Value("PREVIEW");

    if (nonEmptyList(item[ItemMembers::kRepeatConditions]))
        feed->repeat_conditions_ = updateRepeatConditions(item[ItemMembers::kRepeatConditions]);
    if (nonEmptyList(item[ItemMembers::kDeletionConditions]))
        feed->deletion_conditions_ = updateDeleteConditions(item[ItemMembers::kDeletionConditions]);
    if (nonEmptyList(item[ItemMembers::kTriggerConditions]))
        feed->trigger_conditions_ = updateTriggerConditions(item[ItemMembers::kTriggerConditions]);
    return feed;
}

std::string KJFeedObject::updateRepeatConditions(const Value& list) {
    return KJFeedConditions::getUpdatedFeedConditions(KJFeedConditions::createFeedConditionsArray(list),
                                                      "repeat_conditions", false);
}

std::string KJFeedObject::updateTriggerConditions(const Value& list) {
    return KJFeedConditions::getUpdatedFeedConditions(KJFeedConditions::createFeedConditionsArray(list),
                                                      "trigger_conditions", false);
}

std::string KJFeedObject::updateDeleteConditions(const Value& list) {
    if (list.count() == 0) return "";
    if (list[0]["repeat"] == Value("infinite")) return kInfiniteDeletionConditions;
    return KJFeedConditions::getUpdatedFeedConditions(KJFeedConditions::createFeedConditionsArray(list),
                                                      "deletion_conditions", false);
}

Value KJFeedObject::serializeToDictionary() const {
    Value out = Value::dictionary({
        {"feed_id", feed_id_.value_or("")},
        {"app_key", app_key_.value_or("")},
        {"title", title_.value_or("")},
        {"message", message_.value_or("")},
        {"campaign", campaign_.value_or("")},
    });
    if (!content_.isNil()) out.set("content", content_);
    const std::optional<platform::Date>* dates[] = {&activates_, &expires_, &created_, &modified_, &deleted_};
    for (size_t i = 0; i < std::size(kDateKeys); ++i) {
        if (*dates[i]) out.set(kDateKeys[i], blqFormatISODate(**dates[i]));
    }
    if (deletion_conditions_) out.set("deletion_conditions", *deletion_conditions_);
    if (repeat_conditions_) out.set("repeat_conditions", *repeat_conditions_);
    out.set("priority", priority_);
    return out;
}

std::shared_ptr<KJFeedObject> KJFeedObject::loadFromDictionary(const Value& stored) {
    if (!stored.isDictionary()) return nullptr;
    auto feed = std::make_shared<KJFeedObject>();
    feed->feed_id_ = textOrNumber(stored["feed_id"]);
    feed->app_key_ = textOnly(stored["app_key"]);
    feed->title_ = textOnly(stored["title"]);
    feed->message_ = textOnly(stored["message"]);
    feed->campaign_ = textOrNumber(stored["campaign"]);
    if (stored["content"].isDictionary()) feed->content_ = stored["content"];
    feed->expires_ = storedDate(stored["expires"]);
    feed->activates_ = storedDate(stored["activates"]);
    feed->created_ = storedDate(stored["created"]);
    feed->modified_ = storedDate(stored["modified"]);
    feed->deleted_ = storedDate(stored["deleted"]);
    feed->priority_ = stored["priority"].integerValue();
    // The condition lists are kept as their texts; a record written as a feed item holds lists.
    feed->deletion_conditions_ = "";
    const Value& deletion = stored["deletion_conditions"];
    if (const std::string* text = deletion.getString()) {
        feed->deletion_conditions_ = *text;
    } else if (nonEmptyList(deletion)) {
        feed->deletion_conditions_ = updateDeleteConditions(deletion);
    }
    const Value& repeat = stored["repeat_conditions"];
    if (const std::string* text = repeat.getString()) {
        feed->repeat_conditions_ = *text;
    } else if (nonEmptyList(repeat)) {
        feed->repeat_conditions_ = updateRepeatConditions(repeat);
    }
    return feed;
}

std::string KJFeedObject::description() const {
    auto text = [](const std::optional<std::string>& s) { return s.value_or("(null)"); };
    auto date = [](const std::optional<platform::Date>& d) { return d ? blqFormatISODate(*d) : "(null)"; };
    return "feed id = " + text(feed_id_) + ", title = " + text(title_) + ", message = " + text(message_) +
           ", campaign = " + text(campaign_) +
           ", content = " + (content_.isNil() ? "(null)" : content_.description()) + ", activate on " +
           date(activates_) + ", expires on " + date(expires_) + ", created on " + date(created_) +
           ", modified on " + date(modified_) + ", deleted on " + date(deleted_);
}

}  // namespace brindlecue
