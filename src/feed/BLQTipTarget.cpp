#include "feed/BLQTipTarget.h"

#include "feed/KJDocumentReader.h"

namespace brindlecue {

std::shared_ptr<BLQTipTarget> BLQTipTarget::createFromTarget(const platform::Value& object) {
    if (!object.isDictionary()) return nullptr;
    KJDocumentReader in(object, "BLQTipTarget");
    auto descriptor = std::make_shared<BLQTipTarget>();
    descriptor->version = in.text("version");
    descriptor->alg = in.text("alg");
    // Any list is accepted, whether or not the parser made it mutable.
    const platform::Value& list = in.array("inputs");
    std::vector<BLQTipTargetInput> inputs;
    for (size_t i = 0; i < list.count(); ++i) {
        const platform::Value& entry = list[i];
        if (!entry.isDictionary()) {
            in.wrongEntry("inputs", i, entry, "a dictionary");
            continue;
        }
        inputs.push_back({KJDocumentReader(entry, "BLQTipTargetInput").text("target")});
    }
    if (!inputs.empty()) descriptor->inputs = std::move(inputs);
    return descriptor;
}

}  // namespace brindlecue
