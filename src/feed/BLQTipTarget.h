#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Value.h"

namespace brindlecue {

// One input of a target descriptor: the value the targeting algorithm looks for.
struct BLQTipTargetInput {
    std::optional<std::string> target;
};

// A step's target under a named targeting algorithm: the algorithm, the descriptor's version and
// the algorithm's inputs.
class BLQTipTarget {
public:
    // Null for anything but a dictionary. "alg" and "version" are taken as given (numbers as their
    // text); every dictionary entry of an "inputs" list gives one input; `inputs` stays unset when
    // none was made.
    static std::shared_ptr<BLQTipTarget> createFromTarget(const platform::Value& object);

    std::optional<std::string> alg;
    std::optional<std::string> version;
    std::optional<std::vector<BLQTipTargetInput>> inputs;
};

}  // namespace brindlecue
