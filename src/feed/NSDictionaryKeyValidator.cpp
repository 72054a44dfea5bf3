#include "feed/NSDictionaryKeyValidator.h"

namespace brindlecue {

platform::Value getValueIfkeyExists(const platform::Value& dictionary, std::string_view key) {
    const platform::Dictionary* d = dictionary.getDictionary();
    if (d) {
        if (const platform::Value* v = d->find(key)) return *v;
    }
    return platform::Value("");
}

}  // namespace brindlecue
