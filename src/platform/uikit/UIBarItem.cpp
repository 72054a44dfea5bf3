#include "platform/uikit/UIBarItem.h"

namespace brindlecue::platform {

void UIBarItem::setTitleTextAttributes(std::optional<TextAttributes> attributes, uint64_t state) {
    if (attributes)
        attributes_[state] = *attributes;
    else
        attributes_.erase(state);
}

std::optional<TextAttributes> UIBarItem::titleTextAttributesForState(uint64_t state) const {
    auto it = attributes_.find(state);
    return it == attributes_.end() ? std::nullopt : std::optional<TextAttributes>(it->second);
}

}  // namespace brindlecue::platform
