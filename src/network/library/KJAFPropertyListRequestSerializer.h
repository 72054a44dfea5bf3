#pragma once

#include <cstdint>
#include <memory>

#include "network/library/KJAFHTTPRequestSerializer.h"

namespace brindlecue {

// Sends the parameters of body methods as a property-list body ("application/x-plist").
class KJAFPropertyListRequestSerializer : public KJAFHTTPRequestSerializer {
public:
    // The platform's property-list formats.
    static constexpr uint64_t kXMLFormat = 100;
    static constexpr uint64_t kBinaryFormat = 200;

    static std::shared_ptr<KJAFPropertyListRequestSerializer> serializer();
    static std::shared_ptr<KJAFPropertyListRequestSerializer> serializerWithFormat(uint64_t format,
                                                                                   uint64_t writeOptions);

    uint64_t format = kXMLFormat;
    uint64_t writeOptions = 0;

    std::optional<platform::URLRequest> requestBySerializingRequest(const platform::URLRequest& request,
                                                                    const platform::Value& parameters,
                                                                    std::optional<platform::Error>* error) override;
    std::shared_ptr<KJAFHTTPRequestSerializer> copy() const override;
    std::vector<std::string> archivedClassNames() const override {
        return {"KJAFPropertyListRequestSerializer", "KJAFHTTPRequestSerializer"};
    }
    void encodeWithCoder(platform::KeyedArchiver& coder) const override;
    void decodeFromCoder(platform::KeyedUnarchiver& coder) override;
};

}  // namespace brindlecue
