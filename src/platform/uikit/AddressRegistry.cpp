#include "platform/uikit/AddressRegistry.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <unordered_map>

#include "platform/uikit/NSObject.h"

namespace brindlecue::platform {
namespace {

struct Table {
    std::mutex mutex;
    std::unordered_map<uintptr_t, std::weak_ptr<const NSObject>> entries;
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
    std::lock_guard lock(t.mutex);
    t.entries[reinterpret_cast<uintptr_t>(object.get())] = object;
}

void AddressRegistry::remove(const NSObject* object) {
    auto& t = table();
    std::lock_guard lock(t.mutex);
    t.entries.erase(reinterpret_cast<uintptr_t>(object));
}

std::shared_ptr<NSObject> AddressRegistry::lookup(std::string_view text) {
    std::string s(text);
    if (s.empty()) return nullptr;
    errno = 0;
    char* end = nullptr;
    unsigned long long value = std::strtoull(s.c_str(), &end, 0);
    if (errno != 0 || end == s.c_str() || value == 0) return nullptr;
    auto& t = table();
    std::lock_guard lock(t.mutex);
    auto it = t.entries.find(static_cast<uintptr_t>(value));
    if (it == t.entries.end()) return nullptr;
    auto object = it->second.lock();
    if (!object) {
        t.entries.erase(it);
        return nullptr;
    }
    return std::const_pointer_cast<NSObject>(object);
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
    std::lock_guard lock(t.mutex);
    return t.entries.size();
}

}  // namespace brindlecue::platform
