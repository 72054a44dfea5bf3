#pragma once

#include <string>

namespace brindlecue {

// The development-platform words of the install document.
class BLQInstallPlatform {
public:
    static const std::string& native() {
        static const std::string* word = new std::string("native");
        return *word;
    }
    static const std::string& reactNative() {
        static const std::string* word = new std::string("reactnative");
        return *word;
    }

    BLQInstallPlatform() = delete;
};

}  // namespace brindlecue
