#pragma once

#include <mutex>

namespace brindlecue::platform {

// Once-only initialisation. Re-entering the same token from inside its own block is a
// programming error that would deadlock, exactly as on the platform; callers that can be
// reached during initialisation must check for it themselves.
using DispatchOnceToken = std::once_flag;

template <class F>
void dispatchOnce(DispatchOnceToken& token, F&& block) {
    std::call_once(token, std::forward<F>(block));
}

}  // namespace brindlecue::platform
