#include "storage/BLQUserEventDTO.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <utility>

#include "config/BLQSessionDTO.h"
#include "foundation/DateExtensions.h"
#include "foundation/StringExtensions.h"
#include "foundation/UtilsForAny.h"
#include "storage/BLQTagDTO.h"

namespace brindlecue {

using platform::Value;

namespace {

std::optional<int64_t> readInteger(const std::string& text) {
    int64_t out = 0;
    const char* begin = text.data();
    const char* end = begin + text.size();
    if (begin != end && *begin == '+') ++begin;
    auto [ptr, ec] = std::from_chars(begin, end, out);
    if (ec != std::errc() || ptr != end || begin == end) return std::nullopt;
    return out;
}

// A 32-bit floating-point reading of the whole text, written back as the shortest decimal that
// reads as the same float, so that "2.5" goes out as 2.5 and not as its widened double.
std::optional<double> readFloat(const std::string& text) {
    if (text.empty() || std::isspace(static_cast<unsigned char>(text.front()))) return std::nullopt;
    char* end = nullptr;
    float value = std::strtof(text.c_str(), &end);
    if (end != text.c_str() + text.size() || !std::isfinite(value)) return std::nullopt;
    return std::strtod(UtilsForAny::numberText(value).c_str(), nullptr);
}

// A detail value as the document can hold it, of its own kind: a truth value stays a truth value,
// an integer a 64-bit integer and any other number a double (a time stamp keeps its seconds);
// texts stay texts. Nothing else, and no number JSON cannot write, is kept.
Value documentValue(const Value& value) {
    switch (value.type()) {
        case Value::Type::Bool:
        case Value::Type::Integer:
        case Value::Type::String:
            return value;
        case Value::Type::Real:
            return std::isfinite(*value.getNumber()) ? value : Value();
        default:
            return Value();
    }
}

Value dateOrNull(const std::optional<platform::Date>& date) {
    return date ? Value(toISO8601String(*date)) : Value::null();
}

}  // namespace

BLQUserEventDTO::BLQUserEventDTO(std::optional<std::string> id, BLQUserEventCode code, Value details,
                                 std::optional<std::string> message, BLQUserEventStatus status,
                                 std::shared_ptr<BLQTagDTO> tag, std::shared_ptr<BLQSessionDTO> session,
                                 std::optional<std::string> sdkVersion, std::optional<platform::Date> createdDate,
                                 std::optional<platform::Date> modifiedDate)
    : id(std::move(id)),
      code(code),
      details(std::move(details)),
      message(std::move(message)),
      status(status),
      tag(std::move(tag)),
      session(std::move(session)),
      sdkVersion(std::move(sdkVersion)),
      createdDate(createdDate),
      modifiedDate(modifiedDate) {}

Value BLQUserEventDTO::encode() const {
    Value doc = Value::dictionary();
    doc.set("log_id", id ? Value(*id) : Value::null());
    doc.set("code", rawValue(code));
    doc.set("created_on_client", dateOrNull(createdDate));
    doc.set("blq_version", sdkVersion ? Value(*sdkVersion) : Value::null());
    doc.set("qx_version", sdkVersion ? Value(*sdkVersion) : Value::null());
    if (modifiedDate) doc.set("modified", toISO8601String(*modifiedDate));
    if (session) doc.set("session_id", session->id);

    // A change names the tag and its value. A deletion carries no tag members: a value beside the
    // key would read as a value to keep; its message names the deleted key.
    if (tag && (code == BLQUserEventCode::tagUpdated || code == BLQUserEventCode::tagIncremented)) {
        doc.set("key", tag->key);
        if (auto n = readInteger(tag->value))
            doc.set("numeric", *n);
        else if (auto f = readFloat(tag->value))
            doc.set("numeric", *f);
        else if (auto date = toDate(tag->value))
            doc.set("datetime", toISO8601String(*date));
        else
            doc.set("string", tag->value);
    }
    if (code == BLQUserEventCode::pageEnter || code == BLQUserEventCode::pageExit)
        doc.set("string", message ? Value(*message) : Value::null());

    if (const platform::Dictionary* source = details.getDictionary()) {
        platform::Dictionary converted;
        for (const auto& [key, value] : *source) {
            Value v = documentValue(value);
            if (!v.isAbsent()) converted.set(key, std::move(v));
        }
        if (code == BLQUserEventCode::appSessionComplete) {
            for (const char* key : {"start", "end", "length"})
                if (const Value* v = converted.find(key)) doc.set(key, *v);
        } else {
            if (const Value* feedId = converted.find("feed_id")) {
                doc.set("feed_id", *feedId);
                converted.remove("feed_id");
            }
            const char* member = code == BLQUserEventCode::feedResult ? "result"
                                 : code == BLQUserEventCode::error    ? "content"
                                                                      : "details";
            doc.set(member, Value(std::move(converted)));
        }
    }
    return doc;
}

std::optional<Value> BLQUserEventDTO::toDictionary() const {
    // The document holds only what JSON reads back as it is written (texts, 64-bit integers,
    // finite reals, truth values, null, dictionaries): it is its own reading once it has been
    // written, which fails for text that is not UTF-8.
    Value document = encode();
    if (!document.toJSON()) return std::nullopt;
    return document;
}

}  // namespace brindlecue
