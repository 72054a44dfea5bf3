#pragma once

#include <cstddef>
#include <cstdint>

namespace brindlecue {

// Asks the processor for the memory of an object a pass is about to read. The views of a large
// screen, and the records made for them, do not fit the processor's caches, and a pass that reads
// them one after the other otherwise waits for each in turn; asked for a few items ahead, their
// memory comes in while the pass works on the current one. Nothing is read, and any address may
// be given (a null one, or one that turns out to hold an object of another kind).
inline void prefetchMemory(const void* at, size_t bytes) {
    constexpr size_t kLine = 64;
    const uintptr_t start = reinterpret_cast<uintptr_t>(at);
    for (size_t offset = 0; offset < bytes; offset += kLine)
        __builtin_prefetch(reinterpret_cast<const void*>(start + offset));
}

// The same for an object made by std::make_shared, the size given, with the counts of its
// shared pointers just before it.
inline void prefetchShared(const void* object, size_t bytes) {
    if (!object) return;
    constexpr size_t kCounts = 2 * sizeof(void*);
    prefetchMemory(reinterpret_cast<const void*>(reinterpret_cast<uintptr_t>(object) - kCounts),
                   bytes + kCounts);
}

}  // namespace brindlecue
