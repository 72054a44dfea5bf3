#pragma once

#include <cstdint>
#include <string>

namespace brindlecue {

// The way of every log call of the library to the facade's logger manager, which the facade
// publishes (BLQPublished<BLQILoggerManager>) as soon as it has built it, and the time during which
// the facade is being built, which the facade marks with a ConstructionScope.
//
// A log call made while the facade is being built is dropped: reaching the facade then would
// mean re-entering its once-only creation, which can only deadlock. A call made before the
// logger manager exists is dropped as well, as the facade itself does while it has none.
class BLQLogRoute {
public:
    class ConstructionScope {
    public:
        ConstructionScope();
        ~ConstructionScope();
        ConstructionScope(const ConstructionScope&) = delete;
        ConstructionScope& operator=(const ConstructionScope&) = delete;
    };

    static bool isFacadeUnderConstruction();

    // Hands the message and level unchanged to the logger manager, on the caller's thread.
    static void logToConsoleAtLevel(int64_t level, const std::string& message);
    // Whether a message at the level would be handed on and taken by a logger now.
    static bool wouldLogAtLevel(int64_t level);
};

}  // namespace brindlecue
