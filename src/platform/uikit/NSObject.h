#pragma once

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/Value.h"
#include "platform/uikit/AddressRegistry.h"

namespace brindlecue::platform {

class NSObject;

// A selector as the platform's target-action needs it: a name, compared when an action is
// removed, and the call it makes on a target (with the sender).
struct Selector {
    std::string name;
    std::function<void(NSObject& target, const std::shared_ptr<NSObject>& sender)> call;

    bool empty() const { return name.empty(); }
};

// Builds a selector for a member function taking the sender, or taking nothing.
template <class T>
Selector makeSelector(std::string name, void (T::*method)(const std::shared_ptr<NSObject>&)) {
    return {std::move(name), [method](NSObject& target, const std::shared_ptr<NSObject>& sender) {
                if (auto* t = dynamic_cast<T*>(&target)) (t->*method)(sender);
            }};
}
template <class T>
Selector makeSelector(std::string name, void (T::*method)()) {
    return {std::move(name), [method](NSObject& target, const std::shared_ptr<NSObject>&) {
                if (auto* t = dynamic_cast<T*>(&target)) (t->*method)();
            }};
}

// The platform's root object. Every stand-in class reports its platform class name (className),
// knows its superclass chain through the ClassRegistry, has an address text ("%p") that the
// AddressRegistry maps back to a weak reference, associated objects and key-value lookups.
//
// Create objects with make<T>(...): it runs didConstruct() once the object is owned by a
// shared_ptr (shared_from_this is not available in constructors), where views build their
// private subviews.
class NSObject : public std::enable_shared_from_this<NSObject> {
public:
    NSObject() = default;
    NSObject(const NSObject&) = delete;
    NSObject& operator=(const NSObject&) = delete;
    virtual ~NSObject();

    // The compiled stand-in class ("UIButton"); host subclasses leave it alone.
    virtual const char* platformClassName() const { return "NSObject"; }
    // The object's class name: a host subclass overrides this (and registers the name with its
    // superclass in the ClassRegistry); an object can also be given the name of a private class
    // at run time (setRuntimeClassName), as isa-swizzling would.
    virtual std::string className() const;
    // Gives the object the class name of a registered class that is the stand-in class or one of
    // its subclasses ("UITransitionView" for a UIView). Returns false (and changes nothing) for
    // an unknown name or one outside the stand-in class's family.
    bool setRuntimeClassName(const std::string& name);

    // Class tests by name through the registry: the class or a subclass of it / exactly it.
    bool isKindOfClass(std::string_view name) const;
    bool isMemberOfClass(std::string_view name) const { return className() == name; }
    // Whether the class declares (or inherits) the method or property of that name.
    virtual bool respondsToSelector(std::string_view selector) const;

    // "0x" and the lower-case hex digits of the object's address, as "%p" prints it. Printing an
    // address makes it resolvable through the AddressRegistry for as long as the object lives.
    std::string addressText() const;
    // Enters the object in the AddressRegistry, once in its life (make<T> and the first address
    // text do; later calls cost one atomic read).
    void registerAddress() const;
    // The platform's "%@" text: "<ClassName: 0x...>".
    virtual std::string description() const;

    // Associated objects, by key. A weak association reads as null once its object is gone.
    void setAssociatedObject(const std::string& key, std::shared_ptr<void> object, bool weak = false);
    std::shared_ptr<void> associatedObject(const std::string& key) const;
    template <class T>
    std::shared_ptr<T> associatedObject(const std::string& key) const {
        return std::static_pointer_cast<T>(associatedObject(key));
    }
    // Associated plain values (texts, numbers); absent when unset.
    void setAssociatedValue(const std::string& key, Value value);
    Value associatedValue(const std::string& key) const;

    // Key-value lookups. The base answers keys set with setValueForKey / setObjectForKey; classes
    // override for their own properties. An unknown key gives absent (nullptr for objects).
    virtual Value valueForKey(std::string_view key) const;
    virtual std::shared_ptr<NSObject> objectForKey(std::string_view key) const;
    void setValueForKey(const std::string& key, Value value);
    void setObjectForKey(const std::string& key, std::shared_ptr<NSObject> object);

    // The object a message without arguments answers, as the platform's performSelector: does
    // for getters: the value of a property the class (or a superclass) declares with a getter in
    // the ClassRegistry, else the object set for that key (setObjectForKey); null otherwise.
    std::shared_ptr<NSObject> performSelector(std::string_view selector) const;

    // ---- Key-value observing. Observers are held weakly and hear of the changes a class announces
    // (didChangeValueForKey), in the order they were added; an observer that has gone is passed
    // over. Adding the same observer for the same key path twice registers it twice.
    void addObserver(const std::shared_ptr<NSObject>& observer, const std::string& keyPath);
    // Removes one registration. False (where the platform raises) when the observer is not
    // registered for the key path.
    bool removeObserver(const NSObject* observer, std::string_view keyPath);
    // The platform's observation info: true while any registration is left.
    bool hasObservers() const;
    // Called on the observer, on the thread that made the change.
    virtual void observeValueForKeyPath(const std::string& keyPath, const std::shared_ptr<NSObject>& object) {
    }

    // Post-construction hook run by make<T>(); overrides must call the base first.
    virtual void didConstruct() {}

    template <class T>
    std::shared_ptr<T> sharedAs() {
        return std::dynamic_pointer_cast<T>(shared_from_this());
    }
    template <class T>
    std::shared_ptr<const T> sharedAs() const {
        return std::dynamic_pointer_cast<const T>(shared_from_this());
    }

protected:
    const std::string& runtimeClassName() const { return runtimeClassName_; }
    // Tells the observers of the key that its value changed.
    void didChangeValueForKey(const std::string& key);

private:
    struct Association {
        std::shared_ptr<void> strong;
        std::weak_ptr<void> weak;
        bool isWeak = false;
    };
    std::string runtimeClassName_;
    mutable std::atomic<bool> addressRegistered_{false};
    mutable std::mutex assocMutex_;
    std::map<std::string, Association, std::less<>> associations_;
    std::map<std::string, Value, std::less<>> associatedValues_;
    std::map<std::string, Value, std::less<>> kvcValues_;
    std::map<std::string, std::shared_ptr<NSObject>, std::less<>> kvcObjects_;
    struct Observation {
        std::weak_ptr<NSObject> observer;
        const NSObject* identity = nullptr;
        std::string keyPath;
    };
    std::vector<Observation> observations_;
};

// Creates an object owned by a shared_ptr and runs its post-construction hook.
template <class T, class... Args>
std::shared_ptr<T> make(Args&&... args) {
    auto object = std::make_shared<T>(std::forward<Args>(args)...);
    object->didConstruct();
    object->registerAddress();
    return object;
}

// Declares the stand-in class name of a class (inside its body).
#define BLQ_PLATFORM_CLASS(Name)                     \
    const char* platformClassName() const override { \
        return #Name;                                \
    }

}  // namespace brindlecue::platform
