#pragma once

#include <memory>

namespace brindlecue {

class BLQIGuidePayload;
class BLQITagManager;
class BLQIOperations;

// What a host app's custom guide block receives for each step the library shows: the step's
// guide payload, the tag manager and the operations offered to custom guides. All three are held
// strongly and set once.
class BrindlecueContainer final {
public:
    BrindlecueContainer(std::shared_ptr<BLQIGuidePayload> guidePayload,
                        std::shared_ptr<BLQITagManager> tagManager,
                        std::shared_ptr<BLQIOperations> operations)
        : guidePayload_(std::move(guidePayload)),
          tagManager_(std::move(tagManager)),
          operations_(std::move(operations)) {}
    BrindlecueContainer() = delete;

    const std::shared_ptr<BLQIGuidePayload>& guidePayload() const { return guidePayload_; }
    const std::shared_ptr<BLQITagManager>& tagManager() const { return tagManager_; }
    const std::shared_ptr<BLQIOperations>& operations() const { return operations_; }

private:
    const std::shared_ptr<BLQIGuidePayload> guidePayload_;
    const std::shared_ptr<BLQITagManager> tagManager_;
    const std::shared_ptr<BLQIOperations> operations_;
};

}  // namespace brindlecue
