#include "network/library/KJAFJSONResponseSerializer.h"

#include <algorithm>
#include <cctype>

#include "platform/foundation/URLError.h"

namespace brindlecue {

using platform::Error;
using platform::Value;

namespace {

bool isValidUTF8(const platform::Data& bytes) {
    size_t i = 0;
    const size_t n = bytes.size();
    while (i < n) {
        uint8_t c = bytes[i];
        size_t extra;
        if (c < 0x80) {
            extra = 0;
        } else if (c >= 0xC2 && c <= 0xDF) {
            extra = 1;
        } else if ((c & 0xF0) == 0xE0) {
            extra = 2;
        } else if (c >= 0xF0 && c <= 0xF4) {
            extra = 3;
        } else {
            return false;
        }
        if (i + extra >= n && extra > 0) return false;
        for (size_t k = 1; k <= extra; ++k) {
            if ((bytes[i + k] & 0xC0) != 0x80) return false;
        }
        i += extra + 1;
    }
    return true;
}

bool equalsIgnoringCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
               return std::tolower(x) == std::tolower(y);
           });
}

}  // namespace

std::shared_ptr<KJAFJSONResponseSerializer> KJAFJSONResponseSerializer::serializer() {
    return serializerWithReadingOptions(0);
}

std::shared_ptr<KJAFJSONResponseSerializer> KJAFJSONResponseSerializer::serializerWithReadingOptions(
    uint64_t readingOptions) {
    auto serializer = std::make_shared<KJAFJSONResponseSerializer>();
    serializer->readingOptions = readingOptions;
    return serializer;
}

KJAFJSONResponseSerializer::KJAFJSONResponseSerializer() {
    acceptableContentTypes = std::set<std::string>{"application/json", "text/json", "text/javascript", "text/plain"};
}

std::shared_ptr<KJAFURLResponseSerialization> KJAFJSONResponseSerializer::copy() const {
    auto serializer = KJAFJSONResponseSerializer::serializer();
    serializer->readingOptions = readingOptions;
    serializer->removesKeysWithNullValues = removesKeysWithNullValues;
    return serializer;
}

void KJAFJSONResponseSerializer::encodeWithCoder(platform::KeyedArchiver& coder) const {
    KJAFHTTPResponseSerializer::encodeWithCoder(coder);
    coder.encodeObject(Value(readingOptions), "readingOptions");
    coder.encodeBool(removesKeysWithNullValues, "removesKeysWithNullValues");
}

void KJAFJSONResponseSerializer::decodeFromCoder(platform::KeyedUnarchiver& coder) {
    KJAFHTTPResponseSerializer::decodeFromCoder(coder);
    readingOptions = static_cast<uint64_t>(coder.decodeObjectForKey("readingOptions").integerValue());
    removesKeysWithNullValues = coder.decodeBoolForKey("removesKeysWithNullValues");
}

Value KJAFJSONObjectByRemovingKeysWithNullValues(const Value& JSONObject, uint64_t readingOptions) {
    if (const platform::Array* array = JSONObject.getArray()) {
        platform::Array cleaned;
        cleaned.reserve(array->size());
        for (const Value& element : *array) {
            cleaned.push_back(KJAFJSONObjectByRemovingKeysWithNullValues(element, readingOptions));
        }
        return Value(std::move(cleaned));
    }
    if (const platform::Dictionary* dictionary = JSONObject.getDictionary()) {
        platform::Dictionary cleaned;
        for (const auto& [key, value] : *dictionary) {
            if (value.isNull()) continue;
            if (value.isArray() || value.isDictionary()) {
                cleaned.set(key, KJAFJSONObjectByRemovingKeysWithNullValues(value, readingOptions));
            } else {
                cleaned.set(key, value);
            }
        }
        return Value(std::move(cleaned));
    }
    return JSONObject;
}

Value KJAFJSONResponseSerializer::responseObjectForResponse(const std::shared_ptr<platform::URLResponse>& response,
                                                            const std::optional<platform::Data>& data,
                                                            std::optional<Error>* error) {
    if (!validateResponse(response, data, error)) {
        if (!error || KJAFErrorOrUnderlyingErrorHasCodeInDomain(*error, platform::URLError::CannotDecodeContentData,
                                                                KJAFURLResponseSerializationErrorDomain)) {
            return Value();
        }
    }

    const std::optional<std::string> mime = response ? response->mimeType() : std::nullopt;
    if (!mime || equalsIgnoringCase(*mime, "text/plain")) {
        platform::Data bytes = data.value_or(platform::Data());
        if (!isValidUTF8(bytes)) return Value();
        return Value(std::string(bytes.begin(), bytes.end()));
    }

    if (!data || data->empty() || (data->size() == 1 && (*data)[0] == ' ')) return Value();

    Error parseError;
    std::optional<Value> object = Value::fromJSON(std::string_view(reinterpret_cast<const char*>(data->data()), data->size()),
                                                  &parseError);
    if (object && !(readingOptions & kReadingAllowFragments) && !object->isArray() && !object->isDictionary()) {
        object.reset();
        parseError = Error::withDescription(
            "NSCocoaErrorDomain", 3840,
            "JSON text did not start with array or object and option to allow fragments not set.");
    }
    if (object && removesKeysWithNullValues) {
        object = KJAFJSONObjectByRemovingKeysWithNullValues(*object, readingOptions);
    }
    if (error) {
        *error = KJAFErrorWithUnderlyingError(object ? std::nullopt : std::optional<Error>(parseError), *error);
    }
    return object.value_or(Value());
}

}  // namespace brindlecue
