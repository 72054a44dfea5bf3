#include "platform/NSRegularExpression.h"

#include <unicode/regex.h>
#include <unicode/unistr.h>
#include <unicode/ustring.h>

#include <mutex>

#include "platform/RegexWorkLimit.h"
#include "platform/SystemLog.h"

namespace brindlecue::platform {

namespace {

// What a matcher is left pointing at between searches.
const icu::UnicodeString& noText() {
    static const auto* empty = new icu::UnicodeString();
    return *empty;
}

std::string toUTF8(const icu::UnicodeString& text) {
    std::string out;
    text.toUTF8String(out);
    return out;
}

void logGaveUp(const icu::RegexPattern& pattern) {
    SystemLog("com.brindlecue.platform", "RegularExpression")
        .log(LogType::Error, "Search stopped: the pattern " + toUTF8(pattern.pattern()) +
                                 " took more work than a search may take; it finds nothing more");
}

}  // namespace

RegexText::RegexText(std::string_view utf8) {
    icu::UnicodeString text =
        icu::UnicodeString::fromUTF8(icu::StringPiece(utf8.data(), int32_t(utf8.size())));
    utf16_.assign(text.getBuffer(), size_t(text.length()));
}

struct NSRegularExpression::Impl {
    std::unique_ptr<icu::RegexPattern> pattern;
    // One matcher, reset for every search; ICU matchers are not shareable between threads.
    std::mutex mutex;
    std::unique_ptr<icu::RegexMatcher> matcher;
};

NSRegularExpression::NSRegularExpression(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

NSRegularExpression::~NSRegularExpression() = default;

std::shared_ptr<const NSRegularExpression> NSRegularExpression::regularExpressionWithPattern(
    std::string_view pattern, uint32_t options, std::optional<Error>* error) {
    UErrorCode status = U_ZERO_ERROR;
    UParseError parseError{};
    icu::UnicodeString source =
        icu::UnicodeString::fromUTF8(icu::StringPiece(pattern.data(), int32_t(pattern.size())));
    uint32_t flags = (options & CaseInsensitive) ? UREGEX_CASE_INSENSITIVE : 0;
    std::unique_ptr<icu::RegexPattern> compiled(
        icu::RegexPattern::compile(source, flags, parseError, status));
    std::unique_ptr<icu::RegexMatcher> matcher;
    if (U_SUCCESS(status) && compiled) matcher.reset(compiled->matcher(status));
    if (U_FAILURE(status) || !compiled || !matcher) {
        if (error) {
            *error =
                Error("NSCocoaErrorDomain", 2048,
                      Value::dictionary({{"NSInvalidValue", Value(std::string(pattern))},
                                         {Error::kLocalizedDescriptionKey,
                                          Value("The value “" + std::string(pattern) + "” is invalid.")}}));
        }
        return nullptr;
    }
    limitRegexWork(*matcher);
    auto impl = std::make_unique<Impl>();
    impl->pattern = std::move(compiled);
    impl->matcher = std::move(matcher);
    return std::shared_ptr<const NSRegularExpression>(new NSRegularExpression(std::move(impl)));
}

std::optional<NSRegularExpression::Match> NSRegularExpression::firstMatchInString(
    const RegexText& text) const {
    // A read-only alias of the prepared text: nothing is copied.
    icu::UnicodeString input(false, text.utf16().data(), int32_t(text.utf16().size()));
    std::lock_guard lock(impl_->mutex);
    icu::RegexMatcher& m = *impl_->matcher;
    m.reset(input);
    UErrorCode status = U_ZERO_ERROR;
    const bool found = m.find(0, status);
    if (status == U_REGEX_TIME_OUT) logGaveUp(*impl_->pattern);
    if (!found || U_FAILURE(status)) {
        m.reset(noText());
        return std::nullopt;
    }
    Match match;
    int32_t groups = m.groupCount();
    match.groups.reserve(size_t(groups) + 1);
    for (int32_t g = 0; g <= groups; ++g) {
        status = U_ZERO_ERROR;
        int32_t start = m.start(g, status);
        if (U_FAILURE(status) || start < 0) {
            match.groups.emplace_back();
            continue;
        }
        int32_t end = m.end(g, status);
        match.groups.emplace_back(toUTF8(input.tempSubStringBetween(start, end)));
    }
    // The matcher must not keep pointing at the caller's text.
    m.reset(noText());
    return match;
}

std::optional<NSRegularExpression::Match> NSRegularExpression::firstMatchInString(
    std::string_view text) const {
    return firstMatchInString(RegexText(text));
}

size_t NSRegularExpression::numberOfMatchesInString(const RegexText& text) const {
    icu::UnicodeString input(false, text.utf16().data(), int32_t(text.utf16().size()));
    std::lock_guard lock(impl_->mutex);
    icu::RegexMatcher& m = *impl_->matcher;
    m.reset(input);
    size_t count = 0;
    UErrorCode status = U_ZERO_ERROR;
    while (m.find(status) && U_SUCCESS(status)) ++count;
    // A search that took too long counts the matches found before it.
    if (status == U_REGEX_TIME_OUT) logGaveUp(*impl_->pattern);
    m.reset(noText());
    return count;
}

size_t NSRegularExpression::numberOfMatchesInString(std::string_view text) const {
    return numberOfMatchesInString(RegexText(text));
}

}  // namespace brindlecue::platform
