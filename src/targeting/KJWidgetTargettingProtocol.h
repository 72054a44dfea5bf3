#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/Value.h"

namespace brindlecue {

namespace platform {
class NSObject;
class UIView;
struct Selector;
}  // namespace platform

class KJTipTargetElement;

// What a target-finding tool offers: the author metadata of the screen, the live view of a
// stored target, its naming version, and optionally the ancestor path of a view and the binding of
// super-tag click counting. Main queue.
class KJWidgetTargettingProtocol {
public:
    virtual ~KJWidgetTargettingProtocol() = default;

    // One metadata record (a dictionary) per target candidate of the present window, leaving out
    // the views to exclude and everything inside them.
    virtual platform::Value generateAuthorMetaData(
        const std::vector<std::shared_ptr<platform::NSObject>>& excepts) = 0;
    virtual std::shared_ptr<platform::UIView> rematchWidget(const KJTipTargetElement& target) = 0;
    virtual const std::string& version() const = 0;
    virtual void setVersion(std::string version) = 0;

    // Tools that name views by ancestor paths or bind super tags override these; the defaults
    // name nothing and bind nothing.
    virtual std::string getNormalisedViewHierarchy(const std::shared_ptr<platform::UIView>& view,
                                                   bool isNodeLeaf) const {
        return {};
    }
    // Every clickable view under the view carries its widget type, index and ancestor path and
    // sends the action to the target when clicked.
    virtual void findClickableWidgetsToBindSuperTag(const std::shared_ptr<platform::UIView>& view,
                                                    const std::shared_ptr<platform::NSObject>& target,
                                                    const platform::Selector& action) {}
};

}  // namespace brindlecue
