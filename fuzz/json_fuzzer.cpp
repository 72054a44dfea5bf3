// libFuzzer target for the JSON reader of Value (see fuzz/README.md): every answer of the server
// and every message of a page is read by it.
//
// Whatever reads must write again, compact and indented, and read back to an equal value.
#include "fuzz_support.h"

using brindlecue::platform::Value;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzsupport::setUpProcess();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto value = Value::fromJSON(fuzzsupport::text(data, size));
    if (!value) return 0;
    fuzzsupport::touch(*value);
    for (bool pretty : {false, true}) {
        auto written = value->toJSON(pretty);
        fuzzsupport::check(written.has_value(), "a value read from JSON cannot be written");
        auto back = Value::fromJSON(*written);
        fuzzsupport::check(back.has_value(), "written JSON does not read back");
        fuzzsupport::check(*back == *value, "JSON read back differs");
    }
    return 0;
}
