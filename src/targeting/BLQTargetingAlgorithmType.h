#pragma once

namespace brindlecue {

// The names of the target-finding algorithms a campaign's target may name ("alg").
struct BLQTargetingAlgorithmType {
    static constexpr const char* accessibility = "accessibility";
    static constexpr const char* parentChildIOS = "parent-child-ios";
    static constexpr const char* legacyV2 = "legacy-alg-v2";
};

}  // namespace brindlecue
