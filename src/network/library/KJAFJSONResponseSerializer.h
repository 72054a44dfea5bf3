#pragma once

#include <cstdint>
#include <memory>

#include "network/library/KJAFHTTPResponseSerializer.h"

namespace brindlecue {

// Validates the answer and parses its body as JSON. "text/plain" answers and answers without a
// MIME type are handed on as text. After a status failure the parsed body still comes back,
// together with the status error.
class KJAFJSONResponseSerializer : public KJAFHTTPResponseSerializer {
public:
    // The platform's JSON reading options.
    static constexpr uint64_t kReadingMutableContainers = 1;
    static constexpr uint64_t kReadingAllowFragments = 4;

    static std::shared_ptr<KJAFJSONResponseSerializer> serializer();
    static std::shared_ptr<KJAFJSONResponseSerializer> serializerWithReadingOptions(uint64_t readingOptions);
    // Accepts "application/json", "text/json", "text/javascript" and "text/plain".
    KJAFJSONResponseSerializer();

    uint64_t readingOptions = 0;
    bool removesKeysWithNullValues = false;

    std::shared_ptr<KJAFURLResponseSerialization> copy() const override;
    std::vector<std::string> archivedClassNames() const override {
        return {"KJAFJSONResponseSerializer", "KJAFHTTPResponseSerializer"};
    }
    void encodeWithCoder(platform::KeyedArchiver& coder) const override;
    void decodeFromCoder(platform::KeyedUnarchiver& coder);

    platform::Value responseObjectForResponse(const std::shared_ptr<platform::URLResponse>& response,
                                              const std::optional<platform::Data>& data,
                                              std::optional<platform::Error>* error) override;
};

// The JSON object without null values under dictionary keys, at every depth (nulls inside arrays
// stay).
platform::Value KJAFJSONObjectByRemovingKeysWithNullValues(const platform::Value& JSONObject, uint64_t readingOptions);

}  // namespace brindlecue
