#pragma once

#include <stdexcept>
#include <string>

namespace brindlecue {

// A value that could not be decoded from a document.
class DecodingError : public std::runtime_error {
public:
    enum class Kind { typeMismatch, valueNotFound, keyNotFound, dataCorrupted };

    DecodingError(Kind kind, std::string debugDescription)
        : std::runtime_error(debugDescription), kind_(kind), debugDescription_(std::move(debugDescription)) {}

    Kind kind() const { return kind_; }
    const std::string& debugDescription() const { return debugDescription_; }

private:
    Kind kind_;
    std::string debugDescription_;
};

}  // namespace brindlecue
