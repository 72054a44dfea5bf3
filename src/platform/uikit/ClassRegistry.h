#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brindlecue::platform {

class NSObject;

// A declared property of a class, as the platform's run-time property listing gives it: the
// name, the attribute text (such as "T@\"UIButton\",&,N,V_button") and a getter.
struct PropertyInfo {
    std::string name;
    std::string attributes;
    std::function<std::shared_ptr<NSObject>(const NSObject&)> getter;
};

// The run-time class table: name and superclass of every class the process knows. It holds the
// UIKit stand-in classes, the platform's private classes that targeting names ("_UIButtonBarButton",
// "UITransitionView", ...) and the React Native classes a host may carry ("RCTRootView", ...),
// each with its superclass. Hosts register their own subclasses. Thread-safe.
class ClassRegistry {
public:
    // Adds a class (or replaces its superclass). A platform class is one of the system's own;
    // host classes are not, and views of a host class print their nearest platform class as
    // "baseClass" in their description.
    static void registerClass(const std::string& name, const std::string& superclass, bool platform = false);
    static bool exists(std::string_view name);
    // The superclass name; none for a root class or an unknown class.
    static std::optional<std::string> superclassOf(std::string_view name);
    // True when the class is the ancestor or one of its subclasses.
    static bool isSubclass(std::string_view name, std::string_view ancestor);
    static bool isPlatformClass(std::string_view name);
    // True for the platform classes that have a C++ stand-in type; an object cannot take such a
    // name at run time (NSObject::setRuntimeClassName), since casts to the type would fail.
    static bool hasStandIn(std::string_view name);
    // The class itself when it is a platform class, else its nearest platform superclass.
    static std::optional<std::string> nearestPlatformClass(std::string_view name);

    // Properties declared by the class itself (not its superclasses), in declaration order.
    static void addProperty(const std::string& className, PropertyInfo property);
    static std::vector<PropertyInfo> properties(std::string_view className);
    // Methods a class implements (for respondsToSelector), by selector name.
    static void addMethods(const std::string& className, const std::vector<std::string>& selectors);
    // True when the class or a superclass declares the method or a property of that name.
    static bool instancesRespond(std::string_view className, std::string_view selector);
};

}  // namespace brindlecue::platform
