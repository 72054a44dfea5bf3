#pragma once

#include <string>
#include <utility>

namespace brindlecue {

// A super-tag level that the app status can set. The configuration keeps its text form
// ("enabled", "no_clicks", "disabled", "all"), which is what SuperTagStatusAdmin decides on.
struct BLQSuperTagLevel {
    enum class Kind { enabled, no_clicks, disabled, all };

    static BLQSuperTagLevel enabled(std::string viewtag) { return {Kind::enabled, std::move(viewtag)}; }
    static BLQSuperTagLevel no_clicks(std::string viewtag) { return {Kind::no_clicks, std::move(viewtag)}; }
    static BLQSuperTagLevel disabled() { return {Kind::disabled, {}}; }
    static BLQSuperTagLevel all() { return {Kind::all, {}}; }

    std::string text() const {
        switch (kind) {
            case Kind::enabled:
                return "enabled";
            case Kind::no_clicks:
                return "no_clicks";
            case Kind::disabled:
                return "disabled";
            case Kind::all:
                return "all";
        }
        return "disabled";
    }

    Kind kind;
    // Carried by enabled and no_clicks only.
    std::string viewtag;
};

}  // namespace brindlecue
