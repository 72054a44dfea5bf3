#include "platform/uikit/UITabBarItem.h"

#include "platform/uikit/UILabel.h"

namespace brindlecue::platform {

std::shared_ptr<UITabBarItem> UITabBarItem::withTitle(std::string title,
                                                      const std::shared_ptr<UIImage>& image, int64_t tag) {
    auto item = make<UITabBarItem>();
    item->setTitle(std::move(title));
    item->setImage(image);
    item->setTag(tag);
    return item;
}

void UITabBarItem::setTitle(std::optional<std::string> title) {
    UIBarItem::setTitle(std::move(title));
    if (auto v = view())
        for (const auto& sub : v->subviews())
            if (auto label = std::dynamic_pointer_cast<UILabel>(sub)) label->setText(this->title());
}

}  // namespace brindlecue::platform
