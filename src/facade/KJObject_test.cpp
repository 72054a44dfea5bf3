// Objects of the older layer that load and save themselves: what they answer when a subclass
// names no address or no body.

#include "facade/KJObject.h"

#include <gtest/gtest.h>

namespace brindlecue {
namespace {

class Profile final : public KJObject {
public:
    using KJObject::KJObject;
    std::string className() const override { return "Profile"; }
    std::optional<std::string> serverSaveURL() const override { return "/profiles/7"; }
};

TEST(KJObject, WithoutAnAddressOrABodyNothingIsSentAndTheCompletionSaysWhy) {
    auto plain = std::make_shared<KJObject>("u-1");
    std::vector<std::string> answers;
    auto record = [&](std::shared_ptr<KJObject> object, std::optional<platform::Error> error) {
        answers.push_back(std::string(object ? "object " : "none ") + (error ? error->localizedDescription() : ""));
        EXPECT_EQ(error->domain(), "KJErrorDomain");
        EXPECT_EQ(error->code(), 0);
    };
    plain->loadFromServer(record);
    plain->saveToServer(record);
    std::make_shared<Profile>("p-7")->saveToServer(record);
    EXPECT_EQ(answers, (std::vector<std::string>{"none Fail to get server load url: (null).",
                                                 "none Fail to get server save url: (null).",
                                                 "none Fail to get server save body: (null)."}));
    // A missing completion is never called.
    plain->loadFromServer(nullptr);
    EXPECT_NE(plain->description().find("> - suid: u-1"), std::string::npos);
    EXPECT_EQ(plain->description().rfind("<KJObject: 0x", 0), 0u);
}

}  // namespace
}  // namespace brindlecue
