// libFuzzer target for the property-list reader of Value (see fuzz/README.md): XML and binary
// property lists come from the server's plist answers and from files on disk.
//
// Whatever reads must write again in both formats and read back to an equal value.
#include "fuzz_support.h"

using brindlecue::platform::PropertyListFormat;
using brindlecue::platform::Value;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzsupport::setUpProcess();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto value = Value::fromPropertyList(brindlecue::platform::Data(data, data + size));
    if (!value) return 0;
    fuzzsupport::touch(*value);
    for (auto format : {PropertyListFormat::XML, PropertyListFormat::Binary}) {
        auto written = value->toPropertyList(format);
        if (!written) continue;  // dates beyond what the format holds
        auto back = Value::fromPropertyList(*written);
        fuzzsupport::check(back.has_value(), "a written property list does not read back");
        fuzzsupport::check(*back == *value, "property list read back differs");
    }
    return 0;
}
