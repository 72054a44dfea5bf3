#include "foundation/BLQDependencyComposer.h"

#include "events/BLQDisabledCodeSendConditionVerifier.h"
#include "events/BLQPriorityCodeSendConditionVerifier.h"
#include "events/BLQTagIncrementDeduper.h"
#include "events/BLQTargetNotFoundDeduper.h"
#include "events/BLQUserEventDeduperManager.h"
#include "events/BLQUserEventHTTPSender.h"
#include "events/BLQUserEventManager.h"
#include "events/BLQViewEnterDeduper.h"
#include "facade/BLQAppDetailsProvider.h"
#include "facade/BLQAppStatusFetchHandler.h"
#include "facade/BLQAppStatusHTTPFetcher.h"
#include "facade/BLQConfigEventManagerWebSocket.h"
#include "facade/BLQConfigManager.h"
#include "facade/BLQInstallRegistrationManager.h"
#include "facade/BLQInstallValidator.h"
#include "facade/BLQSessionManager.h"
#include "facade/BLQUpdateRegistrationManager.h"
#include "feed/BLQFeedManager.h"
#include "feed/BLQFeedValidator.h"
#include "feed/BLQStepImageGuideParam.h"
#include "feed/BLQStepOptionsGuideParam.h"
#include "foundation/BLQDependencyManager.h"
#include "foundation/BLQLoggerManager.h"
#include "matching/BLQClientSideTriggerManager.h"
#include "network/BLQ409HTTPErrorHandler.h"
#include "network/BLQ429HTTPErrorHandler.h"
#include "network/BLQFeedHTTPNetworkRequester.h"
#include "network/BLQHTTPAPIEndpoints.h"
#include "network/BLQHTTPManager.h"
#include "network/BLQInstallHTTPNetworkRequester.h"
#include "network/BLQResponseValidator.h"
#include "network/BLQTagHTTPNetworkRequester.h"
#include "network/BLQUpdateHTTPNetworkRequester.h"
#include "network/BLQWebSocketManager.h"
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
    DictionaryTransformer::registerDictionaryTransformer();
    auto& c = BLQDependencyManager::shared();
    using InstallValidation = BLQResponseValidator<BLQInstallValidator>;
    using FeedValidation = BLQResponseValidator<BLQFeedValidator>;

    // Configuration and the network clients.
    c.register_<BLQIAppDetailsProvider>([] { return std::make_shared<BLQAppDetailsProvider>(); });
    c.register_<BLQIHTTPAPIEndpoints>([] { return std::make_shared<BLQHTTPAPIEndpoints>(); });
    c.register_<BLQIConfigDataStore>(
        [] { return std::make_shared<BLQCoreDataConfigDataStore>(backgroundContext()); });
    c.register_<BLQIConfigManager>(true, [&c] {
        return std::make_shared<BLQConfigManager>(c.resolve<BLQIConfigDataStore>(),
                                                  c.resolve<BLQIHTTPAPIEndpoints>());
    });
    c.register_<BLQIWebSocketManager>(true, [] { return BLQWebSocketManager::shared(); });
    std::vector<std::shared_ptr<BLQIHTTPErrorHandler>> errorHandlers{
        std::make_shared<BLQ409HTTPErrorHandler>(), std::make_shared<BLQ429HTTPErrorHandler>()};
    c.register_<BLQIHTTPManager>(true, [&c, errorHandlers] {
        return std::make_shared<BLQHTTPManager>(c.resolve<BLQIAppDetailsProvider>(), errorHandlers);
    });
    c.register_<BLQIAppStatusFetcher>([&c] {
        return std::make_shared<BLQAppStatusHTTPFetcher>(c.resolve<BLQIHTTPManager>(),
                                                         c.resolve<BLQIConfigManager>(),
                                                         c.resolve<BLQIAppDetailsProvider>());
    });
    c.register_<BLQIAppStatusFetchHandler>([] { return std::make_shared<BLQAppStatusFetchHandler>(); });
    c.register_<BLQILoggerManager>(
        true, [&c] { return std::make_shared<BLQLoggerManager>(c.resolve<BLQIConfigManager>()); });
    c.register_<InstallValidation>(
        [] { return std::make_shared<InstallValidation>(std::make_shared<BLQInstallValidator>()); });
    c.register_<FeedValidation>(
        [] { return std::make_shared<FeedValidation>(std::make_shared<BLQFeedValidator>()); });

    // Install, update and sessions.
    c.register_<BLQIInstallDataStore>(
        [] { return std::make_shared<BLQCoreDataInstallDataStore>(backgroundContext()); });
    c.register_<BLQIInstallNetworkRequester>([&c] {
        return std::make_shared<BLQInstallHTTPNetworkRequester>(c.resolve<BLQIHTTPManager>(),
                                                                c.resolve<BLQIConfigManager>());
    });
    c.register_<BLQIInstallRegistrationManager>(true, [&c] {
        return std::make_shared<BLQInstallRegistrationManager>(
            c.resolve<BLQIAppDetailsProvider>(), c.resolve<BLQIInstallDataStore>(),
            c.resolve<BLQIConfigManager>(), c.resolve<BLQIInstallNetworkRequester>(),
            *c.resolve<InstallValidation>());
    });
    c.register_<BLQIUpdateNetworkRequester>([&c] {
        return std::make_shared<BLQUpdateHTTPNetworkRequester>(c.resolve<BLQIHTTPManager>(),
                                                               c.resolve<BLQIConfigManager>());
    });
    c.register_<BLQIUpdateRegistrationManager>(true, [&c] {
        return std::make_shared<BLQUpdateRegistrationManager>(
            c.resolve<BLQIAppDetailsProvider>(), c.resolve<BLQIInstallDataStore>(),
            c.resolve<BLQIUpdateNetworkRequester>(), *c.resolve<InstallValidation>());
    });
    c.register_<BLQIConfigEventManager>([&c] {
        return BLQConfigEventManagerWebSocket::create(c.resolve<BLQIAppDetailsProvider>(),
                                                      c.resolve<BLQIWebSocketManager>());
    });
    c.register_<BLQISessionDataStore>(
        [] { return std::make_shared<BLQCoreDataSessionDataStore>(backgroundContext()); });
    c.register_<BLQISessionManager>(true, [&c] {
        return std::make_shared<BLQSessionManager>(c.resolve<BLQISessionDataStore>(),
                                                   c.resolve<BLQIAppDetailsProvider>());
    });

    // User events.
    std::vector<std::shared_ptr<BLQIUserEventDeduper>> dedupers{
        std::make_shared<BLQTargetNotFoundDeduper>(), std::make_shared<BLQViewEnterDeduper>(),
        std::make_shared<BLQViewExitDeduper>(), std::make_shared<BLQTagIncrementDeduper>()};
    c.register_<BLQIUserEventDeduperManager>(
        true, [dedupers] { return std::make_shared<BLQUserEventDeduperManager>(dedupers); });
    c.register_<BLQIUserEventDataStore>(
        [] { return std::make_shared<BLQCoreDataUserEventDataStore>(backgroundContext()); });
    c.register_<BLQIUserEventSender>([&c] {
        return std::make_shared<BLQUserEventHTTPSender>(c.resolve<BLQIHTTPManager>(),
                                                        c.resolve<BLQIConfigManager>(),
                                                        c.resolve<BLQIAppDetailsProvider>());
    });
    std::vector<std::shared_ptr<BLQISendConditionVerifier>> verifiers{
        std::make_shared<BLQDisabledCodeSendConditionVerifier>(c.resolve<BLQIConfigManager>()),
        std::make_shared<BLQPriorityCodeSendConditionVerifier>(c.resolve<BLQIConfigManager>())};
    c.register_<BLQIUserEventManager>(true, [&c, verifiers] {
        return std::make_shared<BLQUserEventManager>(
            c.resolve<BLQIUserEventDataStore>(), c.resolve<BLQISessionManager>(),
            c.resolve<BLQIUserEventDeduperManager>(), c.resolve<BLQIConfigManager>(),
            c.resolve<BLQIUserEventSender>(), verifiers);
    });

    // Tags and client-side triggers.
    c.register_<BLQITagNetworkRequester>([&c] {
        return std::make_shared<BLQTagHTTPNetworkRequester>(c.resolve<BLQIHTTPManager>(),
                                                            c.resolve<BLQIConfigManager>(),
                                                            c.resolve<BLQIAppDetailsProvider>());
    });
    c.register_<BLQITagDataStore>(
        [] { return std::make_shared<BLQCoreDataTagDataStore>(backgroundContext()); });
    std::vector<std::string> tagServerBlacklistKeys{BLQTagKey::previewMode()};
    std::vector<std::string> priorityDeleteKeys{BLQTagKey::previewMode()};
    c.register_<BLQITagManager>(true, [&c, tagServerBlacklistKeys, priorityDeleteKeys] {
        return std::make_shared<BLQTagManager>(
            c.resolve<BLQITagDataStore>(), c.resolve<BLQITagNetworkRequester>(),
            c.resolve<BLQIUserEventManager>(), c.resolve<BLQIInstallRegistrationManager>(),
            tagServerBlacklistKeys, priorityDeleteKeys);
    });
    c.register_<BLQIClientSideTriggerManager>(
        [&c] { return std::make_shared<BLQClientSideTriggerManager>(c.resolve<BLQITagDataStore>()); });

    // The tip engine and the feed.
    c.register_<BLQITipManager>(
        true, [] { return KJTipManager::make(platform::make<widgets::QXFeedBackInterface>()); });
    c.register_<BLQIFeedDataStore>(
        [] { return std::make_shared<BLQCoreDataFeedDataStore>(backgroundContext()); });
    c.register_<BLQIFeedNetworkRequester>([&c] {
        return std::make_shared<BLQFeedHTTPNetworkRequester>(c.resolve<BLQIHTTPManager>(),
                                                             c.resolve<BLQIConfigManager>());
    });
    c.register_<BLQIFeedManager>(true, [&c] {
        return std::make_shared<BLQFeedManager>(
            c.resolve<BLQIFeedDataStore>(), c.resolve<BLQIConfigManager>(), c.resolve<BLQITipManager>(),
            c.resolve<BLQIFeedNetworkRequester>(), *c.resolve<FeedValidation>());
    });

    // Screenshots, custom guides and targeting.
    c.register_<BLQIScreenShotManager>([] { return std::make_shared<BLQScreenShotManager>(); });
    std::vector<std::shared_ptr<BLQICustomGuideParam>> guideParams{
        std::make_shared<BLQStepTitleGuideParam>(),  std::make_shared<BLQStepContentGuideParam>(),
        std::make_shared<BLQStepImageGuideParam>(),  std::make_shared<BLQStepWidthGuideParam>(),
        std::make_shared<BLQStepHeightGuideParam>(), std::make_shared<BLQStepOptionsGuideParam>()};
    c.register_<BLQICustomGuideHelper>(
        [guideParams] { return std::make_shared<BLQCustomGuideHelper>(guideParams); });
    c.register_<BLQITargetingAlgorithm>(true, [] { return std::make_shared<BLQTargetingAlgorithmV3>(); });
}

}  // namespace brindlecue
