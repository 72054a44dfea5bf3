#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/uikit/Geometry.h"

namespace brindlecue {

namespace platform {
class UIView;
class UIViewController;
}  // namespace platform

// One record of a view-tree pass, shared by the forest finder and the hierarchy engine.
//
// A raw leaf, read from a leaf line of the view-tree text dump, has "type" (the class name on
// the line), "address" (the object's address text, such as "0x6000012ab340"), "level" (depth
// of the line), "index" (number of the line that gave the address) and "tag". Finding the live
// view again adds "ancestor" (its ancestor path), "viewController", "instance" (the view) and
// its frame on screen ("x", "y", "width", "height", "dimension" = width × height). A record
// made on the climb from a leaf to its landmark ancestors has no "level" and no "tag". The
// forest finder also sets "accessibility_identifier" and replaces "index" with the position in
// its forest group. A key that was never set is absent.
struct KJTargetNode {
    std::optional<std::string> type;
    std::optional<std::string> address;
    std::optional<int64_t> level;
    std::optional<int64_t> index;
    std::optional<int64_t> tag;
    std::optional<std::string> ancestor;
    std::optional<std::string> accessibilityIdentifier;
    std::shared_ptr<platform::UIView> instance;
    std::shared_ptr<platform::UIViewController> viewController;
    // x, y, width and height; absent until the view was found.
    std::optional<platform::CGRect> frame;

    double x() const { return frame ? frame->origin.x : 0; }
    double y() const { return frame ? frame->origin.y : 0; }
    double width() const { return frame ? frame->size.width : 0; }
    double height() const { return frame ? frame->size.height : 0; }
    double dimension() const { return width() * height(); }
};

using KJTargetNodes = std::vector<std::shared_ptr<KJTargetNode>>;

}  // namespace brindlecue
