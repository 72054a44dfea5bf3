#pragma once

#include <cstdint>
#include <memory>

#include "network/library/KJAFHTTPRequestSerializer.h"

namespace brindlecue {

// Sends the parameters of body methods as a JSON body ("application/json"); URL methods are
// encoded as by the form serializer.
class KJAFJSONRequestSerializer : public KJAFHTTPRequestSerializer {
public:
    // Bit 1 of the writing options asks for pretty-printed text.
    static constexpr uint64_t kWritingPrettyPrinted = 1;

    static std::shared_ptr<KJAFJSONRequestSerializer> serializer();
    static std::shared_ptr<KJAFJSONRequestSerializer> serializerWithWritingOptions(uint64_t writingOptions);

    uint64_t writingOptions = 0;

    std::optional<platform::URLRequest> requestBySerializingRequest(const platform::URLRequest& request,
                                                                    const platform::Value& parameters,
                                                                    std::optional<platform::Error>* error) override;
    std::shared_ptr<KJAFHTTPRequestSerializer> copy() const override;
    std::vector<std::string> archivedClassNames() const override {
        return {"KJAFJSONRequestSerializer", "KJAFHTTPRequestSerializer"};
    }
    void encodeWithCoder(platform::KeyedArchiver& coder) const override;
    void decodeFromCoder(platform::KeyedUnarchiver& coder) override;
};

}  // namespace brindlecue
