#include "tags/BLQTagKey.h"

namespace brindlecue {

namespace {

// Made on first use and never destroyed, so that any thread may read them during exit.
const std::string& constant(const char* text) {
    return *new std::string(text);
}

}  // namespace

const std::string& BLQTagKey::carrierName() {
    static const std::string& key = constant("kj_carrier_name");
    return key;
}

const std::string& BLQTagKey::clientVersion() {
    static const std::string& key = constant("kj_client_version");
    return key;
}

const std::string& BLQTagKey::firstRun() {
    static const std::string& key = constant("kj_first_run");
    return key;
}

const std::string& BLQTagKey::legacySdkVersion() {
    static const std::string& key = constant("qx_version");
    return key;
}

const std::string& BLQTagKey::model() {
    static const std::string& key = constant("kj_model");
    return key;
}

const std::string& BLQTagKey::previewMode() {
    static const std::string& key = constant("kj_preview_mode");
    return key;
}

const std::string& BLQTagKey::sdkVersion() {
    static const std::string& key = constant("blq_version");
    return key;
}

const std::string& BLQTagKey::session() {
    static const std::string& key = constant("kj_session");
    return key;
}

const std::string& BLQTagKey::utcOffset() {
    static const std::string& key = constant("kj_utc_offset");
    return key;
}

}  // namespace brindlecue
