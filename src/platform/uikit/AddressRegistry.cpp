#include "platform/uikit/AddressRegistry.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <shared_mutex>
#include <unordered_map>

#include "platform/uikit/NSObject.h"

namespace brindlecue::platform {
namespace {

// Addresses of objects are multiples of their alignment and close together; mixed, they spread
// over the buckets.
struct AddressHash {
    size_t operator()(uintptr_t address) const {
        uint64_t h = static_cast<uint64_t>(address) * 0x9E3779B97F4A7C15ull;
        return static_cast<size_t>(h ^ (h >> 29));
    }
};

// Lookups share the lock; entries change only when an object is first registered and when it ends.
struct Table {
    std::shared_mutex mutex;
    std::unordered_map<uintptr_t, std::weak_ptr<const NSObject>, AddressHash> entries;
};

// Never destroyed: objects may be freed during static destruction.
Table& table() {
    static Table* t = new Table;
    return *t;
}

}  // namespace

void AddressRegistry::add(const std::shared_ptr<const NSObject>& object) {
    if (!object) return;
    auto& t = table();
    std::unique_lock lock(t.mutex);
    t.entries[reinterpret_cast<uintptr_t>(object.get())] = object;
}

void AddressRegistry::remove(const NSObject* object) {
    auto& t = table();
    std::unique_lock lock(t.mutex);
    t.entries.erase(reinterpret_cast<uintptr_t>(object));
}

std::shared_ptr<NSObject> AddressRegistry::lookup(std::string_view text) {
    if (text.empty()) return nullptr;
    unsigned long long value = 0;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        // The address texts this registry prints; anything else is read as strtoull reads it.
        auto [end, error] = std::from_chars(text.data() + 2, text.data() + text.size(), value, 16);
        if (error != std::errc() || end != text.data() + text.size()) value = 0;
    }
    if (value == 0) {
        std::string s(text);
        errno = 0;
        char* end = nullptr;
        value = std::strtoull(s.c_str(), &end, 0);
        if (errno != 0 || end == s.c_str()) return nullptr;
    }
    if (value == 0) return nullptr;
    auto& t = table();
    std::shared_lock lock(t.mutex);
    auto it = t.entries.find(static_cast<uintptr_t>(value));
    if (it == t.entries.end()) return nullptr;
    // An object that is going away drops its entry itself.
    return std::const_pointer_cast<NSObject>(it->second.lock());
}

std::string AddressRegistry::addressText(const void* pointer) {
    char buf[32] = {'0', 'x'};
    auto end = std::to_chars(buf + 2, buf + sizeof buf,
                             static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(pointer)), 16)
                   .ptr;
    return std::string(buf, end);
}

size_t AddressRegistry::size() {
    auto& t = table();
    std::shared_lock lock(t.mutex);
    return t.entries.size();
}

}  // namespace brindlecue::platform
