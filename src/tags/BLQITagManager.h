#pragma once

#include <any>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/Error.h"
#include "storage/BLQTagDTO.h"

namespace brindlecue {

// The one way tags are written: each change is kept in the tag store and reported to the server
// as a user event.
class BLQITagManager {
public:
    using SuccessBlock = std::function<void()>;
    using FailureBlock = std::function<void(const platform::Error&)>;

    virtual ~BLQITagManager() = default;

    virtual void deleteTagWithKey(const std::string& key) = 0;
    // Null when the key has no tag.
    virtual std::shared_ptr<BLQTagDTO> getTagWithKey(const std::string& key) = 0;
    // The empty text when the key has no tag.
    virtual std::string getTagValueWithKey(const std::string& key) = 0;
    virtual void incrementTagWithKey(const std::string& key, int64_t value) = 0;
    // The value is a text, a number or a date (platform::Date). The blocks run on the tag store's
    // completion thread, never assumed to be the main thread.
    virtual void saveTagWithKey(const std::string& key, const std::any& value, SuccessBlock success,
                                FailureBlock failure) = 0;
    virtual void saveTagWithKey(const std::string& key, const std::any& value, SuccessBlock success,
                                FailureBlock failure, bool forceSend) = 0;
};

}  // namespace brindlecue
