#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/Value.h"

namespace brindlecue {

// One condition of a campaign: a repeat condition (may it show again), a trigger condition or a
// deletion condition, with its one piece of state, the current value (a count as decimal text, or
// the text of the next date it waits for).
//
// A list of conditions has three forms: the feed item's array of condition objects; the condition
// text, the pretty-printed JSON of a one-key object {list name: [condition objects]} that the feed
// record and the campaign cache keep; and the records a campaign holds. The saved state of a list
// is a condition text in the user defaults under "<list name>_<feed id>".
class KJFeedConditions {
public:
    using List = std::vector<std::shared_ptr<KJFeedConditions>>;

    std::string type;
    std::string op;
    std::string value;
    std::string currentValue;
    std::string tag;
    // The list value as sent; the empty text when the object has none.
    platform::Value value_array = platform::Value("");

    // The condition of a condition object, or null when it is not a dictionary. Each text field is
    // the value's text (a number as its decimal text); missing or null gives "". An empty current
    // value gets its initial value.
    static std::shared_ptr<KJFeedConditions> createFromDictionary(const platform::Value& object);
    // One condition per dictionary of the list, in order; anything but a list gives none.
    static List createFeedConditionsArray(const platform::Value& list);
    // The conditions of a condition text under the list name; none when it does not parse.
    static List createConditionsObject(const platform::Value& text, const std::string& name);
    // The conditions with the current values saved for the feed: each takes the current value of
    // the first saved condition of its type. A condition whose type has no saved entry (one that a
    // campaign update added) keeps its own value.
    static List getSavedFeedConditions(const std::string& feedId, const List& conditions,
                                       const std::string& name);
    // The condition text of the list, with each current value initial or, with increment, advanced.
    static std::string getUpdatedFeedConditions(const List& conditions, const std::string& name,
                                                bool increment);
    // The condition object: "type", "op", "tag", "value", "currentValue", "value_array".
    static platform::Value dictKeys(const KJFeedConditions& condition, bool increment);
    // A non-empty current value as it is; otherwise "0" for the counting types ("seen_count",
    // "page_seen_count", "always", "never"), the next date for "after_delay" and "time_next", and
    // the current value for any other type.
    static std::string initialCurrentValue(const KJFeedConditions& condition);
    // After a showing: a count one higher, a fresh next date, or "" for any other type.
    static std::string updatedCurrentValue(const KJFeedConditions& condition);
    // {name: array} as pretty-printed JSON text; "" when the array cannot be written.
    static std::string jsonToString(const platform::Value& array, const std::string& name);
    // The user-defaults key of a list's saved state.
    static std::string savedStateKey(const std::string& name, const std::string& feedId);
};

}  // namespace brindlecue
