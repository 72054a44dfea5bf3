// The tip layer's images made by the imaging code: remote sources of a carousel page, still and
// animated, against the sample server.

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "feed/KJTipCarouselItem.h"
#include "feed/KJTipUtil.h"
#include "imaging/UIImageMultiFormat.h"
#include "platform/NotificationCenter.h"
#include "platform/dispatch/DispatchSemaphore.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/uikit/UIImage.h"
#include "sample-server/SampleServer.h"
#include "support/SampleRoutes.h"
#include "support/TestGif.h"
#include "support/TestImages.h"

namespace brindlecue {
namespace {

using platform::RunLoop;
using platform::UIImage;
using platform::Value;

TEST(TipImages, RemoteSourcesOfACarouselPageAreDecodedByTheImagingCode) {
    sampleserver::SampleServer server;
    server.start();
    const auto png = testsupport::makeTestPNG(6, 4);
    server.addRoute(testsupport::imageRoute("/hero.png", png));
    server.addRoute(testsupport::imageRoute(
        "/icon.gif", testsupport::makeTestGif(3, 3, {{0, 0, 0, 0, 10, 0}, {0, 0, 0, 0, 20, 1}}, 0), "image/gif"));
    server.addRoute(testsupport::imageRoute("/cut.png", platform::Data(png.begin(), png.begin() + png.size() / 2)));
    UIImageMultiFormat::registerWithTipUtil();

    std::mutex mutex;
    std::map<std::string, std::shared_ptr<UIImage>> announced;
    auto observer = platform::NotificationCenter::defaultCenter().addObserver(
        KJTipCarouselItem::kPrepareImageNotification, nullptr, nullptr, [&](const platform::Notification& n) {
            std::lock_guard lock(mutex);
            announced[n.userInfo()["source"].stringValue()] = n.object<UIImage>("image");
        });
    auto page = KJTipCarouselItem::createFromFeed(*Value::fromJSON(
        R"({"id": "p", "image": ")" + server.baseURL() + R"(/hero.png", "icon": ")" + server.baseURL() + R"(/icon.gif"})"));
    // Each image is announced from the loading thread and assigned on the main queue.
    ASSERT_TRUE(RunLoop::main().runUntil([&] {
        std::lock_guard lock(mutex);
        return page->image && page->icon && announced.size() == 2;
    }));
    EXPECT_EQ(page->image->size(), (platform::CGSize{6, 4}));
    EXPECT_EQ(page->icon->images().size(), 3u);  // 10 and 20 hundredths: one frame, then two
    EXPECT_DOUBLE_EQ(page->icon->duration(), 0.3);
    {
        std::lock_guard lock(mutex);
        EXPECT_EQ(announced[server.baseURL() + "/hero.png"], page->image);
    }

    // A remote image cut short makes no image.
    std::atomic<bool> called{false};
    std::shared_ptr<UIImage> cut = std::make_shared<UIImage>();
    KJTipUtil::prepareImageWithSource(Value(server.baseURL() + "/cut.png"),
                                      [&](std::shared_ptr<UIImage> image, const Value&, const auto&) {
                                          cut = image;
                                          called = true;
                                      });
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return called.load(); }));
    EXPECT_FALSE(cut);
    platform::NotificationCenter::defaultCenter().removeObserver(observer);
    KJTipUtil::setImageDecoding({});
}

// The tip utility's own loading of a remote source, with a decoding seam that records the bytes
// it is given.
class KJTipUtilImages : public testing::Test {
protected:
    void SetUp() override {
        KJTipUtil::setImageDecoding({[this](const platform::Data& bytes) {
                                         std::lock_guard lock(mutex);
                                         decoded.emplace_back(bytes.begin(), bytes.end());
                                         return std::make_shared<platform::UIImage>(platform::CGSize{4, 4});
                                     },
                                     nullptr});
    }
    void TearDown() override { KJTipUtil::setImageDecoding({}); }

    std::mutex mutex;
    std::vector<std::string> decoded;
};

TEST_F(KJTipUtilImages, RemoteSourcesLoadOffTheCallingThread) {
    sampleserver::SampleServer server;
    server.addRoute(testsupport::route("GET", "/img/a.png", 200, "REMOTE"));
    server.start();

    platform::DispatchSemaphore done(0);
    std::thread::id caller = std::this_thread::get_id();
    std::thread::id loader;
    std::shared_ptr<platform::UIImage> loaded;
    KJTipUtil::prepareImageWithSource(Value(server.baseURL() + "/img/a.png"),
                                      [&](auto image, const Value&, const auto& error) {
                                          loader = std::this_thread::get_id();
                                          loaded = image;
                                          EXPECT_FALSE(error);
                                          done.signal();
                                      });
    done.wait();
    EXPECT_NE(loader, caller);
    EXPECT_TRUE(loaded);
    EXPECT_EQ(decoded, std::vector<std::string>{"REMOTE"});

    // An error page is no image: the callback gets none and nothing is decoded.
    KJTipUtil::prepareImageWithSource(Value(server.baseURL() + "/img/none.png"),
                                      [&](auto image, const Value&, const auto&) {
                                          loaded = image;
                                          done.signal();
                                      });
    done.wait();
    EXPECT_FALSE(loaded);
    EXPECT_EQ(decoded.size(), 1u);
}

}  // namespace
}  // namespace brindlecue
