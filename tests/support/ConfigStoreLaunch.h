#pragma once

// The configuration store as a launch of the app finds it: a first launch over an empty settings
// table (the stack seeds the debug log level again), or a relaunch that reloads the stack from
// disk after the writes of the previous run have finished.

#include <memory>

#include "platform/dispatch/RunLoop.h"
#include "storage/BLQConfigSetting.h"
#include "storage/BLQCoreData.h"
#include "storage/BLQCoreDataConfigDataStore.h"
#include "storage/DictionaryTransformer.h"

namespace brindlecue::testsupport {

// Lets the writes queued on the shared background context run, then the saves they asked for,
// then the merges those scheduled on the main queue.
inline void settleConfigStore() {
    auto context = BLQCoreData::sharedInstance().backgroundContext();
    for (int i = 0; i < 3; ++i) context->performAndWait([] {});
    platform::RunLoop::main().runUntilIdle();
}

// A store over a freshly loaded stack, with the settings of the previous run kept.
inline std::shared_ptr<BLQCoreDataConfigDataStore> relaunchConfigStore() {
    DictionaryTransformer::registerDictionaryTransformer();
    settleConfigStore();
    BLQCoreData::sharedInstance().setBackgroundContext(nullptr);
    BLQCoreData::sharedInstance().setPersistentContainer(nullptr);
    return std::make_shared<BLQCoreDataConfigDataStore>(BLQCoreData::sharedInstance().backgroundContext());
}

// A store over a freshly loaded stack whose settings table was empty, as on a first launch.
inline std::shared_ptr<BLQCoreDataConfigDataStore> firstLaunchConfigStore() {
    DictionaryTransformer::registerDictionaryTransformer();
    settleConfigStore();
    auto context = BLQCoreData::sharedInstance().backgroundContext();
    context->performAndWait([&] {
        if (auto settings = context->fetch(BLQConfigSetting::fetchRequest())) {
            for (const auto& setting : *settings) context->deleteObject(setting);
        }
        context->save();
    });
    return relaunchConfigStore();
}

}  // namespace brindlecue::testsupport
