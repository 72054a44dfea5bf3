#include "network/library/KJSystemLog.h"

#include "platform/SystemLog.h"

namespace brindlecue {

void KJSystemLog(const std::string& message) {
    static const platform::SystemLog log("com.brindlecue", "Networking");
    log.log(platform::LogType::Default, message);
}

}  // namespace brindlecue
