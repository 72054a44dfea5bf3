#pragma once

#include <cstdint>
#include <optional>

#include "platform/Date.h"
#include "platform/Value.h"

namespace brindlecue {

// What the campaign cache needs of a campaign built from one of its rows. The campaign element
// (KJTipSeriesElement) implements it.
class KJDBTipSeries {
public:
    static constexpr int32_t kFloatingActionButtonTipType = 7;

    virtual ~KJDBTipSeries() = default;

    virtual int32_t seriesTipType() const = 0;
    virtual std::optional<platform::Date> seriesModified() const = 0;
    // The widget data of a floating-action-button campaign.
    virtual void setFab(const platform::Value& fab) = 0;
    virtual void setFaq(const platform::Value& faq) = 0;
};

}  // namespace brindlecue
