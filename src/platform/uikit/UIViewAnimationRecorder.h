#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace brindlecue::platform {

class UIView;

// One block animation as it was asked for.
struct UIViewAnimationRecord {
    enum class Kind { Basic, Spring, Transition, Keyframes, Keyframe };
    Kind kind = Kind::Basic;
    double duration = 0;
    double delay = 0;
    uint64_t options = 0;
    double dampingRatio = 0;       // spring animations
    double initialVelocity = 0;    // spring animations
    double relativeStartTime = 0;  // keyframes inside a keyframe animation
    double relativeDuration = 0;
    std::weak_ptr<UIView> view;  // transitions
    bool hadCompletion = false;
};

// Keeps every block animation of the process, in call order, for tests to read. Main thread.
class UIViewAnimationRecorder {
public:
    static const std::vector<UIViewAnimationRecord>& records();
    static void record(UIViewAnimationRecord record);
    static void reset();
};

}  // namespace brindlecue::platform
