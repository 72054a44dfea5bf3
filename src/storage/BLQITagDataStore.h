#pragma once

#include <any>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "platform/Error.h"
#include "storage/BLQTagDTO.h"

namespace brindlecue {

class BLQInstallDTO;

// Where tags are kept on the device. Values of any kind are stored as text.
class BLQITagDataStore {
public:
    using Result = std::variant<std::shared_ptr<BLQTagDTO>, platform::Error>;
    using Completion = std::function<void(Result)>;

    virtual ~BLQITagDataStore() = default;

    virtual void deleteTag(const std::string& key) = 0;
    // Answered before returning; null when the key has no tag.
    virtual std::shared_ptr<BLQTagDTO> getTag(const std::string& key) = 0;
    // Links the tags stored before the install existed to it.
    virtual void associateTagsMissingInstall(const std::shared_ptr<BLQInstallDTO>& install) = 0;
    // Adds the amount to the stored integer (creating the tag when missing).
    virtual void incrementTag(const std::string& key, int64_t value, Completion completion) = 0;
    // Stores the value's text under the key, replacing any earlier value.
    virtual void saveTag(const std::string& key, const std::any& value, Completion completion) = 0;
    virtual void saveTag(const std::shared_ptr<BLQTagDTO>& tag, Completion completion) = 0;
    virtual void saveTags(const std::vector<std::shared_ptr<BLQTagDTO>>& tags) = 0;
};

}  // namespace brindlecue
