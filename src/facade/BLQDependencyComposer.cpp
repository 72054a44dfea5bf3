#include "facade/BLQDependencyComposer.h"

#include "config/BLQAppDetailsProvider.h"
#include "config/BLQHTTPAPIEndpoints.h"
#include "events/BLQDisabledCodeSendConditionVerifier.h"
#include "events/BLQPriorityCodeSendConditionVerifier.h"
#include "events/BLQTagIncrementDeduper.h"
#include "events/BLQTargetNotFoundDeduper.h"
#include "events/BLQUserEventDeduperManager.h"
#include "events/BLQUserEventHTTPSender.h"
#include "events/BLQUserEventManager.h"
#include "events/BLQViewEnterDeduper.h"
#include "facade/BLQAppStatusFetchHandler.h"
#include "facade/BLQAppStatusHTTPFetcher.h"
#include "facade/BLQConfigEventManagerWebSocket.h"
#include "facade/BLQConfigManager.h"
#include "facade/BLQInstallRegistrationManager.h"
#include "facade/BLQInstallValidator.h"
#include "facade/BLQLoggerManager.h"
#include "facade/BLQSessionManager.h"
#include "facade/BLQUpdateRegistrationManager.h"
#include "feed/BLQFeedManager.h"
#include "feed/BLQFeedValidator.h"
#include "feed/BLQStepImageGuideParam.h"
#include "feed/BLQStepOptionsGuideParam.h"
#include "foundation/BLQDependencyManager.h"
#include "matching/BLQClientSideTriggerManager.h"
#include "network/BLQ409HTTPErrorHandler.h"
#include "network/BLQ429HTTPErrorHandler.h"
#include "network/BLQFeedHTTPNetworkRequester.h"
#include "network/BLQHTTPManager.h"
#include "network/BLQInstallHTTPNetworkRequester.h"
#include "network/BLQResponseValidator.h"
#include "network/BLQTagHTTPNetworkRequester.h"
#include "network/BLQUpdateHTTPNetworkRequester.h"
#include "network/BLQWebSocketManager.h"
#include "platform/TestingReset.h"
#include "preview/BLQPreviewModeDataStore.h"
#include "preview/BLQPreviewModeHTTPNetworkRequester.h"
#include "preview/BLQPreviewModeManager.h"
#include "preview/BLQPreviewModeUIManager.h"
#include "preview/BLQPreviewModeValidator.h"
#include "preview/BLQTipCacheManager.h"
#include "storage/BLQCoreData.h"
#include "storage/BLQCoreDataConfigDataStore.h"
#include "storage/BLQCoreDataFeedDataStore.h"
#include "storage/BLQCoreDataInstallDataStore.h"
#include "storage/BLQCoreDataSessionDataStore.h"
#include "storage/BLQCoreDataTagDataStore.h"
#include "storage/BLQCoreDataUserEventDataStore.h"
#include "storage/DictionaryTransformer.h"
#include "tags/BLQTagKey.h"
#include "tags/BLQTagManager.h"
#include "targeting/BLQScreenShotManager.h"
#include "targeting/BLQTargetingAlgorithmV3.h"
#include "tips/BLQCustomGuideHelper.h"
#include "tips/BLQStepTitleGuideParam.h"
#include "tips/BLQStepWidthGuideParam.h"
#include "tips/KJTipManager.h"
#include "widgets/QXFeedBackInterface.h"

