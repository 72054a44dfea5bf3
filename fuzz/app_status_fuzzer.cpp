// libFuzzer target for the app-status document (see fuzz/README.md): the server's answer to the
// app-status poll, over HTTP ({"app_status": {...}}) or as a websocket message (the model itself).
//
// The answer is read as the fetchers read it (written out as JSON and read back, then decoded);
// a decoded model must describe itself, its log handlers must code again to themselves, and the
// super-tag settings it carries are applied to a device text the way the tag layer applies them.
#include "config/BLQAppStatusModel.h"
#include "foundation/DecodingError.h"
#include "fuzz_support.h"
#include "tags/SuperTagStatusAdmin.h"

using namespace brindlecue;
using platform::Value;

namespace {

void useModel(const BLQAppStatusModel& model) {
    volatile size_t sink = model.description().size();
    (void)sink;
    if (model.logHandlers) {
        for (const auto& handler : *model.logHandlers) {
            auto again = BLQLogHandlerModel::decode(handler.encode());
            fuzzsupport::check(again && *again == handler, "a log handler does not code to itself");
            fuzzsupport::check(handler.dictionary().has_value(), "a log handler has no dictionary");
        }
    }
    if (model.superTagsDisabledLevel) {
        (void)SuperTagStatusAdmin::isSuperTagEnabled(*model.superTagsDisabledLevel, "View");
        (void)SuperTagStatusAdmin::isSuperTagEnabled(*model.superTagsDisabledLevel, "Click");
    }
    if (model.superTagsFilter) {
        (void)SuperTagStatusAdmin::isSuperTagFilterMatch(*model.superTagsFilter,
                                                         "ProfileViewController.saveButton.Click");
        (void)SuperTagStatusAdmin::isSuperTagFilterMatch(*model.superTagsFilter, std::string(64, 'a'));
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzsupport::setUpProcess();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto json = Value::fromJSON(fuzzsupport::text(data, size));
    if (!json) return 0;
    auto document = writtenAndReadBack(*json);
    if (!document) return 0;
    try {
        useModel(BLQAppStatusResponseModel::decode(*document).appStatus);
    } catch (const DecodingError& error) {
        volatile size_t sink = error.debugDescription().size();
        (void)sink;
    }
    try {
        useModel(BLQAppStatusModel::decode(*document));
    } catch (const DecodingError& error) {
        volatile size_t sink = error.debugDescription().size();
        (void)sink;
    }
    return 0;
}
