#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/Value.h"
#include "storage/KJDBFeedRecord.h"
#include "storage/KJDBTipSeries.h"

namespace brindlecue {

class KJFeedConditions;

// The shared campaign cache: turns feed items into rows of the cache and rows back into
// campaigns, by kind ("CAMPAIGN", "PREVIEW" or "FAQ").
class KJDBManager final {
public:
    using SeriesList = std::vector<std::shared_ptr<KJDBTipSeries>>;
    using DeletionConditions = std::vector<std::shared_ptr<KJFeedConditions>>;

    // What the cache asks of the rest of the library. The facade, the campaign model and the
    // campaign matching install them when they start; a missing one answers no (or nothing).
    struct Collaborators {
        // The facade's app key.
        std::function<std::optional<std::string>()> appKey{};
        // Builds a campaign from a stored dictionary (KJTipSeriesElement's createFromFeed), or null.
        std::function<std::shared_ptr<KJDBTipSeries>(const platform::Value& stored)> createFromFeed{};
        // The structural check of a stored dictionary (FeedValidatorService's isFeedValid); when
        // missing, every dictionary passes to createFromFeed.
        std::function<bool(const platform::Value& stored)> isFeedValid{};
        // The shared campaign matching's evaluation of deletion conditions.
        std::function<bool(const DeletionConditions& conditions)> evaluate{};
    };

    static std::shared_ptr<KJDBManager> sharedInstance();
    // Test-only: closes the cache's connection and forgets its path and the shared instance; the
    // next sharedInstance makes the table in the current app container. The library never calls it.
    static void resetForTesting();
    void setCollaborators(Collaborators collaborators);
    // Lets one layer set its own collaborators and leave the others' as they are.
    void updateCollaborators(const std::function<void(Collaborators&)>& change);

    // The dictionary stored for a feed item, or absent when the item is refused (empty feed id,
    // another app key, a malformed payload, or an active stored row that is not older).
    platform::Value setupFeedsDictionaryFromFeedObject(const KJDBFeedRecord& feed);
    // The row of the cache for a stored dictionary.
    platform::Value archiveDataToBeSaved(const platform::Value& stored);
    bool saveATipSeries(const KJDBFeedRecord& feed);
    // Stores the items that set-up accepts; true when every one of those was stored. With `setUp`,
    // also hands over the dictionaries of the rows to be written, in order, once they are set up
    // and before they are archived and written (inside the cache's lock and transaction). With
    // `newerThanStored`, the caller has found, inside a transaction that this call joins, that
    // every item is newer than the active stored row of its feed id or has none: set-up does not
    // look for those rows again.
    bool saveMultipleTipSeries(
        const std::vector<std::shared_ptr<KJDBFeedRecord>>& feeds,
        const std::function<void(const std::vector<platform::Value>& dictionaries)>& setUp = {},
        bool newerThanStored = false);

    std::shared_ptr<KJDBTipSeries> findTipSeriesByFeedId(const std::string& feedId);
    SeriesList findAllTipFeeds();
    SeriesList findAllPreviewFeeds();
    SeriesList findAllCampaignFeeds();
    SeriesList findAllInfiniteCampaignFeeds();
    SeriesList findOnDemandCampaign(const std::string& campaignId);
    SeriesList findAllFAQFeeds();

    // Campaigns of the rows' contents, leaving out floating-action buttons; none when a content is
    // not data.
    std::optional<SeriesList> parseDataForTipSeriesElements(
        const std::optional<std::vector<platform::Value>>& contents);
    // Only the floating-action-button campaigns, with their widget data.
    std::optional<SeriesList> getDataForFAQ(const std::optional<std::vector<platform::Value>>& contents);
    // The campaign of one row's content as parseDataForTipSeriesElements makes it; null for a
    // damaged or invalid content, and for a floating-action button.
    std::shared_ptr<KJDBTipSeries> parseCampaignRow(const platform::Value& content);
    // The same from the stored dictionary a row's content holds (as saveMultipleTipSeries hands it
    // back), without unarchiving it.
    std::shared_ptr<KJDBTipSeries> parseCampaignDictionary(const platform::Value& stored);

    bool deleteTipSeriesByFeedId(const std::string& feedId);
    bool deleteFAQTipByCampaignId(const std::string& campaignId);
    bool updateRepeatConditions(const std::string& conditions, const std::string& campaignId);
    bool canDeleteTipSeriesByFeedId(const DeletionConditions& conditions);

    // The kind a feed item is stored as.
    static std::string seriesAuthorMode(const KJDBFeedRecord& feed);

private:
    KJDBManager();
    platform::Value setUpDictionary(const KJDBFeedRecord& feed, bool lookForStored);
    Collaborators collaborators() const;
    std::optional<SeriesList> parseRows(const std::optional<std::vector<platform::Value>>& contents,
                                        bool faq);
    static std::shared_ptr<KJDBTipSeries> parseRow(const Collaborators& c, const platform::Value& content,
                                                   bool faq);
    static std::shared_ptr<KJDBTipSeries> parseStored(const Collaborators& c, const platform::Value& stored,
                                                      bool faq);

    mutable std::mutex mutex_;
    Collaborators collaborators_;
};

}  // namespace brindlecue
