#include "imaging/UIViewWebCacheOperation.h"

#include <gtest/gtest.h>

#include "platform/uikit/UIView.h"

namespace brindlecue {
namespace {

using platform::CGRect;

class CountingOperation final : public KJSDWebImageOperation {
public:
    void cancel() override { ++cancels; }
    int cancels = 0;
};

TEST(UIViewWebCacheOperation, OneLoadPerKeyAndANewOneCancelsTheOld) {
    auto view = platform::make<platform::UIView>(CGRect(0, 0, 10, 10));
    auto first = std::make_shared<CountingOperation>();
    auto second = std::make_shared<CountingOperation>();
    auto other = std::make_shared<CountingOperation>();
    UIViewWebCacheOperation::sd_setImageLoadOperation(view, first, "image");
    UIViewWebCacheOperation::sd_setImageLoadOperation(view, other, "background");
    EXPECT_EQ(UIViewWebCacheOperation::sd_operationDictionary(view).size(), 2u);
    UIViewWebCacheOperation::sd_setImageLoadOperation(view, second, "image");
    EXPECT_EQ(first->cancels, 1);
    EXPECT_EQ(UIViewWebCacheOperation::sd_operationDictionary(view).at("image"), second);

    // Removing forgets the load without cancelling it; no load under a key cancels the one there.
    UIViewWebCacheOperation::sd_removeImageLoadOperationWithKey(view, "image");
    EXPECT_EQ(second->cancels, 0);
    EXPECT_EQ(UIViewWebCacheOperation::sd_operationDictionary(view).count("image"), 0u);
    UIViewWebCacheOperation::sd_setImageLoadOperation(view, nullptr, "background");
    EXPECT_EQ(other->cancels, 1);
    EXPECT_TRUE(UIViewWebCacheOperation::sd_operationDictionary(view).empty());
    // Cancelling a key without a load does nothing.
    UIViewWebCacheOperation::sd_cancelImageLoadOperationWithKey(view, "none");

    // The view holds its loads weakly: one that went is neither listed nor cancelled.
    {
        auto gone = std::make_shared<CountingOperation>();
        UIViewWebCacheOperation::sd_setImageLoadOperation(view, gone, "image");
    }
    EXPECT_TRUE(UIViewWebCacheOperation::sd_operationDictionary(view).empty());
    UIViewWebCacheOperation::sd_cancelImageLoadOperationWithKey(view, "image");

    // Without a view or a key nothing is kept.
    UIViewWebCacheOperation::sd_setImageLoadOperation(nullptr, first, "image");
    UIViewWebCacheOperation::sd_setImageLoadOperation(view, first, "");
    UIViewWebCacheOperation::sd_cancelImageLoadOperationWithKey(nullptr, "image");
    UIViewWebCacheOperation::sd_removeImageLoadOperationWithKey(nullptr, "image");
    EXPECT_TRUE(UIViewWebCacheOperation::sd_operationDictionary(nullptr).empty());
    EXPECT_TRUE(UIViewWebCacheOperation::sd_operationDictionary(view).empty());
    EXPECT_EQ(first->cancels, 1);
}

}  // namespace
}  // namespace brindlecue
