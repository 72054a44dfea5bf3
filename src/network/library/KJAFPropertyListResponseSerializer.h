#pragma once

#include <cstdint>
#include <memory>

#include "network/library/KJAFHTTPResponseSerializer.h"

namespace brindlecue {

// Validates the answer ("application/x-plist") and reads its body as a property list (XML or
// binary; the format found is not kept).
class KJAFPropertyListResponseSerializer : public KJAFHTTPResponseSerializer {
public:
    // The platform's property-list formats.
    static constexpr uint64_t kXMLFormat = 100;
    static constexpr uint64_t kBinaryFormat = 200;

    static std::shared_ptr<KJAFPropertyListResponseSerializer> serializer();
    static std::shared_ptr<KJAFPropertyListResponseSerializer> serializerWithFormat(uint64_t format,
                                                                                    uint64_t readOptions);
    KJAFPropertyListResponseSerializer();

    uint64_t format = kXMLFormat;  // not used when reading
    uint64_t readOptions = 0;

    platform::Value responseObjectForResponse(const std::shared_ptr<platform::URLResponse>& response,
                                              const std::optional<platform::Data>& data,
                                              std::optional<platform::Error>* error) override;

    std::shared_ptr<KJAFURLResponseSerialization> copy() const override;
    std::vector<std::string> archivedClassNames() const override {
        return {"KJAFPropertyListResponseSerializer", "KJAFHTTPResponseSerializer"};
    }
    void encodeWithCoder(platform::KeyedArchiver& coder) const override;
    void decodeFromCoder(platform::KeyedUnarchiver& coder);
};

}  // namespace brindlecue
