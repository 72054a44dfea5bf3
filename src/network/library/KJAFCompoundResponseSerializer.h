#pragma once

#include <memory>
#include <vector>

#include "network/library/KJAFHTTPResponseSerializer.h"

namespace brindlecue {

// Asks its serializers in order; the first that answers with an object wins. When none does, it
// validates with its own acceptable codes and types and hands the body on as data.
class KJAFCompoundResponseSerializer : public KJAFHTTPResponseSerializer {
public:
    static std::shared_ptr<KJAFCompoundResponseSerializer> compoundSerializerWithResponseSerializers(
        std::vector<std::shared_ptr<KJAFURLResponseSerialization>> responseSerializers);

    // Entries that are not response serializers of this library (KJAFHTTPResponseSerializer and
    // its kinds) are skipped.
    std::vector<std::shared_ptr<KJAFURLResponseSerialization>> responseSerializers;

    platform::Value responseObjectForResponse(const std::shared_ptr<platform::URLResponse>& response,
                                              const std::optional<platform::Data>& data,
                                              std::optional<platform::Error>* error) override;

    std::shared_ptr<KJAFURLResponseSerialization> copy() const override;
    std::vector<std::string> archivedClassNames() const override {
        return {"KJAFCompoundResponseSerializer", "KJAFHTTPResponseSerializer"};
    }
    void encodeWithCoder(platform::KeyedArchiver& coder) const override;
    void decodeFromCoder(platform::KeyedUnarchiver& coder);
};

}  // namespace brindlecue
