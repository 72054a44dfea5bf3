#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/Value.h"
#include "platform/uikit/NSObject.h"

namespace brindlecue {

// A survey answer that a host's custom guide hands to the library to send: a title, the chosen
// answers and, optionally, further data to send with them.
class BLQFeedback : public platform::NSObject {
public:
    BLQFeedback(std::string title, std::vector<std::string> answers,
                std::optional<platform::Dictionary> extraJSON = std::nullopt)
        : title(std::move(title)), answers(std::move(answers)), extraJSON(std::move(extraJSON)) {}
    std::string className() const override { return "BLQFeedback"; }

    std::string title;
    std::vector<std::string> answers;
    std::optional<platform::Dictionary> extraJSON;
};

}  // namespace brindlecue
