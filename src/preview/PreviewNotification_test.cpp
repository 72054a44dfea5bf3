#include "preview/PreviewNotification.h"

#include <gtest/gtest.h>

#include <set>

#include "preview/PreviewModeOptions.h"

namespace brindlecue {
namespace {

using State = BLQPreviewModeNotificationState;
using M = PreviewModeMessage;
using I = PreviewModeIcon;
using C = PreviewModeBackgroundColor;

TEST(PreviewNotification, EveryStatusHasTheLookOfTheTable) {
    struct Row {
        State state;
        M message;
        I icon;
        C color;
        int64_t duration;
        platform::CGSize closed, open;
    };
    const platform::CGSize small{100, 90}, menu{260, 270}, wide{200, 70}, wider{300, 70};
    const std::vector<Row> table = {
        {State::idle, M::nomessage, I::qx_logo_white, C::idle, 0, small, menu},
        {State::takingScreenshot, M::takingScreenshot, I::qx_backup, C::takingScreenshot, 5, wide, wide},
        {State::screenshotError, M::screenshotError, I::qx_alert, C::screenshotError, 3, wide, wide},
        {State::screenshotsuccess, M::screenshotsuccess, I::qx_check_circle, C::screenshotsuccess, 3, wide,
         wide},
        {State::recivedFeedUpdate, M::nomessage, I::qx_logo_white, C::recivedFeedUpdate, 0, small, menu},
        {State::guideDisplaying, M::nomessage, I::qx_play_arrow, C::guideDisplaying, 0, small, menu},
        {State::noConnection, M::noConnection, I::qx_cloud_off, C::noConnection, 2, wide, wide},
        {State::guideOnAnotherscreen, M::guideOnAnotherscreen, I::qx_pause, C::guideOnAnotherscreen, 0, wider,
         wider},
        {State::targetNotVisible, M::targetNotVisible, I::qx_system_update, C::targetNotVisible, 5, wider,
         wider},
        {State::tipDoesnotfitScreen, M::tipDoesnotfitScreen, I::qx_developer_mode, C::tipDoesnotfitScreen, 5,
         wider, wider},
        {State::nothingtodisplay, M::nothingtodisplay, I::qx_sync_problem, C::nothingtodisplay, 4, wide,
         wide},
        {State::noOnDemand, M::noOnDemand, I::qx_link_off, C::noOnDemand, 4, wider, wider},
    };
    std::set<std::string> identifiers;
    for (const Row& row : table) {
        SCOPED_TRACE(identifier(row.state));
        for (bool open : {false, true}) {
            auto look = previewNotification(row.state, open);
            EXPECT_EQ(look->state.get(), row.state);
            EXPECT_EQ(look->message.get(), row.message);
            EXPECT_EQ(look->icon.get(), row.icon);
            EXPECT_EQ(look->color.get(), row.color);
            EXPECT_EQ(look->duration.get(), row.duration);
            EXPECT_EQ(look->bgFrame.get(), open ? row.open : row.closed);
            EXPECT_EQ(look->customMessage.get(), "");
            EXPECT_EQ(hexColor(look->color.get()), "#FFFFFF");
        }
        identifiers.insert(identifier(row.state));
    }
    EXPECT_EQ(identifiers.size(), 12u);
    EXPECT_EQ(identifier(State::guideDisplaying), "guideDisplaying");
    EXPECT_EQ(identifier(State::noConnection), "noConnection");
    EXPECT_EQ(identifier(static_cast<State>(12)), "idle");
}

TEST(PreviewNotification, RawValuesBuildOnlyWhatTheyName) {
    EXPECT_EQ(BLQPreviewModeNotificationStateFromRawValue(11), State::noOnDemand);
    EXPECT_FALSE(BLQPreviewModeNotificationStateFromRawValue(12));
    EXPECT_FALSE(BLQPreviewModeNotificationStateFromRawValue(-1));

    EXPECT_EQ(PreviewModeMessageFromRawValue(""), M::guideDisplaying);
    EXPECT_EQ(PreviewModeMessageFromRawValue("nomessage"), M::nomessage);
    EXPECT_EQ(PreviewModeMessageFromRawValue("Error on Screenshot!"), M::screenshotError);
    EXPECT_FALSE(PreviewModeMessageFromRawValue("taking screenshot"));
    EXPECT_FALSE(PreviewModeMessageFromRawValue("Taking Screenshot "));
    EXPECT_EQ(text(M::screenshotError), "#Error on Screenshot!");
    EXPECT_EQ(rawValue(M::noOnDemand), "No On Demand");
    EXPECT_EQ(text(M::noOnDemand), "OnDemand Guides not available during preview mode");
    for (M empty : {M::nomessage, M::recivedFeedUpdate, M::guideDisplaying}) EXPECT_EQ(text(empty), "");

    EXPECT_EQ(PreviewModeMessageDurationFromRawValue(5), PreviewModeMessageDuration::fiveseconds);
    EXPECT_FALSE(PreviewModeMessageDurationFromRawValue(6));

    EXPECT_EQ(PreviewModeIconFromRawValue("qx_sync"), I::qx_sync);
    EXPECT_FALSE(PreviewModeIconFromRawValue("qx_Sync"));
    EXPECT_FALSE(PreviewModeIconFromRawValue("camera"));
    EXPECT_EQ(PreviewModeBackgroundColorFromRawValue("recivedFeedUpdate"), C::recivedFeedUpdate);
    EXPECT_FALSE(PreviewModeBackgroundColorFromRawValue("receivedFeedUpdate"));
    EXPECT_FALSE(PreviewModeBackgroundFrameFromRawValue(4));
    EXPECT_EQ(size(PreviewModeBackgroundFrame::expand2X), (platform::CGSize{300, 70}));

    EXPECT_FALSE(PreviewModeOptionsFromRawValue("Camera"));
    EXPECT_EQ(PreviewModeOptionsFromRawValue("refresh"), PreviewModeOptions::refresh);
    EXPECT_FALSE(PreviewModeActionFromRawValue(3));
    EXPECT_FALSE(PreviewModeActionFromRawValue(-1));
    PreviewOptionDetails refresh = details(PreviewModeOptions::refresh);
    EXPECT_EQ(refresh.title, "Replay Tip/Tour");
    EXPECT_EQ(refresh.icon, I::qx_refresh);
    for (auto option : {PreviewModeOptions::camera, PreviewModeOptions::refresh, PreviewModeOptions::exit})
        EXPECT_EQ(details(option).backgroundColor, "#FFFFFF");
}

TEST(PreviewNotification, ObserversHearOfAChangeBeforeItAndPublishersAfter) {
    PreviewNotification model;
    EXPECT_EQ(model.bgFrame.get(), (platform::CGSize{200, 70})) << "not the 100 x 90 of defaultMode";
    EXPECT_EQ(model.icon.get(), I::qx_logo_white);

    std::vector<std::string> heard;
    auto observation = model.observeWillChange([&] { heard.push_back("will:" + model.customMessage.get()); });
    auto sink = model.customMessage.publisher()->sink(
        [&](const std::string& value) { heard.push_back("now:" + value); });
    model.customMessage.set("Please go to Cart");
    EXPECT_EQ(heard, (std::vector<std::string>{"will:", "now:Please go to Cart"}));

    // A replaced publisher is the one that sends; a released subscription hears nothing.
    auto replacement = std::make_shared<PreviewPublisher<std::string>>();
    std::vector<std::string> replaced;
    auto other = replacement->sink([&](const std::string& value) { replaced.push_back(value); });
    model.customMessage.setPublisher(replacement);
    observation.reset();
    heard.clear();
    model.customMessage.set("");
    EXPECT_TRUE(heard.empty());
    EXPECT_EQ(replaced, std::vector<std::string>{""});

    // Combining position preferences keeps the first point set.
    PreviewModePreference::Value value = PreviewModePreference::defaultValue();
    PreviewModePreference::reduce(value, std::nullopt);
    PreviewModePreference::reduce(value, platform::CGPoint{1, 2});
    PreviewModePreference::reduce(value, platform::CGPoint{3, 4});
    EXPECT_EQ(value, (platform::CGPoint{1, 2}));
}

}  // namespace
}  // namespace brindlecue
