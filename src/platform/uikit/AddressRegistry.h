#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace brindlecue::platform {

class NSObject;

// Maps "%p" address texts back to live objects. Objects are entered (weakly) when their address
// text is printed or when they are created with make<T>; a text never resolves to a freed object.
// Thread-safe.
class AddressRegistry {
public:
    static void add(const std::shared_ptr<const NSObject>& object);
    // Drops the entry of an object that is going away.
    static void remove(const NSObject* object);
    // The live object at the address the text names ("0x1a2b", read as strtoull with base 0
    // does); null for a text that is not a number, an unknown address or a freed object.
    static std::shared_ptr<NSObject> lookup(std::string_view text);
    static std::string addressText(const void* pointer);
    static size_t size();
};

}  // namespace brindlecue::platform
