#include "presentation/QXFeedBack.h"

namespace brindlecue {

platform::swiftui::View QXFeedBack::body() const {
    return platform::swiftui::Text("Hello, World!");
}

platform::swiftui::View QXFeedBack_Previews::previews() {
    return QXFeedBack().body();
}

}  // namespace brindlecue
