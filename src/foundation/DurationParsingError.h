#pragma once

#include <stdexcept>
#include <string>

namespace brindlecue {

// Why an ISO-8601 duration text could not be read.
class DurationParsingError : public std::runtime_error {
public:
    enum class Kind {
        invalidFormat,                 // carries the whole input text
        unsupportedFractionsForMonth,  // carries the input without its leading "P"
    };

    DurationParsingError(Kind kind, std::string text)
        : std::runtime_error(kind == Kind::invalidFormat ? "Invalid duration format: " + text
                                                         : "Unsupported fractions for month: " + text),
          kind_(kind),
          text_(std::move(text)) {}

    Kind kind() const { return kind_; }
    const std::string& text() const { return text_; }

private:
    Kind kind_;
    std::string text_;
};

}  // namespace brindlecue
