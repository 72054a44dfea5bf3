#pragma once

#include <string>

namespace brindlecue {

// The tag keys the library writes itself. To the tag manager they are ordinary tags; only
// previewMode is treated apart (its saves make no user event unless forced, and its deletion is
// also sent to the server at once).
class BLQTagKey {
public:
    static const std::string& carrierName();       // "kj_carrier_name"
    static const std::string& clientVersion();     // "kj_client_version"
    static const std::string& firstRun();          // "kj_first_run"
    static const std::string& legacySdkVersion();  // "qx_version"
    static const std::string& model();             // "kj_model"
    static const std::string& previewMode();       // "kj_preview_mode"
    static const std::string& sdkVersion();        // "blq_version"
    static const std::string& session();           // "kj_session"
    static const std::string& utcOffset();         // "kj_utc_offset"
};

}  // namespace brindlecue
