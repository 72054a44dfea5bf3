#pragma once

#include <memory>
#include <mutex>
#include <utility>

namespace brindlecue {

// The one object of type T that the facade publishes for the layers below it, which cannot reach
// the facade itself: its tip manager, its configuration manager, its logger manager and the like.
// Empty until published. T may be an incomplete type where the object is only handed on.
template <class T>
class BLQPublished {
public:
    static void set(std::shared_ptr<T> object) {
        std::shared_ptr<T> old;
        {
            std::lock_guard lock(slot().mutex);
            old = std::exchange(slot().object, std::move(object));
        }
        // The old object goes outside the lock: its destructor may read a slot in turn.
    }

    static std::shared_ptr<T> get() {
        std::lock_guard lock(slot().mutex);
        return slot().object;
    }

private:
    struct Slot {
        std::mutex mutex;
        std::shared_ptr<T> object;
    };
    // Reached by worker threads that may still log while the process exits: never destroyed.
    static Slot& slot() {
        static Slot* instance = new Slot();
        return *instance;
    }
};

}  // namespace brindlecue
