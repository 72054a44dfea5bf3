#pragma once

#include <optional>
#include <string>

#include "platform/Date.h"
#include "platform/Value.h"

namespace brindlecue {

// One page visit: the page's display name and when it was entered. The facade keeps the visit of
// the page last entered as its currentView, to know whether a page is current; the other fields
// are kept for the record and nothing sets them.
class KJViewActivity {
public:
    explicit KJViewActivity(std::string viewName);

    // {"page", "enter", "exit", "duration", "bg"}; the dates as ISO-8601 text, a missing exit
    // time as the empty text.
    platform::Value toDictionary() const;
    // The JSON text of toDictionary, or "" when it cannot be written.
    std::string serializeToString() const;

    std::string viewName;
    platform::Date enterTime;
    std::optional<platform::Date> exitTime;
    double duration = 0;
    bool enterBg = false;
};

}  // namespace brindlecue
