#include "platform/foundation/SecTrust.h"

#include <gtest/gtest.h>

namespace brindlecue::platform {
namespace {

TEST(SecTrust, BadInputMakesNoObject) {
    EXPECT_FALSE(SecCertificate::createWithData({}));
    EXPECT_FALSE(SecCertificate::createWithData({0x30, 0x03, 0x02, 0x01, 0x00}));
    EXPECT_FALSE(SecCertificate::createWithPEM("-----BEGIN CERTIFICATE-----\nnope\n-----END CERTIFICATE-----\n"));
    EXPECT_FALSE(SecTrust::create({}, {}));
    EXPECT_FALSE(SecTrust::create({nullptr}, {}));
}

}  // namespace
}  // namespace brindlecue::platform
