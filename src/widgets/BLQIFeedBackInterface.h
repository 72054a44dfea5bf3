#pragma once

#include <map>
#include <string>

namespace brindlecue {

// The host of the FAQ list and floating-button widgets (QXFeedBackInterface), as the tip engine
// uses it: it lays a widget campaign out from its two documents and re-lays it after a rotation.
class BLQIFeedBackInterface {
public:
    virtual ~BLQIFeedBackInterface() = default;

    // The setup (launcher style) and payload (FAQ screen) as JSON texts, the campaign's
    // {"feedId", "campaignId"} and the mode (true in authoring mode). Any thread; returns at once
    // and lays the views out later on the main queue.
    virtual void layoutUI(const std::string& setup, const std::string& payload,
                          const std::map<std::string, std::string>& feedData, bool mode) = 0;
    virtual void adjustLayoutOnOrientationChange() = 0;
};

}  // namespace brindlecue
