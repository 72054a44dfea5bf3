// libFuzzer target for the widget documents (see fuzz/README.md): the floating button's setup and
// the FAQ screens of its payload, as the widget host decodes them, and the whole widget document.
//
// A decoded document writes back to a form that decodes to the same records; the values the
// views derive from it (sizes, frames, colours, fonts) are computed and the views are built.
#include "fuzz_support.h"
#include "widgets/FABButtonView.h"
#include "widgets/FAQListSUIView.h"
#include "widgets/ParseFAQ.h"

using namespace brindlecue;
using namespace brindlecue::widgets;
using platform::Value;

namespace {

// Written back and decoded again, a record writes the same form.
template <class R>
void checkWritesBack(const R& record) {
    Value written = encodeRecord(record);
    auto text = written.toJSON();
    fuzzsupport::check(text.has_value(), "a decoded widget record cannot be written as JSON");
    auto again = ParseFAQ::decode<R>(*text);
    fuzzsupport::check(again.has_value(), "a written widget record does not decode");
    fuzzsupport::check(encodeRecord(*again) == written, "a widget record changes when written and read");
}

void useLauncher(const Launcher& launcher) {
    volatile double sink = launcher.btnWidth() + launcher.btnHeight() + launcher.fontsize() +
                           launcher.contentWidth(40) + launcher.frameWidth(40) + launcher.iconheight();
    (void)sink;
    (void)launcher.iconFileName();
    (void)launcher.imageName();
    (void)launcher.fontfamily();
    (void)launcher.textColor();
    (void)launcher.bgColor();
    (void)launcher.btnBorderColor();
    (void)launcher.paddingInsets();
    auto placement = FABPlacementFromRawValue(launcher.placementValue());
    (void)buttonOrigin(placement.value_or(FABPlacement::bottomRight), launcher.btnWidth(),
                       launcher.btnHeight(), launcher.marginInsets());
    auto shared = std::make_shared<const Launcher>(launcher);
    (void)FABButtonView{shared, [] {}, [](platform::CGSize) {}}.body();
}

void usePayload(const Payload& payload, const std::optional<Launcher>& launcher) {
    const Meta& meta = payload.meta;
    (void)payload.listBackgroundColor();
    (void)meta.displayParams.widthUnit();
    (void)meta.displayParams.heightUnit();
    volatile double sink = meta.displayParams.heightInPoints() + meta.boxShadowOrZero();
    (void)sink;
    (void)meta.displayParams.dimColor();
    (void)meta.fab.iconName();
    volatile double fab = meta.fab.totalWidth() + meta.fab.totalHeight() + meta.fab.borderWidthOrZero() +
                          meta.fab.cornerRadiusOrZero() + meta.fab.fontSizeOrDefault();
    (void)fab;
    (void)meta.fab.fontWeightValue();
    (void)ElementPositon::listSize(meta);
    if (launcher) {
        (void)ElementPositon::listFrame(meta, *launcher, platform::CGRect(300, 700, 60, 50), {200, 300});
    }
    auto shared = std::make_shared<const Payload>(payload);
    FAQListSUIView list(
        true, payload.buttonList, shared, std::nullopt, [] {}, [](const ButtonList&) {}, [] {},
        [](platform::CGSize) {});
    (void)list.body();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzsupport::setUpProcess();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(fuzzsupport::text(data, size));
    ParseFAQ parser;
    if (auto setup = parser.decodeSetup(text)) {
        checkWritesBack(*setup);
        if (setup->launcher) useLauncher(*setup->launcher);
    }
    if (auto payload = parser.decodePayload(text)) {
        checkWritesBack(*payload);
        usePayload(*payload, std::nullopt);
    }
    if (auto document = parser.decodeFAQPayload(text)) {
        checkWritesBack(*document);
        std::optional<Launcher> launcher = document->setup ? document->setup->launcher : std::nullopt;
        if (launcher) useLauncher(*launcher);
        if (document->payload) {
            for (const auto& screen : *document->payload) usePayload(screen, launcher);
        }
    }
    (void)parser.getFABData(text);
    (void)parser.getFAQData(text);
    fuzzsupport::settle();
    return 0;
}