namespace brindlecue {

namespace {

std::shared_ptr<platform::ManagedObjectContext> backgroundContext() {
    return BLQCoreData::sharedInstance().backgroundContext();
}

}  // namespace

void BLQDependencyComposer::composeDependencies() {
    platform::TestingReset::add("BLQDependencyManager",
                                [] { BLQDependencyManager::shared().resetForTesting(); });
    DictionaryTransformer::registerDictionaryTransformer();
    compose(BLQDependencyManager::shared(), rows());
}

void BLQDependencyComposer::compose(BLQDependencyManager& container, const std::vector<Row>& table) {
    for (const auto& row : table) row.registration(container);
}

namespace {

using C = BLQDependencyManager;
using InstallValidation = BLQResponseValidator<BLQInstallValidator>;
using FeedValidation = BLQResponseValidator<BLQFeedValidator>;
using PreviewValidation = BLQResponseValidator<BLQPreviewModeValidator>;

// A row whose factory builds the implementation from what it resolves of the container.
template <class Interface>
BLQDependencyComposer::Row row(const char* name, bool singleton,
                               std::function<std::shared_ptr<Interface>(C&)> make) {
    return {name, singleton,
            [singleton, make](C& c) { c.register_<Interface>(singleton, [&c, make] { return make(c); }); }};
}

}  // namespace

std::vector<BLQDependencyComposer::Row> BLQDependencyComposer::rows() {
    std::vector<Row> table;
    table.push_back(row<BLQIAppDetailsProvider>(
        "BLQIAppDetailsProvider", false, [](C&) { return std::make_shared<BLQAppDetailsProvider>(); }));
    table.push_back(row<BLQIHTTPAPIEndpoints>("BLQIHTTPAPIEndpoints", false,
                                              [](C&) { return std::make_shared<BLQHTTPAPIEndpoints>(); }));
    table.push_back(row<BLQIConfigDataStore>("BLQIConfigDataStore", false, [](C&) {
        return std::make_shared<BLQCoreDataConfigDataStore>(backgroundContext());
    }));
    table.push_back(row<BLQIConfigManager>("BLQIConfigManager", true, [](C& c) {
        return std::make_shared<BLQConfigManager>(c.resolve<BLQIConfigDataStore>(),
                                                  c.resolve<BLQIHTTPAPIEndpoints>());
    }));
    table.push_back(row<BLQIWebSocketManager>("BLQIWebSocketManager", true,
                                              [](C&) { return BLQWebSocketManager::shared(); }));
    table.push_back(
        {"BLQIHTTPManager", true, [](C& c) {
             std::vector<std::shared_ptr<BLQIHTTPErrorHandler>> handlers{
                 std::make_shared<BLQ409HTTPErrorHandler>(), std::make_shared<BLQ429HTTPErrorHandler>()};
             c.register_<BLQIHTTPManager>(true, [&c, handlers] {
                 return std::make_shared<BLQHTTPManager>(c.resolve<BLQIAppDetailsProvider>(), handlers);
             });
         }});
    table.push_back(row<BLQIAppStatusFetcher>("BLQIAppStatusFetcher", false, [](C& c) {
        return std::make_shared<BLQAppStatusHTTPFetcher>(c.resolve<BLQIHTTPManager>(),
                                                         c.resolve<BLQIConfigManager>(),
                                                         c.resolve<BLQIAppDetailsProvider>());
    }));
    table.push_back(row<BLQIAppStatusFetchHandler>(
        "BLQIAppStatusFetchHandler", false, [](C&) { return std::make_shared<BLQAppStatusFetchHandler>(); }));
    table.push_back(row<BLQILoggerManager>("BLQILoggerManager", true, [](C& c) {
        return std::make_shared<BLQLoggerManager>(c.resolve<BLQIConfigManager>());
    }));
    table.push_back(row<InstallValidation>("BLQResponseValidator<BLQInstallValidator>", false, [](C&) {
        return std::make_shared<InstallValidation>(std::make_shared<BLQInstallValidator>());
    }));
    table.push_back(row<FeedValidation>("BLQResponseValidator<BLQFeedValidator>", false, [](C&) {
        return std::make_shared<FeedValidation>(std::make_shared<BLQFeedValidator>());
    }));
    table.push_back(row<PreviewValidation>("BLQResponseValidator<BLQPreviewModeValidator>", false, [](C&) {
        return std::make_shared<PreviewValidation>(std::make_shared<BLQPreviewModeValidator>());
    }));

    // Install, update and sessions.
    table.push_back(row<BLQIInstallDataStore>("BLQIInstallDataStore", false, [](C&) {
        return std::make_shared<BLQCoreDataInstallDataStore>(backgroundContext());
    }));
    table.push_back(row<BLQIInstallNetworkRequester>("BLQIInstallNetworkRequester", false, [](C& c) {
        return std::make_shared<BLQInstallHTTPNetworkRequester>(c.resolve<BLQIHTTPManager>(),
                                                                c.resolve<BLQIConfigManager>());
    }));
    table.push_back(row<BLQIInstallRegistrationManager>("BLQIInstallRegistrationManager", true, [](C& c) {
        return std::make_shared<BLQInstallRegistrationManager>(
            c.resolve<BLQIAppDetailsProvider>(), c.resolve<BLQIInstallDataStore>(),
            c.resolve<BLQIConfigManager>(), c.resolve<BLQIInstallNetworkRequester>(),
            *c.resolve<InstallValidation>());
    }));
    table.push_back(row<BLQIUpdateNetworkRequester>("BLQIUpdateNetworkRequester", false, [](C& c) {
        return std::make_shared<BLQUpdateHTTPNetworkRequester>(c.resolve<BLQIHTTPManager>(),
                                                               c.resolve<BLQIConfigManager>());
    }));
    table.push_back(row<BLQIUpdateRegistrationManager>("BLQIUpdateRegistrationManager", true, [](C& c) {
        return std::make_shared<BLQUpdateRegistrationManager>(
            c.resolve<BLQIAppDetailsProvider>(), c.resolve<BLQIInstallDataStore>(),
            c.resolve<BLQIUpdateNetworkRequester>(), *c.resolve<InstallValidation>());
    }));
    table.push_back(row<BLQIConfigEventManager>("BLQIConfigEventManager", false, [](C& c) {
        return BLQConfigEventManagerWebSocket::create(c.resolve<BLQIAppDetailsProvider>(),
                                                      c.resolve<BLQIWebSocketManager>());
    }));
    table.push_back(row<BLQISessionDataStore>("BLQISessionDataStore", false, [](C&) {
        return std::make_shared<BLQCoreDataSessionDataStore>(backgroundContext());
    }));
    table.push_back(row<BLQISessionManager>("BLQISessionManager", true, [](C& c) {
        return std::make_shared<BLQSessionManager>(c.resolve<BLQISessionDataStore>(),
                                                   c.resolve<BLQIAppDetailsProvider>());
    }));

    // User events.
    table.push_back({"BLQIUserEventDeduperManager", true, [](C& c) {
                         std::vector<std::shared_ptr<BLQIUserEventDeduper>> dedupers{
                             std::make_shared<BLQTargetNotFoundDeduper>(),
                             std::make_shared<BLQViewEnterDeduper>(), std::make_shared<BLQViewExitDeduper>(),
                             std::make_shared<BLQTagIncrementDeduper>()};
                         c.register_<BLQIUserEventDeduperManager>(true, [dedupers] {
                             return std::make_shared<BLQUserEventDeduperManager>(dedupers);
                         });
                     }});
    table.push_back(row<BLQIUserEventDataStore>("BLQIUserEventDataStore", false, [](C&) {
        return std::make_shared<BLQCoreDataUserEventDataStore>(backgroundContext());
    }));
    table.push_back(row<BLQIUserEventSender>("BLQIUserEventSender", false, [](C& c) {
        return std::make_shared<BLQUserEventHTTPSender>(c.resolve<BLQIHTTPManager>(),
                                                        c.resolve<BLQIConfigManager>(),
                                                        c.resolve<BLQIAppDetailsProvider>());
    }));
    table.push_back(
        {"BLQIUserEventManager", true, [](C& c) {
             std::vector<std::shared_ptr<BLQISendConditionVerifier>> verifiers{
                 std::make_shared<BLQDisabledCodeSendConditionVerifier>(c.resolve<BLQIConfigManager>()),
                 std::make_shared<BLQPriorityCodeSendConditionVerifier>(c.resolve<BLQIConfigManager>())};
             c.register_<BLQIUserEventManager>(true, [&c, verifiers] {
                 return std::make_shared<BLQUserEventManager>(
                     c.resolve<BLQIUserEventDataStore>(), c.resolve<BLQISessionManager>(),
                     c.resolve<BLQIUserEventDeduperManager>(), c.resolve<BLQIConfigManager>(),
                     c.resolve<BLQIUserEventSender>(), verifiers);
             });
         }});

    // Tags and client-side triggers.
    table.push_back(row<BLQITagNetworkRequester>("BLQITagNetworkRequester", false, [](C& c) {
        return std::make_shared<BLQTagHTTPNetworkRequester>(c.resolve<BLQIHTTPManager>(),
                                                            c.resolve<BLQIConfigManager>(),
                                                            c.resolve<BLQIAppDetailsProvider>());
    }));
    table.push_back(row<BLQITagDataStore>("BLQITagDataStore", false, [](C&) {
        return std::make_shared<BLQCoreDataTagDataStore>(backgroundContext());
    }));
    table.push_back({"BLQITagManager", true, [](C& c) {
                         std::vector<std::string> tagServerBlacklistKeys{BLQTagKey::previewMode()};
                         std::vector<std::string> priorityDeleteKeys{BLQTagKey::previewMode()};
                         c.register_<BLQITagManager>(true, [&c, tagServerBlacklistKeys, priorityDeleteKeys] {
                             return std::make_shared<BLQTagManager>(
                                 c.resolve<BLQITagDataStore>(), c.resolve<BLQITagNetworkRequester>(),
                                 c.resolve<BLQIUserEventManager>(),
                                 c.resolve<BLQIInstallRegistrationManager>(), tagServerBlacklistKeys,
                                 priorityDeleteKeys);
                         });
                     }});
    table.push_back(row<BLQIClientSideTriggerManager>("BLQIClientSideTriggerManager", false, [](C& c) {
        return std::make_shared<BLQClientSideTriggerManager>(c.resolve<BLQITagDataStore>());
    }));

    // The tip engine and the feed.
    table.push_back(row<BLQITipManager>("BLQITipManager", true, [](C&) {
        return KJTipManager::make(platform::make<widgets::QXFeedBackInterface>());
    }));
    table.push_back(row<BLQIFeedDataStore>("BLQIFeedDataStore", false, [](C&) {
        return std::make_shared<BLQCoreDataFeedDataStore>(backgroundContext());
    }));
    table.push_back(row<BLQIFeedNetworkRequester>("BLQIFeedNetworkRequester", false, [](C& c) {
        return std::make_shared<BLQFeedHTTPNetworkRequester>(c.resolve<BLQIHTTPManager>(),
                                                             c.resolve<BLQIConfigManager>());
    }));
    table.push_back(row<BLQIFeedManager>("BLQIFeedManager", true, [](C& c) {
        return std::make_shared<BLQFeedManager>(
            c.resolve<BLQIFeedDataStore>(), c.resolve<BLQIConfigManager>(), c.resolve<BLQITipManager>(),
            c.resolve<BLQIFeedNetworkRequester>(), *c.resolve<FeedValidation>());
    }));

    // Preview mode, with the screenshots its menu takes.
    table.push_back(row<BLQIPreviewModeDataStore>(
        "BLQIPreviewModeDataStore", false, [](C&) { return std::make_shared<BLQPreviewModeDataStore>(); }));
    table.push_back(row<BLQIPreviewModeUIManager>(
        "BLQIPreviewModeUIManager", false, [](C&) { return std::make_shared<BLQPreviewModeUIManager>(); }));
    table.push_back(row<BLQIScreenShotManager>("BLQIScreenShotManager", false,
                                               [](C&) { return std::make_shared<BLQScreenShotManager>(); }));
    table.push_back(row<BLQIPreviewModeNetworkRequester>("BLQIPreviewModeNetworkRequester", false, [](C& c) {
        return std::make_shared<BLQPreviewModeHTTPNetworkRequester>(c.resolve<BLQIHTTPManager>(),
                                                                    c.resolve<BLQIConfigManager>(),
                                                                    c.resolve<BLQIAppDetailsProvider>());
    }));
    table.push_back(row<BLQIPreviewModeManager>("BLQIPreviewModeManager", true, [](C& c) {
        return std::make_shared<BLQPreviewModeManager>(
            c.resolve<BLQIPreviewModeDataStore>(), c.resolve<BLQIPreviewModeUIManager>(),
            c.resolve<BLQIScreenShotManager>(), c.resolve<BLQITipManager>(),
            c.resolve<BLQIPreviewModeNetworkRequester>(), c.resolve<PreviewValidation>());
    }));
    table.push_back(row<BLQITipCacheManager>("BLQITipCacheManager", true, [](C& c) {
        return std::make_shared<BLQTipCacheManager>(c.resolve<BLQITipManager>(),
                                                    c.resolve<BLQIPreviewModeManager>());
    }));

    // Custom guides and targeting.
    table.push_back(
        {"BLQICustomGuideHelper", false, [](C& c) {
             std::vector<std::shared_ptr<BLQICustomGuideParam>> params{
                 std::make_shared<BLQStepTitleGuideParam>(),  std::make_shared<BLQStepContentGuideParam>(),
                 std::make_shared<BLQStepImageGuideParam>(),  std::make_shared<BLQStepWidthGuideParam>(),
                 std::make_shared<BLQStepHeightGuideParam>(), std::make_shared<BLQStepOptionsGuideParam>()};
             c.register_<BLQICustomGuideHelper>(
                 [params] { return std::make_shared<BLQCustomGuideHelper>(params); });
         }});
    table.push_back(row<BLQITargetingAlgorithm>(
        "BLQITargetingAlgorithm", true, [](C&) { return std::make_shared<BLQTargetingAlgorithmV3>(); }));
    return table;
}

}  // namespace brindlecue
