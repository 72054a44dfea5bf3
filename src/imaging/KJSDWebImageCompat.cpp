#include "imaging/KJSDWebImageCompat.h"

#include "platform/dispatch/DispatchQueue.h"

namespace brindlecue {

void KJSDDispatchMainAsyncSafe(std::function<void()> block) {
    if (!block) return;
    const auto& main = platform::DispatchQueue::main();
    if (platform::DispatchQueue::currentLabel() == main->label())
        block();
    else
        main->async(std::move(block));
}

}  // namespace brindlecue
