#include "platform/coredata/RegularExpression.h"

#include <unicode/regex.h>
#include <unicode/unistr.h>

#include <map>
#include <mutex>
#include <utility>

#include "platform/RegexWorkLimit.h"
#include "platform/SystemLog.h"

namespace brindlecue::platform {

struct RegularExpression::Impl {
    std::unique_ptr<icu::RegexPattern> pattern;
};

RegularExpression::RegularExpression(std::string pattern, std::unique_ptr<Impl> impl)
    : pattern_(std::move(pattern)), impl_(std::move(impl)) {}

RegularExpression::~RegularExpression() = default;

std::shared_ptr<const RegularExpression> RegularExpression::compile(std::string_view pattern) {
    UErrorCode status = U_ZERO_ERROR;
    UParseError parseError;
    icu::UnicodeString source =
        icu::UnicodeString::fromUTF8(icu::StringPiece(pattern.data(), pattern.size()));
    std::unique_ptr<icu::RegexPattern> compiled(icu::RegexPattern::compile(source, 0, parseError, status));
    if (U_FAILURE(status) || !compiled) return nullptr;
    auto impl = std::make_unique<Impl>();
    impl->pattern = std::move(compiled);
    return std::shared_ptr<const RegularExpression>(
        new RegularExpression(std::string(pattern), std::move(impl)));
}

std::shared_ptr<const RegularExpression> RegularExpression::cached(const std::string& pattern) {
    struct Cache {
        std::mutex mutex;
        std::map<std::string, std::shared_ptr<const RegularExpression>> entries;
    };
    static auto* cache = new Cache;
    {
        std::lock_guard lock(cache->mutex);
        auto it = cache->entries.find(pattern);
        if (it != cache->entries.end()) return it->second;
    }
    auto compiled = compile(pattern);
    std::lock_guard lock(cache->mutex);
    if (cache->entries.size() >= 64) cache->entries.clear();
    cache->entries.emplace(pattern, compiled);
    return compiled;
}

bool RegularExpression::matchesWhole(std::string_view text) const {
    UErrorCode status = U_ZERO_ERROR;
    icu::UnicodeString input = icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), text.size()));
    std::unique_ptr<icu::RegexMatcher> matcher(impl_->pattern->matcher(input, status));
    if (U_FAILURE(status) || !matcher) return false;
    limitRegexWork(*matcher);
    bool result = matcher->matches(status);
    if (status == U_REGEX_TIME_OUT)
        SystemLog("com.brindlecue.platform", "CoreData")
            .log(LogType::Error, "MATCHES stopped: the pattern " + pattern_ +
                                     " took more work than a search may take; the text does not match");
    return U_SUCCESS(status) && result;
}

}  // namespace brindlecue::platform
