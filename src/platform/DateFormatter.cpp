#include "platform/DateFormatter.h"

#include <unicode/calendar.h>
#include <unicode/smpdtfmt.h>
#include <unicode/timezone.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

namespace brindlecue::platform {

namespace {

// ICU reads a fraction of a second by dividing by a power of ten kept in 32 bits, which wraps to
// zero for 35 digits and more and stops the process. No field of a date has 33 digits, so a text
// with such a run is no date.
constexpr int32_t kMaxDigitRun = 32;

bool hasOverlongDigitRun(const icu::UnicodeString& text) {
    int32_t run = 0;
    for (int32_t i = 0; i < text.length(); i = text.moveIndex32(i, 1)) {
        run = u_isdigit(text.char32At(i)) ? run + 1 : 0;
        if (run > kMaxDigitRun) return true;
    }
    return false;
}

}  // namespace

struct DateFormatter::Impl {
    std::unique_ptr<icu::SimpleDateFormat> formatter;
};

DateFormatter::DateFormatter() : impl_(std::make_unique<Impl>()) {
    rebuild();
}
DateFormatter::~DateFormatter() = default;

void DateFormatter::setDateFormat(std::string pattern) {
    format_ = std::move(pattern);
    rebuild();
}

void DateFormatter::setTimeZone(std::string zoneId) {
    timeZone_ = std::move(zoneId);
    rebuild();
}

void DateFormatter::setLocale(std::string localeId) {
    locale_ = std::move(localeId);
    rebuild();
}

void DateFormatter::rebuild() {
    UErrorCode status = U_ZERO_ERROR;
    auto f = std::make_unique<icu::SimpleDateFormat>(icu::UnicodeString::fromUTF8(format_),
                                                     icu::Locale(locale_.c_str()), status);
    if (U_FAILURE(status)) {
        impl_->formatter.reset();
        return;
    }
    icu::TimeZone* zone = timeZone_.empty()
                              ? icu::TimeZone::createDefault()
                              : icu::TimeZone::createTimeZone(icu::UnicodeString::fromUTF8(timeZone_));
    f->adoptTimeZone(zone);
    f->setLenient(true);
    impl_->formatter = std::move(f);
}

std::string DateFormatter::stringFromDate(Date date) const {
    if (!impl_->formatter) return "";
    icu::UnicodeString out;
    impl_->formatter->format(static_cast<UDate>(date.millisecondsSince1970()), out);
    std::string text;
    out.toUTF8String(text);
    return text;
}

std::optional<Date> DateFormatter::dateFromString(const std::string& text) const {
    if (!impl_->formatter || text.empty()) return std::nullopt;
    icu::UnicodeString input = icu::UnicodeString::fromUTF8(text);
    if (hasOverlongDigitRun(input)) return std::nullopt;
    // The fields are read into a calendar that refuses out-of-range values (month 13, 30 February).
    std::unique_ptr<icu::Calendar> calendar(impl_->formatter->getCalendar()->clone());
    calendar->clear();
    calendar->setLenient(false);
    icu::ParsePosition pos(0);
    impl_->formatter->parse(input, *calendar, pos);
    if (pos.getErrorIndex() >= 0 || pos.getIndex() != input.length()) return std::nullopt;
    UErrorCode status = U_ZERO_ERROR;
    UDate when = calendar->getTime(status);
    if (U_FAILURE(status)) return std::nullopt;
    return Date::fromTimeIntervalSince1970(when / 1000.0);
}

}  // namespace brindlecue::platform
