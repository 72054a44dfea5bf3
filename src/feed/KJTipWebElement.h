#pragma once

#include <optional>
#include <string>

#include "feed/KJTipBaseElement.h"

namespace brindlecue {

// A web page shown inside a tip: a remote address, or inline HTML, which wins when both are given.
// Built from the step's "meta" object.
class KJTipWebElement : public KJTipBaseElement {
public:
    KJ_TIP_ELEMENT(KJTipWebElement)

    std::optional<std::string> url;
    std::optional<std::string> urlcontent;
};

}  // namespace brindlecue
