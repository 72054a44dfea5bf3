#pragma once

#include <string>

namespace brindlecue {

// One line to the unified system log, as the HTTP library and the older layer's clients write
// their plain log lines (subsystem "com.brindlecue", category "Networking").
void KJSystemLog(const std::string& message);

}  // namespace brindlecue
