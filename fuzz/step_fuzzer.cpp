// libFuzzer target for a step document (see fuzz/README.md): one item of a campaign's "payload",
// read into a step with its text, buttons, images, carousel, feedback, web content, target and
// overlay.
//
// A step must come back equal from its stored form, also after that form was archived as the
// campaign cache archives it.
#include "feed/KJTipElement.h"
#include "fuzz_support.h"
#include "platform/KeyedArchiver.h"
#include "presentation/KJTipPresentation.h"
#include "targeting/KJTipTargetElement.h"

using namespace brindlecue;
using platform::Value;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzsupport::setUpProcess();
    KJTipTargetElement::registerWithCampaignModel();
    KJTipPresentation::registerWithCampaignModel();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto document = Value::fromJSON(fuzzsupport::text(data, size));
    if (!document || !document->isDictionary()) return 0;
    (void)KJTipElement::migrateDimToOverlay((*document)["meta"]["display-params"]);
    auto step = KJTipElement::createFromFeed(*document);
    if (!step) return 0;
    volatile size_t sink = step->description().size();
    (void)sink;
    Value stored = step->serializeToDictionary();
    auto back = KJTipElement::deserializeFromDictionary(stored);
    fuzzsupport::check(back && back->isEqual(step.get()), "a step does not read back from its stored form");
    auto archived = platform::KeyedArchiver::unarchiveObject(platform::KeyedArchiver::archivedData(stored));
    fuzzsupport::check(archived && *archived == stored, "a step's stored form does not archive");
    return 0;
}
