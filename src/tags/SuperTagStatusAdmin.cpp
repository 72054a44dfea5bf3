#include "tags/SuperTagStatusAdmin.h"

#include <unicode/regex.h>
#include <unicode/unistr.h>

#include <memory>

#include "foundation/BLQILoggable.h"
#include "platform/RegexWorkLimit.h"

namespace brindlecue {

bool SuperTagStatusAdmin::isSuperTagEnabled(const std::string& tagLevel, const std::string& tagType) {
    if (tagLevel == "all") return true;
    if (tagLevel == "enabled") return tagType == "View" || tagType == "Click";
    if (tagLevel == "no_clicks") return tagType == "View";
    return false;
}

bool SuperTagStatusAdmin::isSuperTagFilterMatch(const std::string& serverPattern,
                                                const std::string& devicePattern) {
    // The platform refuses to build an expression from an empty pattern.
    if (serverPattern.empty()) return false;
    UErrorCode status = U_ZERO_ERROR;
    UParseError parseError;
    std::unique_ptr<icu::RegexPattern> pattern(
        icu::RegexPattern::compile(icu::UnicodeString::fromUTF8(serverPattern), 0, parseError, status));
    if (U_FAILURE(status) || !pattern) {
        print_log("Tag: Super-tag filter is not a valid regular expression, nothing passes it: " +
                      serverPattern + ", error: " + u_errorName(status),
                  rawValue(BLQLoggingLevel::warning));
        return false;
    }
    icu::UnicodeString input = icu::UnicodeString::fromUTF8(devicePattern);
    std::unique_ptr<icu::RegexMatcher> matcher(pattern->matcher(input, status));
    if (U_FAILURE(status) || !matcher) return false;
    platform::limitRegexWork(*matcher);
    const bool found = matcher->find(status);
    if (status == U_REGEX_TIME_OUT)
        print_log("Tag: Super-tag filter takes too long to match, nothing passes it: " + serverPattern,
                  rawValue(BLQLoggingLevel::warning));
    return U_SUCCESS(status) && found;
}

}  // namespace brindlecue
