#include "foundation/BLQJSONMerger.h"

#include <algorithm>

namespace brindlecue {

using platform::Array;
using platform::Dictionary;
using platform::Value;

namespace {

bool isArrayOfObjects(const Value& value) {
    const Array* array = value.getArray();
    return array != nullptr &&
           std::all_of(array->begin(), array->end(), [](const Value& v) { return v.isDictionary(); });
}

Value mergeValues(const Value& base, const Value& overlay) {
    if (base.isDictionary() && overlay.isDictionary()) {
        return Value(BLQJSONMerger::mergeJSONObjects(*base.getDictionary(), *overlay.getDictionary()));
    }
    if (isArrayOfObjects(base) && isArrayOfObjects(overlay)) {
        Array merged = *base.getArray();
        const Array& overlayArray = *overlay.getArray();
        for (size_t i = 0; i < overlayArray.size(); ++i) {
            if (i < merged.size()) {
                merged[i] = Value(BLQJSONMerger::mergeJSONObjects(*merged[i].getDictionary(),
                                                                  *overlayArray[i].getDictionary()));
            } else {
                merged.push_back(overlayArray[i]);
            }
        }
        return Value(std::move(merged));
    }
    return overlay;
}

}  // namespace

Dictionary BLQJSONMerger::mergeJSONObjects(const Dictionary& baseDict, const Dictionary& overlayDict) {
    Dictionary result = baseDict;
    for (const auto& [key, overlayValue] : overlayDict) {
        const Value* baseValue = baseDict.find(key);
        result.set(key, baseValue == nullptr ? overlayValue : mergeValues(*baseValue, overlayValue));
    }
    return result;
}

}  // namespace brindlecue
