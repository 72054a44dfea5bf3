#pragma once

#include <memory>
#include <utility>

namespace brindlecue {

// Holds one concrete validator for a manager, which calls validateResponse on responseValidator().
template <class Validator>
class BLQResponseValidator {
public:
    using SentType = typename Validator::SentType;

    explicit BLQResponseValidator(std::shared_ptr<Validator> validator)
        : responseValidator_(std::move(validator)) {}

    const std::shared_ptr<Validator>& responseValidator() const { return responseValidator_; }

private:
    std::shared_ptr<Validator> responseValidator_;
};

}  // namespace brindlecue
