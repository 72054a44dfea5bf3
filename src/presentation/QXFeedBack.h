#pragma once

#include "platform/swiftui/View.h"

namespace brindlecue {

// A declarative placeholder of a feedback view: the text "Hello, World!". Nothing in the library
// shows it.
struct QXFeedBack {
    platform::swiftui::View body() const;
};

// Its design-time preview.
struct QXFeedBack_Previews {
    static platform::swiftui::View previews();
};

}  // namespace brindlecue
