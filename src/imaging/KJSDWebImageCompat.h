#pragma once

#include <functional>

namespace brindlecue {

// The error domain of image loading's own errors.
inline constexpr const char* KJSDWebImageErrorDomain = "KJSDWebImageErrorDomain";

// Runs the block on the main queue: at once when the caller already runs on it (the current
// queue's label is the main queue's), else queued asynchronously.
void KJSDDispatchMainAsyncSafe(std::function<void()> block);

}  // namespace brindlecue
