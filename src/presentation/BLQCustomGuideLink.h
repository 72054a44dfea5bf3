#pragma once

#include <memory>

namespace brindlecue {

class BLQITagManager;

// What custom guides need of the facade beyond what it publishes for every layer: its tag
// manager, which every step of a host's guide block carries in its container and which gives the
// custom tags of a survey answer. The facade publishes it once it has one; until then there is none (containers carry
// none, answers carry no custom tags). Any thread.
class BLQCustomGuideLink {
public:
    static void setTagManager(std::shared_ptr<BLQITagManager> manager);
    static std::shared_ptr<BLQITagManager> tagManager();
};

}  // namespace brindlecue
