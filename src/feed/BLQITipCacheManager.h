#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace brindlecue {

class KJTipSeriesElement;

// The preview tip cache: the campaigns built from preview feed items while the install is in
// author preview. The tip engine owns the one instance (its cacheManager). The cache takes new
// campaigns from the "QX_Preview_Tips_Updated" notification, whose user info holds either the
// text "ReshowCache" under "tips" or, in its objects under "tips", a
// std::vector<std::shared_ptr<KJTipSeriesElement>>.
class BLQITipCacheManager {
public:
    virtual ~BLQITipCacheManager() = default;

    virtual std::vector<std::shared_ptr<KJTipSeriesElement>> cachedTips() const = 0;
    // The index of the step to show next within a preview campaign.
    virtual int64_t showingTipIndex() const = 0;
    virtual void setShowingTipIndex(int64_t index) = 0;
    virtual void replayCachedPreviewTips() = 0;
    // Empties the list.
    virtual void removePreviewTips() = 0;
    // Removes the entry at the index, then inserts the campaign there when the index is at most
    // the list's length.
    virtual void replaceCachedTip(int64_t index, const std::shared_ptr<KJTipSeriesElement>& series) = 0;
    // Removes the first entry that is this very campaign.
    virtual void removeCachedTip(const std::shared_ptr<KJTipSeriesElement>& series) = 0;
    virtual void removeCachedTipAtIndex(int64_t index) = 0;
};

}  // namespace brindlecue
