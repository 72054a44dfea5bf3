#include "facade/KJViewActivity.h"

#include "foundation/BLQDateUtils.h"
#include "foundation/BLQUtils.h"

namespace brindlecue {

KJViewActivity::KJViewActivity(std::string name)
    : viewName(std::move(name)), enterTime(platform::Date::now()) {}

platform::Value KJViewActivity::toDictionary() const {
    return platform::Value::dictionary({{"page", viewName},
                                        {"enter", blqFormatISODate(enterTime)},
                                        {"exit", exitTime ? blqFormatISODate(*exitTime) : std::string()},
                                        {"duration", duration},
                                        {"bg", enterBg}});
}

std::string KJViewActivity::serializeToString() const {
    return blqSerializeObjToJson(toDictionary());
}

}  // namespace brindlecue
